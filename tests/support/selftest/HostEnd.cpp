#include "HostEnd.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

HostEnd::HostEnd(const std::string &devicePath, std::function<void()> pump)
    : pump_(std::move(pump))
{
    fd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throw std::runtime_error("open " + devicePath + ": " + std::strerror(errno));
}

HostEnd::~HostEnd()
{
    ::close(fd_);
}

void HostEnd::send(const std::string &bytes)
{
    if (::write(fd_, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        throw std::runtime_error("host write failed");
}

std::string HostEnd::read(std::chrono::milliseconds timeout)
{
    return readWhile(timeout, [](const std::string &) { return false; });
}

std::string HostEnd::readUntil(const std::string &ending, std::chrono::milliseconds timeout)
{
    return readWhile(timeout, [&](const std::string &in) { return in.find(ending) != std::string::npos; });
}

std::string HostEnd::ask(const std::string &command, const std::string &ending)
{
    send(command);
    return readUntil(ending, std::chrono::seconds(3));
}

std::string HostEnd::readWhile(std::chrono::milliseconds timeout,
                               const std::function<bool(const std::string &)> &done)
{
    std::string in;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done(in) && std::chrono::steady_clock::now() < deadline) {
        if (pump_)
            pump_();
        pollfd p {fd_, POLLIN, 0};
        if (::poll(&p, 1, pump_ ? 5 : 20) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0)
            in.append(buf, size_t(n));
    }
    return in;
}

} // namespace testsupport
