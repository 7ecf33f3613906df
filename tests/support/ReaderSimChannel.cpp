#include "ReaderSimChannel.h"

#include <unistd.h>

#include <cerrno>

namespace testsupport {

ReaderSimChannel::ReaderSimChannel(ReaderSim &sim, int fd)
    : sim_(sim)
    , fd_(fd)
{
}

bool ReaderSimChannel::readInput(SimClock::time_point now)
{
    std::string input;
    bool open = true;
    for (;;) {
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            input.append(buf, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        open = n < 0 && errno == EAGAIN;
        break;
    }
    if (!input.empty()) {
        for (ReaderOutput &output : sim_.onBytes(input, now))
            scheduled_.emplace(output.due, std::move(output.bytes));
    }
    return open;
}

void ReaderSimChannel::queue(const std::string &bytes, SimClock::time_point now)
{
    scheduled_.emplace(now, bytes);
}

bool ReaderSimChannel::writeDue(SimClock::time_point now)
{
    while (!scheduled_.empty() && scheduled_.begin()->first <= now) {
        backlog_ += scheduled_.begin()->second;
        scheduled_.erase(scheduled_.begin());
    }
    while (!backlog_.empty()) {
        const ssize_t n = ::write(fd_, backlog_.data(), backlog_.size());
        if (n > 0) {
            sim_.noteSent(backlog_.substr(0, size_t(n)), now);
            backlog_.erase(0, size_t(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && errno == EAGAIN;
        }
    }
    return true;
}

std::optional<SimClock::time_point> ReaderSimChannel::nextDue() const
{
    if (scheduled_.empty())
        return std::nullopt;
    return scheduled_.begin()->first;
}

} // namespace testsupport
