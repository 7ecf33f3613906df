#include "SerTtyDriver.h"

#include "SerTty.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <filesystem>

namespace {

constexpr unsigned PtySlaveMajorFirst = 136, PtySlaveMajorLast = 143, LegacyPtySlaveMajor = 3;

std::atomic<TSerTtyDriver *> installed {nullptr};

} // namespace

std::string TSerTtyDriver::DriverName(int fd)
{
    struct stat node {};
    if (fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode))
        return {};
    const std::string link = "/sys/dev/char/" + std::to_string(major(node.st_rdev)) + ":"
                             + std::to_string(minor(node.st_rdev)) + "/device/driver";
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

int TSerTtyDriver::UartType(int fd)
{
    serial_struct info {};
    return ioctl(fd, TIOCGSERIAL, &info) == 0 ? info.type : -1;
}

bool TSerTtyDriver::PseudoTerminal(int fd)
{
    struct stat node {};
    if (fstat(fd, &node) != 0)
        return false;
    const unsigned nodeMajor = major(node.st_rdev);
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

std::string TSerTtyDriver::StableNameFolder()
{
    return "/dev/serial/by-id";
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
