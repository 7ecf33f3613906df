#pragma once
// Driver answers for pseudo-terminals that stand in for real serial devices: a USB serial adapter, a CDC-ACM
// device, a UART, or an empty UART slot, as the kernel's drivers answer for them. Installed while it lives;
// nodes not added to it get the kernel's own answers.

#include "serial/SerTtyDriver.h"

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>

namespace testsupport {

class FakeTtyDriver : public TSerTtyDriver {
public:
    enum class Kind {
        UsbSerial,   // answers PORT_UNKNOWN; keeps no mark or space parity and no 5 or 6 data bits
        CdcAcm,      // answers PORT_UNKNOWN; carries every format
        Uart,        // a 16550A on an 8250 slot
        EmptySlot,   // an 8250 slot without a UART
    };

    FakeTtyDriver();
    ~FakeTtyDriver() override;
    FakeTtyDriver(const FakeTtyDriver &) = delete;
    FakeTtyDriver &operator=(const FakeTtyDriver &) = delete;

    void add(const std::string &path, Kind kind);
    // The pty's master is the far end of the node's line: the bytes written to the node that it has not read yet
    // count as the driver's output queue, as a UART's driver counts the bytes it has not sent.
    void addFarEnd(const std::string &path, int masterFd);
    // The folder of stable names; empty means none exists.
    void setStableNameFolder(const std::string &folder) { stableFolder_ = folder; }
    // The rate the driver runs at when `asked` is set, as a driver that rounds to its divisors does.
    void keepRate(uint32_t asked, uint32_t kept)
    {
        std::lock_guard lock(mutex_);
        keptRates_[asked] = kept;
    }
    // A folder laid out as sysfs, in place of the kernel's.
    void setSysfsRoot(const std::string &folder) { sysfsRoot_ = folder; }

    std::string DriverName(int fd) override;
    int UartType(int fd) override;
    bool PseudoTerminal(dev_t node) override;
    int WriteSettings(int fd, const TSerLineSettings &settings) override;
    int ReadSettings(int fd, TSerLineSettings &settings) override;
    uint32_t OutQueue(int fd) override;
    int FlushOutput(int fd) override;
    std::string StableNameFolder() override { return stableFolder_; }
    std::string SysfsRoot() override { return sysfsRoot_.empty() ? TSerTtyDriver::SysfsRoot() : sysfsRoot_; }

private:
    // The kind of an added node, or false.
    bool kindOf(int fd, Kind &kind, dev_t &node);
    // The master at the far end of the open node, or -1.
    int farEndOf(int fd);

    std::mutex mutex_;
    std::map<dev_t, Kind> kinds_;
    std::map<dev_t, TSerLineSettings> carried_;
    std::map<dev_t, int> farEnds_;
    std::map<uint32_t, uint32_t> keptRates_;
    std::string stableFolder_;
    std::string sysfsRoot_;
};

} // namespace testsupport
