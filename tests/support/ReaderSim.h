#pragma once
// A barcode reader answering the host-mode protocol, without transport: a driver feeds it the bytes that
// arrive from the host and sends the replies it returns when they are due. All members are thread-safe.
//
// Commands (default bytes) and replies:
//   enter ESC "[C" (configurable) -> ESC "H" CR LF      exit ESC "[A" -> ESC "X" CR LF
//   program mode ESC "[B" -> ESC "P" CR LF                dump ESC "[D" -> ESC "L" CR LF, records, CR LF
//   identify ESC "[E" -> identification text              restore defaults ESC "JA " -> no reply
//   save to EEPROM ESC "IA " / to RAM ESC "IA!" -> ESC "K" CR LF
//   record ESC c1 c2 v (program mode only) -> no reply    custom commands -> their configured reply

#include "ReaderConfigStore.h"
#include "ReaderSimTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The three lines of an extended identification: "<template>#<model>" CR LF info CR LF message.
std::string extendedIdentification(const std::string &templateAndModel, const std::string &info,
                                   const std::string &message);

class ReaderSim {
public:
    struct DumpOptions {
        std::chrono::milliseconds gap {0};        // between the bytes after the dump header
        std::optional<size_t> truncateAfter {};   // send only this many record bytes and no closing CR LF
        bool recordSeparator = false;             // CR LF between records (ends the host's read early)
    };

    // 9600 N81, identification "M100 V1.2", empty stores, not in host mode, no latency.
    ReaderSim();

    // Reader settings. Without a probe every byte counts as understood; with one, bytes are noise unless
    // the probed host line equals the reader's line in all four values.
    void setLine(const LineSettings &line);
    void setLineProbe(LineProbe probe);
    void setEnterCommand(const std::string &bytes);
    void setIdentification(const std::string &reply);
    // Replaces the fixed reply of a command (for the dump: its header).
    void setReply(SimKind kind, const std::string &bytes);
    void addCustomCommand(const std::string &command, const std::string &reply = "OK\r\n");
    // Answers the next (or, persistent, every) accepted command of this kind with ESC "W" text CR LF in
    // place of its reply; the command then has no effect.
    void setDeviceError(SimKind kind, const std::string &text, bool persistent = false);
    void clearDeviceErrors();

    // factory = eeprom = ram = store.
    void setFactory(const ReaderConfigStore &store);
    void setEeprom(const ReaderConfigStore &store);
    void setRam(const ReaderConfigStore &store);
    // ram := eeprom; not in host mode.
    void powerCycle();

    // Behaviour.
    void setSilent(bool silent);                  // answers nothing and ignores every command
    void setStuck(bool stuck);                    // ignores the enter command until an exit came
    void setAnswersExitOutsideHost(bool answers); // default true
    void setReplyLatency(std::chrono::milliseconds latency);
    void setEepromDelay(std::chrono::milliseconds delay);   // added to the latency of an EEPROM save
    void setDumpOptions(const DumpOptions &options);

    // Transport side.
    std::vector<ReaderOutput> onBytes(const std::string &bytes, SimClock::time_point now);
    void noteSent(const std::string &bytes, SimClock::time_point now);

    // State.
    ReaderState state() const;
    bool stuck() const;
    bool defaultsRequested() const;
    ReaderConfigStore factory() const;
    ReaderConfigStore eeprom() const;
    ReaderConfigStore ram() const;
    ReaderConfigStore pending() const;

    // Transcript.
    std::vector<ReceivedChunk> received() const;
    std::vector<SentChunk> sent() const;
    std::vector<SimItem> items() const;
    std::string receivedBytes() const;
    std::string understoodBytes() const;
    std::string sentBytes() const;
    // Kinds of the parsed commands and records in order; unparsed bytes and noise left out.
    std::vector<SimKind> sequence() const;
    int count(SimKind kind) const;
    ::testing::AssertionResult expectSequence(const std::vector<SimKind> &expected) const;
    // One line per item: kind and hex bytes.
    std::string describe() const;
    void clearTranscript();

private:
    struct DeviceError {
        std::string text;
        bool persistent;
    };

    void parse(SimClock::time_point now, std::vector<ReaderOutput> &out);
    std::optional<SimKind> matchCommand() const;
    const std::string *customReply(const std::string &command) const;
    bool isCommandPrefix() const;
    void addItem(SimClock::time_point now, SimKind kind, const std::string &bytes);
    void discardPartial(SimClock::time_point now);
    void execute(SimKind kind, const std::string &bytes, SimClock::time_point now,
                 std::vector<ReaderOutput> &out);
    bool accepts(SimKind kind) const;
    void act(SimKind kind, const std::string &bytes, SimClock::time_point now,
             std::vector<ReaderOutput> &out);
    void commitPending();
    std::string replyFor(SimKind kind, const std::string &standard) const;
    void queueDump(SimClock::time_point due, std::vector<ReaderOutput> &out) const;

    mutable std::mutex mutex_;

    LineSettings line_;
    LineProbe probe_;
    std::string enterCommand_;
    std::string identification_;
    std::map<SimKind, std::string> replies_;
    std::vector<std::pair<std::string, std::string>> customCommands_;
    std::map<SimKind, DeviceError> deviceErrors_;
    bool silent_ = false;
    bool stuck_ = false;
    bool answersExitOutsideHost_ = true;
    std::chrono::milliseconds latency_ {0};
    std::chrono::milliseconds eepromDelay_ {0};
    DumpOptions dump_;

    ReaderState state_ = ReaderState::Normal;
    ReaderConfigStore factory_, eeprom_, ram_, pending_;
    bool defaultsRequested_ = false;

    std::string buffer_;                 // received bytes not yet parsed
    SimClock::time_point bufferSince_;   // arrival of the buffer's first byte

    std::vector<ReceivedChunk> received_;
    std::vector<SentChunk> sent_;
    std::vector<SimItem> items_;
};

} // namespace testsupport
