#pragma once
// Runs a ReaderSim on a pty master from its own thread (poll and the steady clock), for tests without
// an event loop. Destroy it before the pty and the ReaderSim; the destructor stops and joins the thread.

#include "ReaderSim.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class ReaderSimThreadDriver {
public:
    ReaderSimThreadDriver(ReaderSim &sim, int masterFd);
    ~ReaderSimThreadDriver();
    ReaderSimThreadDriver(const ReaderSimThreadDriver &) = delete;
    ReaderSimThreadDriver &operator=(const ReaderSimThreadDriver &) = delete;

    // Sends bytes of the reader's own at once (unsolicited output).
    void send(const std::string &bytes);

private:
    void run();
    void wake();

    ReaderSim &sim_;
    const int fd_;
    const int wakeFd_;
    std::mutex outboxMutex_;
    std::string outbox_;
    std::atomic<bool> stop_ {false};
    std::thread thread_;
};

} // namespace testsupport
