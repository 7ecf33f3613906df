#include "SerTtyDriver.h"

#include "SerTty.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace {

constexpr unsigned PtySlaveMajorFirst = 136, PtySlaveMajorLast = 143, LegacyPtySlaveMajor = 3;

std::atomic<TSerTtyDriver *> installed {nullptr};

enum class Presence { Present, Absent, Unknown };

// The sysfs folder of a character device.
std::filesystem::path SysfsNode(TSerTtyDriver &driver, dev_t node)
{
    return driver.SysfsRoot() + "/dev/char/" + std::to_string(major(node)) + ":" + std::to_string(minor(node));
}

std::string SysfsDriverName(const std::filesystem::path &sysfsNode)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(sysfsNode / "device" / "driver", error);
    return error ? std::string() : target.filename().string();
}

// What sysfs says of the device: a driver's device is present, a serial-core slot is present when it found a
// UART. Nodes without a device there (pseudo-terminals, consoles) are not told.
Presence SysfsPresence(const std::filesystem::path &sysfsNode)
{
    const std::string driverName = SysfsDriverName(sysfsNode);
    if (driverName.empty())
        return Presence::Unknown;
    if (!IsUartDriver(driverName))
        return Presence::Present;
    std::ifstream typeFile(sysfsNode / "type");
    int type = 0;
    if (!(typeFile >> type))
        return Presence::Unknown;
    return type == PORT_UNKNOWN ? Presence::Absent : Presence::Present;
}

} // namespace

std::string TSerTtyDriver::DriverName(int fd)
{
    struct stat node {};
    if (fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode))
        return {};
    return SysfsDriverName(SysfsNode(*this, node.st_rdev));
}

int TSerTtyDriver::UartType(int fd)
{
    serial_struct info {};
    return ioctl(fd, TIOCGSERIAL, &info) == 0 ? info.type : -1;
}

bool TSerTtyDriver::PseudoTerminal(dev_t node)
{
    const unsigned nodeMajor = major(node);
    return (nodeMajor >= PtySlaveMajorFirst && nodeMajor <= PtySlaveMajorLast) || nodeMajor == LegacyPtySlaveMajor;
}

int TSerTtyDriver::WriteSettings(int fd, const TSerLineSettings &settings)
{
    return TtyWriteSettings(fd, settings);
}

int TSerTtyDriver::ReadSettings(int fd, TSerLineSettings &settings)
{
    return TtyReadSettings(fd, settings);
}

uint32_t TSerTtyDriver::OutQueue(int fd)
{
    return TtyOutQueue(fd);
}

int TSerTtyDriver::FlushOutput(int fd)
{
    return TtyFlush(fd, false);
}

std::string TSerTtyDriver::StableNameFolder()
{
    return "/dev/serial/by-id";
}

std::string TSerTtyDriver::SysfsRoot()
{
    return "/sys";
}

bool TSerTtyDriver::NodePresent(const std::string &path)
{
    struct stat node {};
    if (path.empty() || stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode))
        return false;
    const Presence told = SysfsPresence(SysfsNode(*this, node.st_rdev));
    if (told != Presence::Unknown)
        return told == Presence::Present;
    // A pseudo-terminal's slave node is there while its master is held, and closing it would hang up the
    // master's holder (a virtual serial port).
    if (PseudoTerminal(node.st_rdev))
        return true;
    // Other such nodes (consoles) have no modem lines and no other side that a last close could drop; the open
    // itself sets nothing.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES || errno == EPERM || errno == EBUSY;
    const bool present = isatty(fd) && !EmptyUartSlot(*this, fd);
    close(fd);
    return present;
}

TSerTtyDriver &SerTtyDriver()
{
    static TSerTtyDriver kernel;
    TSerTtyDriver *driver = installed.load();
    return driver ? *driver : kernel;
}

void SetSerTtyDriver(TSerTtyDriver *driver)
{
    installed = driver;
}

bool IsUartDriver(const std::string &driverName)
{
    // The 8250 family registers as "serial8250" (built-in ports) or "serial" (PCI and PnP cards); newer
    // kernels put the serial core's own "port" driver between the tty and the UART's driver.
    return driverName == "serial8250" || driverName == "serial" || driverName == "port";
}

bool EmptyUartSlot(TSerTtyDriver &driver, int fd)
{
    // Only the serial core marks an empty slot so; adapters always answer PORT_UNKNOWN.
    return driver.UartType(fd) == PORT_UNKNOWN && IsUartDriver(driver.DriverName(fd));
}
