#include "LoaderSimDriver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr int kHeldPollMs = 5;

const std::pair<speed_t, int32_t> kRates[] = {
    {B300, 300},     {B600, 600},     {B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
    {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

} // namespace

LoaderSimDriver::LoaderSimDriver(LoaderSim &sim, int masterFd)
    : sim_(sim), fd_(masterFd), stopFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (stopFd_ < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    thread_ = std::thread([this] { run(); });
}

LoaderSimDriver::~LoaderSimDriver()
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof one);
    thread_.join();
    ::close(stopFd_);
}

// The pty master reports the line settings of the host's side.
int32_t LoaderSimDriver::hostBaud() const
{
    termios settings {};
    if (::tcgetattr(fd_, &settings) != 0)
        return 0;
    for (const auto &[code, baud] : kRates)
        if (::cfgetospeed(&settings) == code)
            return baud;
    return 0;
}

bool LoaderSimDriver::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock pass(passMutex_);
    return passed_.wait_for(pass, timeout, [this] { return idle(); });
}

// Between passes: what the master holds is what the thread has not read yet. The poll also moves bytes still on
// their way from the host's side into the master's buffer, so a write that has returned is counted.
bool LoaderSimDriver::idle() const
{
    if (!backlog_.empty())
        return false;
    if (sim_.acceptable() == 0)
        return true;   // a reader that holds the line leaves the rest where it is
    pollfd unread {fd_, POLLIN, 0};
    return ::poll(&unread, 1, 0) >= 0 && !(unread.revents & POLLIN);
}

void LoaderSimDriver::run()
{
    bool open = true;
    for (;;) {
        int timeout = -1;
        if (auto due = sim_.nextDeadline())
            timeout = int(std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(*due - SimClock::now()).count()));
        // A reader that holds the line leaves the bytes where they are; it looks again soon for its release.
        const size_t room = sim_.acceptable();
        if (room == 0 && (timeout < 0 || timeout > kHeldPollMs))
            timeout = kHeldPollMs;
        pollfd fds[2] = {{stopFd_, POLLIN, 0},
                         {fd_, short((room > 0 ? POLLIN : 0) | (backlog_.empty() ? 0 : POLLOUT)), 0}};
        if (::poll(fds, open ? 2 : 1, timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            return;
        {
            const std::lock_guard pass(passMutex_);
            if (open && room > 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
                // Taken before the read: the host drains its output before it changes the line, so the bytes that
                // wait here went out at this speed.
                const int32_t baud = hostBaud();
                char buf[4096];
                const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, room));
                if (n > 0)
                    backlog_ += sim_.onBytes(std::string(buf, size_t(n)), baud, SimClock::now());
                else if (n == 0 || (errno != EAGAIN && errno != EINTR && errno != EIO))
                    open = false;
            }
            backlog_ += sim_.onIdle(SimClock::now());
            while (open && !backlog_.empty()) {
                const ssize_t n = ::write(fd_, backlog_.data(), backlog_.size());
                if (n > 0)
                    backlog_.erase(0, size_t(n));
                else if (n < 0 && errno == EINTR)
                    continue;
                else {
                    open = n < 0 && errno == EAGAIN;
                    break;
                }
            }
        }
        passed_.notify_all();
    }
}

} // namespace testsupport
