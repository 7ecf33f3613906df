#pragma once
// The program's side of a pty in the simulator's self-test: raw bytes in and out of the device path.

#include <chrono>
#include <functional>
#include <string>

namespace testsupport {

class HostEnd {
public:
    // `pump` runs between short polls while reading (for simulators driven by an event loop).
    explicit HostEnd(const std::string &devicePath, std::function<void()> pump = {});
    ~HostEnd();
    HostEnd(const HostEnd &) = delete;
    HostEnd &operator=(const HostEnd &) = delete;

    void send(const std::string &bytes);
    // Everything that arrives within the time-out.
    std::string read(std::chrono::milliseconds timeout);
    // Reads until `ending` has arrived or the time-out passes; returns everything read.
    std::string readUntil(const std::string &ending, std::chrono::milliseconds timeout);
    // Sends a command and reads its reply up to `ending`.
    std::string ask(const std::string &command, const std::string &ending);

private:
    // Reads until `done` holds for what was read or the time-out passes.
    std::string readWhile(std::chrono::milliseconds timeout, const std::function<bool(const std::string &)> &done);

    int fd_ = -1;
    std::function<void()> pump_;
};

} // namespace testsupport
