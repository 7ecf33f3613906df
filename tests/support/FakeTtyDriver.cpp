#include "FakeTtyDriver.h"

#include <linux/serial.h>
#include <linux/serial_core.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

FakeTtyDriver::FakeTtyDriver()
{
    SetSerTtyDriver(this);
}

FakeTtyDriver::~FakeTtyDriver()
{
    SetSerTtyDriver(nullptr);
}

namespace {

dev_t NodeOf(const std::string &path)
{
    struct stat node {};
    if (stat(path.c_str(), &node) != 0)
        throw std::runtime_error("no node " + path);
    return node.st_rdev;
}

// Whether `fd` is still the master of the pty `node`, and not a later file that got its number.
bool MasterOf(int fd, dev_t node)
{
    char name[64];
    struct stat slave {};
    return ptsname_r(fd, name, sizeof name) == 0 && stat(name, &slave) == 0 && slave.st_rdev == node;
}

} // namespace

void FakeTtyDriver::add(const std::string &path, Kind kind)
{
    const dev_t node = NodeOf(path);
    std::lock_guard lock(mutex_);
    kinds_[node] = kind;
}

void FakeTtyDriver::addFarEnd(const std::string &path, int masterFd)
{
    const dev_t node = NodeOf(path);
    std::lock_guard lock(mutex_);
    farEnds_[node] = masterFd;
}

bool FakeTtyDriver::kindOf(int fd, Kind &kind, dev_t &node)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return false;
    std::lock_guard lock(mutex_);
    const auto found = kinds_.find(info.st_rdev);
    if (found == kinds_.end())
        return false;
    kind = found->second;
    node = info.st_rdev;
    return true;
}

std::string FakeTtyDriver::DriverName(int fd)
{
    Kind kind;
    dev_t node;
    if (!kindOf(fd, kind, node))
        return TSerTtyDriver::DriverName(fd);
    switch (kind) {
    case Kind::UsbSerial: return "ftdi_sio";
    case Kind::CdcAcm: return "cdc_acm";
    default: return "serial8250";
    }
}

int FakeTtyDriver::UartType(int fd)
{
    Kind kind;
    dev_t node;
    if (!kindOf(fd, kind, node))
        return TSerTtyDriver::UartType(fd);
    return kind == Kind::Uart ? PORT_16550A : PORT_UNKNOWN;
}

bool FakeTtyDriver::PseudoTerminal(dev_t node)
{
    std::lock_guard lock(mutex_);
    return kinds_.count(node) == 0 && TSerTtyDriver::PseudoTerminal(node);
}

int FakeTtyDriver::WriteSettings(int fd, const TSerLineSettings &settings)
{
    const int result = TSerTtyDriver::WriteSettings(fd, settings);
    Kind kind;
    dev_t node;
    if (result != 0 || !kindOf(fd, kind, node))
        return result;
    TSerLineSettings carried = settings;
    if (kind == Kind::UsbSerial) {
        // As an adapter's driver does: a size it cannot send becomes 8 bits, and CMSPAR is cleared, which
        // leaves mark as odd and space as even parity.
        if (carried.ByteSize < 7)
            carried.ByteSize = 8;
        if (carried.Parity == 3 || carried.Parity == 4)
            carried.Parity = carried.Parity == 3 ? 1 : 2;
    }
    std::lock_guard lock(mutex_);
    if (const auto kept = keptRates_.find(carried.BaudRate); kept != keptRates_.end())
        carried.BaudRate = kept->second;
    carried_[node] = carried;
    return 0;
}

int FakeTtyDriver::ReadSettings(int fd, TSerLineSettings &settings)
{
    Kind kind;
    dev_t node;
    if (kindOf(fd, kind, node)) {
        std::lock_guard lock(mutex_);
        if (const auto found = carried_.find(node); found != carried_.end()) {
            settings = found->second;
            return 0;
        }
    }
    return TSerTtyDriver::ReadSettings(fd, settings);
}

int FakeTtyDriver::farEndOf(int fd)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return -1;
    std::lock_guard lock(mutex_);
    const auto found = farEnds_.find(info.st_rdev);
    return found != farEnds_.end() && MasterOf(found->second, info.st_rdev) ? found->second : -1;
}

uint32_t FakeTtyDriver::OutQueue(int fd)
{
    const uint32_t kernel = TSerTtyDriver::OutQueue(fd);
    const int farEnd = farEndOf(fd);
    if (farEnd < 0)
        return kernel;
    // The poll moves bytes still on their way from the node into the master's buffer, where FIONREAD counts them.
    pollfd master {farEnd, POLLIN, 0};
    int unread = 0;
    if (poll(&master, 1, 0) >= 0 && ioctl(farEnd, FIONREAD, &unread) == 0 && unread > 0)
        return kernel + uint32_t(unread);
    return kernel;
}

int FakeTtyDriver::FlushOutput(int fd)
{
    const int result = TSerTtyDriver::FlushOutput(fd);
    // A pty's flush leaves what its master has not read; a device's driver discards what it has not sent.
    pollfd master {farEndOf(fd), POLLIN, 0};
    char discarded[4096];
    while (result == 0 && master.fd >= 0 && poll(&master, 1, 0) > 0 && (master.revents & POLLIN)
           && read(master.fd, discarded, sizeof discarded) > 0) {
    }
    return result;
}

} // namespace testsupport
