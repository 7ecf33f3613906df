#include "ReaderSimThreadDriver.h"

#include "ReaderSimChannel.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

int makeEventFd()
{
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    return fd;
}

int millisecondsUntil(SimClock::time_point due, SimClock::time_point now)
{
    if (due <= now)
        return 0;
    // Round up, so that the reply is due when poll returns.
    return int(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
}

} // namespace

ReaderSimThreadDriver::ReaderSimThreadDriver(ReaderSim &sim, int masterFd)
    : sim_(sim)
    , fd_(masterFd)
    , wakeFd_(makeEventFd())
    , thread_([this] { run(); })
{
}

ReaderSimThreadDriver::~ReaderSimThreadDriver()
{
    stop_ = true;
    wake();
    thread_.join();
    ::close(wakeFd_);
}

void ReaderSimThreadDriver::send(const std::string &bytes)
{
    {
        std::lock_guard lock(outboxMutex_);
        outbox_ += bytes;
    }
    wake();
}

void ReaderSimThreadDriver::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void ReaderSimThreadDriver::run()
{
    ReaderSimChannel channel(sim_, fd_);
    bool open = true;
    while (!stop_) {
        auto now = SimClock::now();
        {
            std::lock_guard lock(outboxMutex_);
            if (!outbox_.empty())
                channel.queue(outbox_, now);
            outbox_.clear();
        }
        if (open)
            open = channel.writeDue(now);

        int timeout = -1;
        if (auto due = channel.nextDue())
            timeout = millisecondsUntil(*due, now);
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, short(POLLIN | (channel.hasBacklog() ? POLLOUT : 0)), 0}};
        if (::poll(fds, open ? 2 : 1, timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        if (open && fds[1].revents != 0)
            open = channel.readInput(SimClock::now());
    }
}

} // namespace testsupport
