#pragma once
// The concrete dispatcher of the native device layer: a Linux tty (termios, poll, eventfd, ioctl).

#include "SerDispatch.h"
#include "SerLockFile.h"
#include "SerTty.h"

class TSerWin32Dispatcher : public TSerBaseDispatcher {
public:
    explicit TSerWin32Dispatcher(TSerCustomComPort *owner);
    ~TSerWin32Dispatcher() override;

    // Used alone (without OpenPort) to probe whether a port exists.
    int32_t OpenDevice(const std::string &name, uint32_t inSize, uint32_t outSize) override;
    int32_t CloseDevice() override;
    int32_t YieldSlice() override;

protected:
    int32_t LineFunction(int32_t function) override;
    int32_t PurgeDevice(int32_t which) override;
    uint32_t ReadDeviceStatus(TSerDeviceStatus &status) override;
    int32_t ReadLineSettings(TSerLineSettings &settings) override;
    uint8_t ReadModemStatus() override;
    void SetRs485Device(bool on) override;
    int32_t ReadDevice(void *buffer, uint32_t count) override;
    int32_t WriteLineSettings(const TSerLineSettings &settings) override;
    int32_t QueueOutput(const void *bytes, uint32_t count) override;
    bool WaitDeviceEvent(uint32_t &mask) override;
    bool SizeDeviceQueues(uint32_t inSize, uint32_t outSize) override;
    void StopThreads() override;
    int32_t WriteDevice(const iovec *parts, int count) override;
    void WaitDeviceWritable() override;
    void WakeDeviceWaits() override;
    uint32_t PollDeviceEvents() override;

    // Opens the wake event beside an already open device.
    int32_t AttachDevice(int fd);
    int fd_ = -1;

private:
    void CloseNow();

    int wakeFd_ = -1;
    TSerLockFile lockFile_;
    bool closeWhenStopped_ = false;
    TSerLineSettings shadow_;       // the settings as last written: a pty forces 8 bits and no parity
    bool checkCarried_ = false;     // a real device: settings are read back to see what its driver kept
    TTtyCounters counters_;
    bool countersValid_ = false;
    uint8_t lastModem_ = 0;
    std::atomic<uint32_t> pendingErrors_ {0};
    std::mutex deviceStateLock_;    // counters_ and lastModem_
};

// A dispatcher for a port that a telephony layer opened; nothing in this system provides such a handle.
class TSerTAPI32Dispatcher : public TSerWin32Dispatcher {
public:
    TSerTAPI32Dispatcher(TSerCustomComPort *owner, int deviceHandle);

    bool HasDeviceHandle() const { return fd_ > 0; }

    int32_t OpenDevice(const std::string &name, uint32_t inSize, uint32_t outSize) override;
};
