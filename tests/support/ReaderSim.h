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
    void setLine(const LineSettings &line) { assign(line_, line); }
    void setLineProbe(LineProbe probe) { assign(probe_, std::move(probe)); }
    void setEnterCommand(const std::string &bytes) { assign(enterCommand_, bytes); }
    void setIdentification(const std::string &reply) { assign(identification_, reply); }
    // Replaces the fixed reply of a command (for the dump: its header).
    void setReply(SimKind kind, const std::string &bytes);
    void addCustomCommand(const std::string &command, const std::string &reply = "OK\r\n");
    // Answers the next (or, persistent, every) accepted command of this kind with ESC "W" text CR LF in
    // place of its reply; the command then has no effect.
    void setDeviceError(SimKind kind, const std::string &text, bool persistent = false);
    void clearDeviceErrors();

    // factory = eeprom = ram = store.
    void setFactory(const ReaderConfigStore &store);
    void setEeprom(const ReaderConfigStore &store) { assign(eeprom_, store); }
    void setRam(const ReaderConfigStore &store) { assign(ram_, store); }
    // ram := eeprom; not in host mode.
    void powerCycle();

    // Behaviour. A silent reader answers nothing and ignores every command; a stuck one ignores the enter
    // command until an exit came. An exit outside host mode is answered unless switched off.
    void setSilent(bool silent) { assign(silent_, silent); }
    void setStuck(bool stuck) { assign(stuck_, stuck); }
    void setAnswersExitOutsideHost(bool answers) { assign(answersExitOutsideHost_, answers); }
    void setReplyLatency(std::chrono::milliseconds latency) { assign(latency_, latency); }
    // Added to the latency of an EEPROM save.
    void setEepromDelay(std::chrono::milliseconds delay) { assign(eepromDelay_, delay); }
    void setDumpOptions(const DumpOptions &options) { assign(dump_, options); }
    // Bytes reach the reader one character time after another at its line's rate, as over a real line,
    // however fast the host's side took them; replies are due from the arrival of the command's last byte.
    void setWireTime(bool on) { assign(wireTime_, on); }

    // Transport side.
    std::vector<ReaderOutput> onBytes(const std::string &bytes, SimClock::time_point now);
    void noteSent(const std::string &bytes, SimClock::time_point now);

    // State.
    ReaderState state() const { return locked(state_); }
    bool stuck() const { return locked(stuck_); }
    bool defaultsRequested() const { return locked(defaultsRequested_); }
    ReaderConfigStore factory() const { return locked(factory_); }
    ReaderConfigStore eeprom() const { return locked(eeprom_); }
    ReaderConfigStore ram() const { return locked(ram_); }
    ReaderConfigStore pending() const { return locked(pending_); }

    // Transcript.
    std::vector<ReceivedChunk> received() const { return locked(received_); }
    std::vector<SentChunk> sent() const { return locked(sent_); }
    std::vector<SimItem> items() const { return locked(items_); }
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

    template <class T, class V>
    void assign(T &field, V &&value)
    {
        std::lock_guard lock(mutex_);
        field = std::forward<V>(value);
    }
    template <class T>
    T locked(const T &field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }
    template <class Chunk, class Keep>
    std::string joined(const std::vector<Chunk> &chunks, Keep keep) const
    {
        std::lock_guard lock(mutex_);
        std::string all;
        for (const Chunk &chunk : chunks) {
            if (keep(chunk))
                all += chunk.bytes;
        }
        return all;
    }

    void parse(SimClock::time_point now, std::vector<ReaderOutput> &out);
    std::optional<SimKind> matchCommand() const;
    const std::string *customReply(const std::string &command) const;
    bool isCommandPrefix() const;
    void addItem(SimClock::time_point now, SimKind kind, const std::string &bytes);
    // When the next byte read at `now` has reached the reader.
    SimClock::time_point arrival(SimClock::time_point now);
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
    bool wireTime_ = false;
    SimClock::time_point wireFree_ {};   // when the line has carried every byte received so far

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
