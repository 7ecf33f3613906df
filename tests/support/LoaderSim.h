#pragma once
// A reader's resident program and its loader at the other end of the download line, without transport: a
// driver feeds it the bytes that arrive, with the line speed they arrived at, and sends back what it answers.
// All members are thread-safe.
//
// Resident program, until it quits into the loader:
//   ESC "[C" -> ESC "H" CR LF (host mode)    ESC "[A" -> ESC "X" CR LF    ESC "[Q" in host mode -> loader
// Loader:
//   CR -> the handshake answer (an MTR loader answers "MTR" CR LF)
//   version, erase and run commands -> their reply lines (the run command starts the program again)
//   "BN" "BH" "BX" "BY" -> the loader's speed becomes 19200, 38400, 57600 or 115200
//   "L" -> program blocks of 16384 bytes follow, each confirmed by its sum in 3 bytes, least significant first;
//          after a confirmed block a lone "E" ends the transfer and a lone "W" abandons it, each answered by a line
// With echo, the loader sends back each command it takes, followed by CR LF, before its answer.

#include "ReaderSimTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

enum class LoaderState { Resident, HostMode, Loader, Receiving };

// How a reader holds the line: it sends XOFF, or it drops its clear-to-send (which a pty does not carry).
enum class LineHold { Xoff, Cts };

enum class LoaderKind {
    Enter,       // ESC "[C"
    Exit,        // ESC "[A"
    Quit,        // ESC "[Q"
    Handshake,   // CR to the loader
    Version,
    Erase,
    Run,
    Speed,
    Load,        // "L"
    Block,       // one whole block
    End,         // "E"
    Abandon,     // "W"
    Unparsed,    // bytes that form no command, once they went stale
    Noise,       // bytes that arrived at another speed than the side they went to listens at
};

const char *toString(LoaderKind kind);

struct LoaderItem {
    SimClock::time_point time;
    LoaderKind kind;
    std::string bytes;
    int32_t baud;   // the line speed the bytes arrived at (0: not known)
};

class LoaderSim {
public:
    static constexpr size_t BlockSize = 16384;

    // A resident program at any speed, a loader at any speed answering ">" CR LF, the commands "V" CR (reply
    // "RES V1.00"), "X" CR (reply "ERASED") and "R" CR (reply "RUN"), no echo, no faults.
    LoaderSim();

    // Speeds the resident program and the loader listen at; 0 takes any speed.
    void setResidentBaud(int32_t baud);
    void setLoaderBaud(int32_t baud);
    // No resident program: the loader listens from the start.
    void setStartInLoader(bool inLoader);
    // The resident program ignores host-mode entry until an exit command came, or (refused) always.
    void setResidentStuck(bool stuck);
    void setHostModeRefused(bool refused);
    void setHandshakeAnswer(const std::string &answer);
    void setVersionCommand(const std::string &command, const std::string &reply);
    void setEraseCommand(const std::string &command, const std::string &reply);
    void setRunCommand(const std::string &command, const std::string &reply);
    void setEcho(bool echo);

    // Faults. A silent reader answers nothing at all. The loader answers only the first n handshakes (-1: all).
    // A bad sum confirms the block with another sum. An abort makes the loader give up at the block: it
    // confirms nothing from then on. Blocks count from 0 in the order they arrive.
    void setSilent(bool silent);
    void setHandshakeLimit(int answers);
    void setBadSumAt(int block);
    void setAbortAt(int block);
    // The reader takes no more bytes once `bytes` bytes in all have arrived, until releaseLine; with XOFF it
    // sends XOFF when it starts holding and XON when it lets go.
    void setHoldAt(size_t bytes, LineHold hold);
    void releaseLine();
    // How many more bytes the reader takes now.
    size_t acceptable() const;

    // Transport side: the bytes that arrived and what to send back at once.
    std::string onBytes(const std::string &bytes, int32_t baud, SimClock::time_point now);
    // When onIdle is due next: partial input that goes stale.
    std::optional<SimClock::time_point> nextDeadline() const;
    std::string onIdle(SimClock::time_point now);

    // State and transcript.
    LoaderState state() const;
    int32_t loaderBaud() const;
    std::string receivedBytes() const;
    std::vector<LoaderItem> items() const;
    std::vector<LoaderKind> sequence() const;   // without noise
    int count(LoaderKind kind) const;
    // The whole blocks received, in order, and the bytes of the block under way.
    std::vector<std::string> blocks() const;
    size_t partialBlock() const;
    ::testing::AssertionResult expectSequence(const std::vector<LoaderKind> &expected) const;

private:
    struct Command {
        LoaderKind kind;
        std::string bytes;
    };

    int32_t listeningBaud() const;
    std::vector<Command> commands() const;
    void parse(SimClock::time_point now, int32_t baud, std::string &out);
    void take(LoaderKind kind, size_t length, SimClock::time_point now, int32_t baud, std::string &out);
    void receiveBlockBytes(SimClock::time_point now, int32_t baud, std::string &out);
    void settleStale(SimClock::time_point now, std::string &out);
    void add(SimClock::time_point now, LoaderKind kind, const std::string &bytes, int32_t baud);
    void answer(std::string &out, const std::string &command, const std::string &reply) const;

    mutable std::mutex mutex_;

    int32_t residentBaud_ = 0;
    int32_t loaderBaud_ = 0;
    bool stuck_ = false;
    bool refused_ = false;
    bool exitSeen_ = false;
    std::string handshakeAnswer_ = ">\r\n";
    std::string versionCommand_ = "V\r", versionReply_ = "RES V1.00";
    std::string eraseCommand_ = "X\r", eraseReply_ = "ERASED";
    std::string runCommand_ = "R\r", runReply_ = "RUN";
    bool echo_ = false;
    bool silent_ = false;
    int handshakeLimit_ = -1;
    int handshakes_ = 0;
    int badSumAt_ = -1;
    int abortAt_ = -1;
    size_t holdAt_ = SIZE_MAX;
    LineHold hold_ = LineHold::Xoff;
    bool holding_ = false;
    std::string pending_;   // answers that wait for the next idle pass

    LoaderState state_ = LoaderState::Resident;
    std::string buffer_;                 // bytes not yet parsed, or the block under way
    SimClock::time_point bufferSince_;   // arrival of the last byte in it
    int32_t bufferBaud_ = 0;
    std::vector<std::string> blocks_;
    std::string received_;
    std::vector<LoaderItem> items_;
};

} // namespace testsupport
