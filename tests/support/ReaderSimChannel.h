#pragma once
// The simulator's end of a pseudo-terminal: reads what the host sent, hands it to the ReaderSim, keeps
// the replies until they are due and writes them without blocking. Used from one thread at a time; the
// drivers decide when to call it.

#include "ReaderSim.h"

#include <map>
#include <optional>
#include <string>

namespace testsupport {

class ReaderSimChannel {
public:
    // `fd` is the pty master, non-blocking; it must stay open while the channel is used.
    ReaderSimChannel(ReaderSim &sim, int fd);

    // Reads all available input and schedules the replies. False once the fd is gone (closed, hung up).
    bool readInput(SimClock::time_point now);
    // Schedules bytes of the reader's own (unsolicited output) for `now`.
    void queue(const std::string &bytes, SimClock::time_point now);
    // Writes every due reply the fd takes now. False once the fd is gone.
    bool writeDue(SimClock::time_point now);

    // Due bytes the fd did not take yet: wait until it is writable.
    bool hasBacklog() const { return !backlog_.empty(); }
    // When the next scheduled reply falls due.
    std::optional<SimClock::time_point> nextDue() const;

private:
    ReaderSim &sim_;
    int fd_;
    std::multimap<SimClock::time_point, std::string> scheduled_;   // FIFO among equal times
    std::string backlog_;
};

} // namespace testsupport
