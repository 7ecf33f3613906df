#pragma once
// Runs a LoaderSim on a pty master from its own thread: reads what the host sent together with the line speed
// the host's side of the pty is set to, and writes the answers at once. It answers whether or not the test's
// thread handles events. Destroy it before the pty and the LoaderSim; the destructor stops and joins the thread.

#include "LoaderSim.h"

#include <atomic>
#include <thread>

namespace testsupport {

class LoaderSimDriver {
public:
    LoaderSimDriver(LoaderSim &sim, int masterFd);
    ~LoaderSimDriver();
    LoaderSimDriver(const LoaderSimDriver &) = delete;
    LoaderSimDriver &operator=(const LoaderSimDriver &) = delete;

private:
    void run();
    int32_t hostBaud() const;

    LoaderSim &sim_;
    const int fd_;
    const int stopFd_;
    std::thread thread_;
};

} // namespace testsupport
