#pragma once
// Runs a LoaderSim on a pty master from its own thread: reads what the host sent together with the line speed
// the host's side of the pty is set to, and writes the answers at once. It answers whether or not the test's
// thread handles events. Destroy it before the pty and the LoaderSim; the destructor stops and joins the thread.

#include "LoaderSim.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class LoaderSimDriver {
public:
    LoaderSimDriver(LoaderSim &sim, int masterFd);
    ~LoaderSimDriver();
    LoaderSimDriver(const LoaderSimDriver &) = delete;
    LoaderSimDriver &operator=(const LoaderSimDriver &) = delete;

    // Waits until the simulator has taken and answered all that the host's side wrote so far: the master holds
    // nothing it would read, and no answer is left to write. False when that does not happen within `timeout`.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    void run();
    int32_t hostBaud() const;
    bool idle() const;

    LoaderSim &sim_;
    const int fd_;
    const int stopFd_;
    std::mutex passMutex_;   // held by the thread while it handles what a poll reported
    std::condition_variable passed_;
    std::string backlog_;    // answers not yet written
    std::thread thread_;
};

} // namespace testsupport
