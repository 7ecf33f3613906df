#include "SerTtyDispatcher.h"

#include "SerErrno.h"
#include "SerTtyDriver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>

namespace {

constexpr int RingFullPollMs = 50;
constexpr int WritablePollMs = 100;
constexpr int32_t NotOpenedByTapi = 2007;

// How far the rate a driver keeps may lie from the one asked for: both ends of a line still agree on every bit.
constexpr double RateTolerance = 0.02;

// The code of line settings the driver did not carry: its rate, its data bits, or else its parity or stop bits.
int32_t RefusedSettings(const TSerLineSettings &wanted, const TSerLineSettings &carried)
{
    if (std::abs(double(carried.BaudRate) - double(wanted.BaudRate)) > RateTolerance * wanted.BaudRate)
        return SerCode::BaudRateRefused;
    if (carried.ByteSize != wanted.ByteSize)
        return SerCode::ByteSizeRefused;
    if (carried.Parity != wanted.Parity || carried.StopBits != wanted.StopBits)
        return SerCode::FormatRefused;
    return 0;
}

} // namespace

TSerWin32Dispatcher::TSerWin32Dispatcher(TSerCustomComPort *owner) : TSerBaseDispatcher(owner) {}

TSerWin32Dispatcher::~TSerWin32Dispatcher()
{
    ClosePort();
    ReleaseBuffers();
    CloseNow();
}

int32_t TSerWin32Dispatcher::OpenDevice(const std::string &name, uint32_t, uint32_t)
{
    if (std::string refusal = lockFile_.Acquire(name); !refusal.empty()) {
        SetSerLastError(SerError::AccessDenied, std::move(refusal));
        return -1;
    }
    const int fd = TtyOpen(name);
    if (fd < 0) {
        lockFile_.Release();
        return -1;
    }
    return AttachDevice(fd);
}

int32_t TSerWin32Dispatcher::AttachDevice(int fd)
{
    fd_ = fd;
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        CloseNow();
        return SerCode::OutOfMemory;
    }
    closeWhenStopped_ = false;
    struct stat node {};
    checkCarried_ = fstat(fd_, &node) != 0 || !SerTtyDriver().PseudoTerminal(node.st_rdev);
    SerTtyDriver().ReadSettings(fd_, shadow_);
    countersValid_ = TtyReadCounters(fd_, counters_);
    lastModem_ = TtyModemStatus(fd_);
    pendingErrors_ = 0;
    return fd_;
}

int32_t TSerWin32Dispatcher::CloseDevice()
{
    if (fd_ < 0)
        return -1;
    if (ThreadsStarted()) {
        // The threads may still use the device: it is closed once they have been joined.
        closeWhenStopped_ = true;
        RequestThreadStop();
        return 0;
    }
    CloseNow();
    return 0;
}

void TSerWin32Dispatcher::CloseNow()
{
    if (wakeFd_ >= 0) {
        close(wakeFd_);
        wakeFd_ = -1;
    }
    if (fd_ >= 0) {
        TtyClose(fd_);
        fd_ = -1;
    }
    lockFile_.Release();
    closeWhenStopped_ = false;
}

void TSerWin32Dispatcher::StopThreads()
{
    TSerBaseDispatcher::StopThreads();
    if (closeWhenStopped_)
        CloseNow();
}

int32_t TSerWin32Dispatcher::LineFunction(int32_t function)
{
    switch (function) {
    case 3: TtySetRts(fd_, true); break;
    case 4: TtySetRts(fd_, false); break;
    case 5: TtySetDtr(fd_, true); break;
    case 6: TtySetDtr(fd_, false); break;
    default: break;   // 10: no UART base address on this platform
    }
    return 0;
}

int32_t TSerWin32Dispatcher::PurgeDevice(int32_t which)
{
    if (fd_ < 0)
        return -int32_t(SerError::InvalidHandle);
    if (which == 0) {
        // The output thread writes under the output lock, so nothing is in flight while the ring is emptied.
        std::lock_guard lock(outputLock_);
        ResetOutputRing();
        return SerTtyDriver().FlushOutput(fd_);
    }
    return TtyFlush(fd_, true);
}

uint32_t TSerWin32Dispatcher::ReadDeviceStatus(TSerDeviceStatus &status)
{
    if (fd_ < 0)
        return 0;
    uint32_t errors = 0;
    {
        std::lock_guard lock(deviceStateLock_);
        TTtyCounters now;
        if (countersValid_ && TtyReadCounters(fd_, now)) {
            errors = TtyCounterErrors(counters_, now);
            counters_ = now;
        }
    }
    errors |= pendingErrors_.exchange(0);
    status.InQueue = TtyInQueue(fd_);
    std::lock_guard lock(outputLock_);
    status.OutQueue = OutputRingCount() + SerTtyDriver().OutQueue(fd_);
    return errors;
}

int32_t TSerWin32Dispatcher::ReadLineSettings(TSerLineSettings &settings)
{
    if (fd_ < 0)
        return -1;
    settings = shadow_;
    return 0;
}

uint8_t TSerWin32Dispatcher::ReadModemStatus()
{
    return fd_ < 0 ? 0 : TtyModemStatus(fd_);
}

void TSerWin32Dispatcher::SetRs485Device(bool on)
{
    if (fd_ >= 0)
        TtySetRs485(fd_, on);
}

int32_t TSerWin32Dispatcher::ReadDevice(void *buffer, uint32_t count)
{
    const ssize_t n = read(fd_, buffer, count);
    if (n >= 0)
        return int32_t(n);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

int32_t TSerWin32Dispatcher::WriteLineSettings(const TSerLineSettings &settings)
{
    if (fd_ < 0)
        return -int32_t(SerError::InvalidHandle);
    TSerTtyDriver &driver = SerTtyDriver();
    const int result = driver.WriteSettings(fd_, settings);
    if (result != 0)
        return result;
    TSerLineSettings carried;
    if (checkCarried_ && driver.ReadSettings(fd_, carried) == 0) {
        // A driver drops or rounds what its device cannot do without a word: what it kept is not what was asked.
        if (const int32_t refused = RefusedSettings(settings, carried)) {
            driver.WriteSettings(fd_, shadow_);
            return refused;
        }
    }
    shadow_ = settings;
    return 0;
}

int32_t TSerWin32Dispatcher::QueueOutput(const void *bytes, uint32_t count)
{
    {
        std::lock_guard lock(outputLock_);
        const auto *source = static_cast<const uint8_t *>(bytes);
        const uint32_t toEnd = outSize_ - txHead_;
        if (count > toEnd) {
            std::memcpy(&txRing_[txHead_], source, toEnd);
            std::memcpy(txRing_.data(), source + toEnd, count - toEnd);
            txHead_ = count - toEnd;
        } else {
            std::memcpy(&txRing_[txHead_], source, count);
            txHead_ = count == toEnd ? 0 : txHead_ + count;
        }
    }
    outputReady_.Set();
    return int32_t(count);
}

bool TSerWin32Dispatcher::WaitDeviceEvent(uint32_t &mask)
{
    mask = 0;
    const bool ringFull = driverHasMore_;
    pollfd fds[2] = {{fd_, short(ringFull ? 0 : POLLIN), 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, ringFull ? RingFullPollMs : -1) < 0)
        return errno == EINTR;
    if (fds[1].revents)
        return true;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
        if (TtyInQueue(fd_) == 0)
            return false;   // hung up with nothing left to read
        if (ringFull) {
            poll(&fds[1], 1, RingFullPollMs);
            return true;
        }
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
        mask = DevEvent::RxChar;
    return true;
}

bool TSerWin32Dispatcher::SizeDeviceQueues(uint32_t, uint32_t)
{
    return true;   // the kernel's queues have fixed sizes
}

int32_t TSerWin32Dispatcher::YieldSlice()
{
    std::this_thread::yield();
    return 0;
}

int32_t TSerWin32Dispatcher::WriteDevice(const iovec *parts, int count)
{
    const ssize_t n = writev(fd_, parts, count);
    if (n >= 0)
        return int32_t(n);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void TSerWin32Dispatcher::WaitDeviceWritable()
{
    pollfd fds[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
    poll(fds, 2, WritablePollMs);
}

void TSerWin32Dispatcher::WakeDeviceWaits()
{
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
    }
}

uint32_t TSerWin32Dispatcher::PollDeviceEvents()
{
    if (fd_ < 0)
        return 0;
    std::lock_guard lock(deviceStateLock_);
    uint32_t events = 0;
    const uint8_t modem = TtyModemStatus(fd_);
    const uint8_t changed = modem ^ lastModem_;
    lastModem_ = modem;
    if (changed & 0x10)
        events |= DevEvent::Cts;
    if (changed & 0x20)
        events |= DevEvent::Dsr;
    if (changed & 0x80)
        events |= DevEvent::Rlsd;
    TTtyCounters now;
    if (countersValid_ && TtyReadCounters(fd_, now)) {
        const uint32_t errors = TtyCounterErrors(counters_, now);
        if (now.ring != counters_.ring)
            events |= DevEvent::Ring;
        counters_ = now;
        pendingErrors_.fetch_or(errors);
        if (errors & LineErr::Break)
            events |= DevEvent::Break;
        if (errors & ~LineErr::Break)
            events |= DevEvent::Err;
    }
    return events;
}

TSerTAPI32Dispatcher::TSerTAPI32Dispatcher(TSerCustomComPort *owner, int deviceHandle) : TSerWin32Dispatcher(owner)
{
    fd_ = deviceHandle;
}

int32_t TSerTAPI32Dispatcher::OpenDevice(const std::string &, uint32_t, uint32_t)
{
    if (fd_ <= 0) {
        fd_ = -1;
        SetSerLastError(NotOpenedByTapi);
        return -NotOpenedByTapi;
    }
    return AttachDevice(fd_);
}
