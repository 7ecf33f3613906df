#pragma once
// TSerBaseDispatcher: the engine under a serial port. It owns the device, a receive ring filled by its
// dispatcher thread, an output ring drained by its output thread, the line settings, modem and line status,
// and the triggers that tell the GUI thread about received data and status changes. Device access goes
// through virtual operations that a concrete dispatcher supplies.

#include "SerEvent.h"
#include "SerLine.h"
#include "SerTraceLog.h"
#include "SerTrigger.h"

#include <sys/uio.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TSerCustomComPort;
class TSerDelivery;
class TSerWindow;

// Result codes of dispatcher operations.
namespace SerCode {
constexpr int32_t OutOfMemory = -8;
constexpr int32_t BadArgument = -1002;
constexpr int32_t BaudRateRefused = -2002;   // the device's driver runs at another rate than the one asked for
constexpr int32_t ByteSizeRefused = -2003;   // the device's driver cannot carry the data bits
constexpr int32_t FormatRefused = -2004;     // nor the parity or stop bits
constexpr int32_t CommNotOpen = -2007;
constexpr int32_t PutBlockFail = -3004;
constexpr int32_t OutputBufferTooSmall = -3006;
constexpr int32_t BufferIsEmpty = -3007;
constexpr int32_t NoMoreTriggerSlots = -5001;
constexpr int32_t BadTriggerHandle = -5003;
} // namespace SerCode

namespace SerMsg {
// Posted to the registered windows once the device has failed (hung up, unplugged); lParam as the others.
constexpr uint32_t DeviceLost = 0x7E0B;
} // namespace SerMsg

// Line-error bits.
namespace LineErr {
constexpr uint32_t RxOver = 1, Overrun = 2, Parity = 4, Frame = 8, Break = 16, All = 0x1F;
} // namespace LineErr

// Event bits of a device wait.
namespace DevEvent {
constexpr uint32_t RxChar = 0x1, Cts = 0x8, Dsr = 0x10, Rlsd = 0x20, Break = 0x40, Err = 0x80, Ring = 0x100;
constexpr uint32_t ModemEvents = 0x2138;
} // namespace DevEvent

// Codes of SetLine that keep the current value.
namespace KeepLine {
constexpr int32_t Baud = 0;
constexpr uint8_t Parity = 5;
constexpr uint16_t StopBits = 3;
constexpr uint16_t DataBits = 9;
} // namespace KeepLine

struct TSerDeviceStatus {
    uint32_t InQueue = 0;    // bytes waiting in the driver's receive queue
    uint32_t OutQueue = 0;   // bytes waiting for output
};

struct TSerOpenParams {
    std::string DeviceName;
    int32_t Baud = 19200;
    uint8_t Parity = 0;
    uint16_t DataBits = 8;
    uint16_t StopBits = 1;
    uint32_t InSize = 4096;
    uint32_t OutSize = 4096;
    bool Dtr = true;
    bool Rts = true;
};

constexpr uint32_t RxRingSize = 8192;

class TSerBaseDispatcher {
public:
    explicit TSerBaseDispatcher(TSerCustomComPort *owner);
    virtual ~TSerBaseDispatcher();
    TSerBaseDispatcher(const TSerBaseDispatcher &) = delete;
    TSerBaseDispatcher &operator=(const TSerBaseDispatcher &) = delete;

    // The dispatcher's slot in the global dispatcher list.
    int32_t Handle() const { return handle_; }
    TSerCustomComPort *Owner() const { return owner_; }
    void DetachOwner() { owner_ = nullptr; }

    // The global dispatcher list, looked up under its lock (re-entrant).
    static void LockDispatcherList();
    static void UnlockDispatcherList();
    static TSerBaseDispatcher *DispatcherAt(int32_t handle);   // nullptr for an empty or unknown slot
    static size_t DispatcherListSize();

    // Opening and closing.
    int32_t OpenPort(const TSerOpenParams &params);
    // Closes the device; true when a delivery's handler is running and the buffers are released once it ends. A
    // delivery whose message is only queued is cancelled and does not hold the close up.
    bool ClosePort();
    int32_t SizeQueues(uint32_t inSize, uint32_t outSize);
    bool DeviceOpen() const { return deviceOpen_; }

    // Received bytes.
    bool CharReady();
    int32_t PeekChar(uint32_t position, uint8_t &c);
    int32_t GetChar(uint8_t &c);
    uint32_t InBuffUsed();
    int32_t FlushInBuffer();

    // Bytes to send.
    int32_t PutBlock(const void *bytes, uint32_t count);
    // One byte through PutBlock.
    int32_t PutChar(uint8_t c) { return PutBlock(&c, 1); }
    uint32_t OutBuffUsed();
    uint32_t OutBuffFree();
    int32_t FlushOutBuffer();

    // Line control.
    int32_t SetDTR(bool on);
    int32_t SetRTS(bool on);
    int32_t SetLine(int32_t baud, uint8_t parity, uint16_t stopBits, uint16_t dataBits);
    void GetLine(int32_t &baud, uint8_t &parity, uint16_t &dataBits, uint16_t &stopBits);
    static uint32_t ActualBaud(uint32_t code);
    uint8_t GetModemStatus(uint8_t clearMask);
    bool CheckCTS();
    bool CheckDSR();
    bool CheckDCD();
    bool CheckRingEdge();
    int32_t GetLineError();
    bool CheckLineBreak();
    int32_t SetHWFlowOptions(uint32_t bufferFull, uint32_t bufferResume, uint32_t options);
    int32_t SetSWFlowOptions(uint32_t bufferFull, uint32_t bufferResume, uint32_t options);
    int32_t SWFlowDisable();
    int32_t SetFlowChars(char xon, char xoff);
    int32_t GetFlowOptions(uint32_t &hwOptions, uint32_t &swOptions, char &xon, char &xoff);
    void SetOptionBits(uint32_t bits);
    void ClearOptionBits(uint32_t bits);
    uint32_t OptionBits();
    void SetRS485Mode(bool on);
    virtual void SetThreadBoost(uint8_t boost);
    // Gives up the rest of the calling thread's time slice.
    virtual int32_t YieldSlice() = 0;

    // Triggers.
    int32_t SetLengthTrigger(uint32_t count);
    int32_t AddTimerTrigger();
    int32_t AddStatusTrigger(uint8_t kind);
    int32_t SetTimerTrigger(int32_t handle, int32_t ticks, bool activate);
    int32_t SetStatusTrigger(int32_t handle, uint16_t value, bool activate);
    int32_t RemoveTrigger(int32_t handle);
    void ClearTriggers();
    void SaveTriggers(TTriggerSave &saved);
    void RestoreTriggers(const TTriggerSave &saved);
    static void FreeSavedTriggers(TTriggerSave &saved);
    void RegisterWindowHandler(TSerWindow *window);
    void DeregisterWindowHandler(TSerWindow *window);
    // 0: recompute, 1: the port's handler is installed, 2: it is removed.
    virtual void UpdateHandlerService(uint8_t mode);

    // Threads.
    bool ThreadsStarted() const { return runningThreads_ > 0; }
    // The device failed while open: the event thread has ended, output is dropped, timers still run.
    bool DeviceFailed() const { return deviceFailed_; }
    // Sets or clears Dispatching and returns its previous value; no trigger is delivered while it is set.
    bool SwapDispatching(bool value);
    bool Dispatching();
    // Waits until the dispatcher thread stores received bytes, or the time passes.
    void WaitForInput(int timeoutMs);

    // Trace of the bytes handed out and queued, in a ring of `size` entries. A dump writes it to a text file
    // (rewritten, or appended to when it exists) and ends it; 0 or a negated platform error.
    int32_t InitTracing(uint32_t size);   // -1002 for more than 4000000 entries; clears a running trace
    void ClearTracing();
    void AbortTracing();
    void ResumeTracing();
    void PauseTracing();
    void AddTraceEntry(char kind, uint8_t byte);
    int32_t DumpTrace(const std::string &fileName, bool hex);
    int32_t AppendTrace(const std::string &fileName, bool hex);

    // Dispatch log of internal events, in a ring of `size` bytes; dumped as the trace is.
    int32_t InitLogging(uint32_t size);   // -8 when the ring cannot be had; clears a running log
    void ClearLogging();
    void AbortLogging();
    void ResumeLogging();
    void PauseLogging();
    void AddLogEntry(uint8_t type, uint8_t subType, uint32_t length, const void *data, uint32_t value);
    int32_t DumpLog(const std::string &fileName, bool hex);
    int32_t AppendLog(const std::string &fileName, bool hex);

protected:
    // Device operations of a concrete dispatcher.
    virtual int32_t LineFunction(int32_t function) = 0;   // 3/4 RTS on/off, 5/6 DTR on/off, 10 UART base
    virtual int32_t PurgeDevice(int32_t which) = 0;        // 0 output (with the output ring), 1 input
    virtual uint32_t ReadDeviceStatus(TSerDeviceStatus &status) = 0;   // returns and clears line-error bits
    virtual int32_t ReadLineSettings(TSerLineSettings &settings) = 0;   // 0 or -1
    virtual uint8_t ReadModemStatus() = 0;   // levels: 0x10 CTS, 0x20 DSR, 0x40 ring, 0x80 DCD
    virtual void SetRs485Device(bool on) = 0;   // RTS switched by the driver for sending, where it can
    virtual int32_t ReadDevice(void *buffer, uint32_t count) = 0;       // bytes read, without waiting
    virtual int32_t WriteLineSettings(const TSerLineSettings &settings) = 0;   // 0 or negative platform error
    virtual int32_t QueueOutput(const void *bytes, uint32_t count) = 0;        // into the output ring
    // Waits for a device event; false when the device failed (hung up, unplugged). Mask 0: woken only.
    virtual bool WaitDeviceEvent(uint32_t &mask) = 0;
    virtual bool SizeDeviceQueues(uint32_t inSize, uint32_t outSize) = 0;
    virtual void ReleaseBuffers();
    virtual void StartThreads();
    virtual void StopThreads();
    virtual int32_t OpenDevice(const std::string &name, uint32_t inSize, uint32_t outSize) = 0;
    virtual int32_t CloseDevice() = 0;
    // Writes without waiting; bytes written, 0 when the device takes nothing now, negative on failure.
    virtual int32_t WriteDevice(const iovec *parts, int count) = 0;
    // Waits until the device takes output again, or a stop request, or a short while.
    virtual void WaitDeviceWritable() = 0;
    // Ends the waits of WaitDeviceEvent and WaitDeviceWritable for good (the threads are stopping).
    virtual void WakeDeviceWaits() = 0;
    // Modem and line events found since the last call (the device reports them without waking a wait).
    virtual uint32_t PollDeviceEvents() = 0;

    // Bytes waiting in the output ring (under the output lock).
    uint32_t OutputRingCount() const;
    void ResetOutputRing();
    // Asks every thread to end and wakes them.
    void RequestThreadStop();

    std::recursive_mutex triggerLock_;
    std::recursive_mutex outputLock_;
    std::recursive_mutex inputLock_;

    // Output ring (output lock).
    std::vector<uint8_t> txRing_;
    uint32_t txHead_ = 0;
    uint32_t txTail_ = 0;
    bool txFull_ = false;
    uint32_t outSize_ = 0;
    uint32_t inSize_ = 0;

    std::atomic<bool> killThreads_ {false};
    std::atomic<bool> driverHasMore_ {false};
    std::atomic<bool> deviceOpen_ {false};
    TSerEvent outputReady_ {false};
    TSerEvent dispatchDone_ {false};

private:
    friend class TSerDispatcherProbe;   // tests look at the rings

    struct WindowHandler {
        TSerWindow *window;
        bool deleted;
    };

    // Received bytes.
    uint32_t RxCount() const;   // under the input lock
    bool ReadIntoRing();
    void RefreshLineErrors();
    void RefreshModemDeltas();
    void ResetDataMatches();

    // Line settings.
    void DrainBeforeLineChange();
    int32_t ApplyLineSettings();

    // Triggers.
    int32_t NewTriggerHandle();
    bool MatchDataChar(TDataTrigger &trigger, uint8_t c);
    bool CheckDataTriggers();
    bool CheckTimerTriggers();
    bool CheckStatusTriggers();
    void ResetStatusHits();
    bool StatusPass();
    // Under the trigger lock, as a trigger fires: begins its delivery to `windows`, or refuses it while a
    // string wait, another delivery or a close holds the dispatching flag. A refused trigger is left as it was,
    // so that it fires once the flag is free.
    bool BeginDelivery(std::vector<TSerWindow *> &windows);
    // Without the trigger lock: sends the message to the windows of a begun delivery and ends it. `handled` is
    // false when no window began to handle it (its time-out passed, or a close cancelled it): the caller then
    // re-arms the trigger, unless the program switched it off meanwhile, and it fires again at its next check.
    bool DeliverTrigger(const std::vector<TSerWindow *> &windows, uint32_t message, uint32_t wParam, uint32_t value,
                        bool &handled);
    // Under the trigger lock, once the message of a timer or status trigger's firing was handled or dropped: a
    // dropped one re-arms the trigger, unless the program set or removed it meanwhile.
    void EndFiring(uint32_t message, int32_t handle, bool handled);
    // Under the trigger lock: the program set or removed the trigger; a dropped message of its firing is gone.
    void ForgetFiring(int32_t handle)
    {
        if (firing_ == handle)
            firing_ = 0;
    }

    // Trace and log; while they are off an event costs one test.
    void Trace(char kind, const uint8_t *bytes, uint32_t count)
    {
        if (trace_.On())
            TraceBytes(kind, bytes, count);
    }
    void Log(uint8_t type, uint8_t subType, uint32_t value, const void *data = nullptr, uint32_t length = 0)
    {
        if (log_.On())
            AddLogEntry(type, subType, length, data, value);
    }
    void TraceBytes(char kind, const uint8_t *bytes, uint32_t count);
    int32_t WriteTrace(const std::string &fileName, bool hex, bool append);
    int32_t WriteLog(const std::string &fileName, bool hex, bool append);

    // Threads.
    void ComThreadBody();
    void DispThreadBody();
    void OutThreadBody();
    void ThreadLeaving();
    // Runs a thread body; an exception that escapes it is reported on the GUI thread and ends that thread.
    void RunThreadBody(void (TSerBaseDispatcher::*body)());
    void ReportDeviceFailure();
    void HandleDeviceEvent(uint32_t mask);
    void PeriodicCheck();
    void WriteOutput();

    TSerCustomComPort *owner_;
    int32_t handle_ = -1;
    std::atomic<bool> released_ {true};

    // Receive ring (input lock; rxHead_ is moved only by the dispatcher thread).
    std::vector<uint8_t> rxRing_;
    uint32_t rxHead_ = 0;
    uint32_t rxTail_ = 0;
    uint64_t rxStored_ = 0;   // bytes stored since the open; the head's place in the input stream
    bool rxFull_ = false;
    bool inAvailDispatch_ = false;
    int32_t availTaken_ = 0;
    uint32_t availMaxTaken_ = 0;
    TSerEvent inputArrived_ {false};

    // Status (trigger lock unless atomic).
    std::atomic<uint32_t> lineErrors_ {0};
    uint32_t modemStatus_ = 0;
    std::atomic<bool> ringSeen_ {false};
    std::atomic<bool> outputSent_ {false};
    TSerLineSettings lineSettings_;
    uint32_t lastBaud_ = 115200;
    uint32_t optionBits_ = 0;
    bool dtrOn_ = false;
    bool rtsOn_ = false;
    bool dtrByFlow_ = false;
    bool rtsByFlow_ = false;
    bool rs485_ = false;
    uint8_t threadBoost_ = 0;

    // Triggers and handlers (trigger lock).
    uint32_t lengthTrigger_ = 0;
    uint32_t nextTriggerHandle_ = 1;
    std::vector<TTimerTrigger> timerTriggers_;
    std::vector<TStatusTrigger> statusTriggers_;
    std::vector<TDataTrigger> dataTriggers_;
    std::vector<WindowHandler> windowHandlers_;
    bool portHandlerInstalled_ = false;
    bool handlerServiceNeeded_ = false;
    bool handlerDeleted_ = false;
    bool dispatching_ = false;
    std::shared_ptr<TSerDelivery> delivery_;   // the message of a delivery on its way to a window
    int32_t firing_ = 0;   // the timer or status trigger whose message is on its way, while the program leaves it be
    bool statusHit_ = false;
    // Places in the input stream (not ring indices, which a full ring makes ambiguous); dispatcher thread.
    uint64_t scanPos_ = 0;     // the next byte the data triggers have to see
    uint64_t notifyPos_ = 0;   // the scan position at the last avail message
    bool dataUndelivered_ = false;   // an avail or data message was never handled: checked again at the next tick

    // Trace and log (trigger lock; whether they are on is also read without it).
    TSerRecording<TSerTraceRing> trace_;
    TSerRecording<TSerLogRing> log_;
    int64_t logStart_ = 0;   // milliseconds at OpenPort

    // Threads.
    std::atomic<bool> closePending_ {false};
    std::atomic<bool> deviceFailed_ {false};
    std::atomic<int> runningThreads_ {0};
    std::atomic<uint32_t> eventMask_ {0};
    TSerEvent comEvent_ {false};
    std::thread comThread_;
    std::thread dispThread_;
    std::thread outThread_;
};
