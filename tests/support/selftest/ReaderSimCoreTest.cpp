// The simulator's state machine, parser and reply timing, fed directly with a virtual clock.

#include "ReaderSim.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace testsupport {
namespace {

const std::string kEnter = "\x1b[C", kExit = "\x1b[A", kProgram = "\x1b[B", kDump = "\x1b[D",
                  kIdentify = "\x1b[E", kDefaults = "\x1bJA ", kSaveEeprom = "\x1bIA ", kSaveRam = "\x1bIA!";
const SimClock::time_point t0 {};

std::string replies(const std::vector<ReaderOutput> &outputs)
{
    std::string all;
    for (const ReaderOutput &output : outputs)
        all += output.bytes;
    return all;
}

struct StateCase {
    const char *name;
    std::function<void(ReaderSim &)> configure;
    std::string before;       // sent first, replies ignored
    std::string command;
    std::string reply;
    ReaderState after;
};

TEST(ReaderSimCore, RepliesAndStateChangesFollowTheReaderState)
{
    const auto none = [](ReaderSim &) {};
    const StateCase cases[] = {
        {"enter", none, "", kEnter, "\x1bH\r\n", ReaderState::Host},
        {"enter again in program mode", none, kEnter + kProgram, kEnter, "\x1bH\r\n", ReaderState::Host},
        {"exit outside host mode", none, "", kExit, "\x1bX\r\n", ReaderState::Normal},
        {"exit", none, kEnter + kProgram, kExit, "\x1bX\r\n", ReaderState::Normal},
        {"program mode", none, kEnter, kProgram, "\x1bP\r\n", ReaderState::Program},
        {"identify", none, kEnter, kIdentify, "M100 V1.2", ReaderState::Host},
        {"save leaves program mode", none, kEnter + kProgram, kSaveRam, "\x1bK\r\n", ReaderState::Host},
        {"restore defaults has no reply", none, kEnter + kProgram, kDefaults, "", ReaderState::Program},
        {"program mode needs host mode", none, "", kProgram, "", ReaderState::Normal},
        {"dump needs host mode", none, "", kDump, "", ReaderState::Normal},
        {"identify needs host mode", none, "", kIdentify, "", ReaderState::Normal},
        {"save needs host mode", none, "", kSaveEeprom, "", ReaderState::Normal},
        {"quiet exit outside host mode", [](ReaderSim &s) { s.setAnswersExitOutsideHost(false); }, "", kExit,
         "", ReaderState::Normal},
        {"silent", [](ReaderSim &s) { s.setSilent(true); }, "", kEnter, "", ReaderState::Normal},
        {"stuck", [](ReaderSim &s) { s.setStuck(true); }, "", kEnter, "", ReaderState::Normal},
        {"stuck until an exit", [](ReaderSim &s) { s.setStuck(true); }, kExit, kEnter, "\x1bH\r\n",
         ReaderState::Host},
        {"configured enter command", [](ReaderSim &s) { s.setEnterCommand("\x1b" "01"); }, "", "\x1b" "01",
         "\x1bH\r\n", ReaderState::Host},
        {"lower-case reply", [](ReaderSim &s) { s.setReply(SimKind::Enter, "\x1bh\r\n"); }, "", kEnter,
         "\x1bh\r\n", ReaderState::Host},
        {"extended identification",
         [](ReaderSim &s) { s.setIdentification(extendedIdentification("ABCDEFGHIJ#M100", "V1.2", "A\\B")); },
         kEnter, kIdentify, "ABCDEFGHIJ#M100\r\nV1.2\r\nA\\B", ReaderState::Host},
        {"custom command", [](ReaderSim &s) { s.addCustomCommand("\x1b[Z9"); }, kEnter, "\x1b[Z9", "OK\r\n",
         ReaderState::Host},
    };
    for (const StateCase &c : cases) {
        SCOPED_TRACE(c.name);
        ReaderSim sim;
        c.configure(sim);
        sim.onBytes(c.before, t0);
        EXPECT_EQ(replies(sim.onBytes(c.command, t0)), c.reply);
        EXPECT_EQ(sim.state(), c.after);
    }
}

TEST(ReaderSimCore, RecordsTakeAnyValueByteAndApplyOnlyInProgramMode)
{
    ReaderSim sim;
    sim.setFactory({readerRecord("AB", 0), readerRecord("AC", 1)});
    // Value bytes CR, LF and ESC; a record split over two reads; a record before program mode.
    sim.onBytes(kEnter + readerRecord("AB", 9) + kProgram + readerRecord("AB", '\r') + readerRecord("AC", '\x1b')
                    + "\x1b" "AD",
                t0);
    sim.onBytes("\n", t0 + 10ms);
    EXPECT_EQ(sim.pending(), (ReaderConfigStore {readerRecord("AB", '\r'), readerRecord("AC", '\x1b'),
                                                 readerRecord("AD", '\n')}));
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::RecordOutsideProgram, SimKind::ProgramMode,
                                    SimKind::Record, SimKind::Record, SimKind::Record}));

    sim.onBytes(kSaveRam, t0 + 20ms);
    EXPECT_EQ(sim.ram(), (ReaderConfigStore {readerRecord("AB", '\r'), readerRecord("AC", '\x1b'),
                                             readerRecord("AD", '\n')}));
    EXPECT_EQ(sim.eeprom(), sim.factory());
    // Save left program mode: this record is not taken.
    sim.onBytes(readerRecord("AB", 5), t0 + 30ms);
    EXPECT_EQ(sim.count(SimKind::RecordOutsideProgram), 2);
    EXPECT_TRUE(sim.pending().empty());
}

TEST(ReaderSimCore, RestoreDefaultsAndEepromSave)
{
    ReaderSim sim;
    sim.setFactory({readerRecord("AB", 0), readerRecord("AC", 1)});
    sim.setRam({readerRecord("AB", 7), readerRecord("AC", 7), readerRecord("AX", 7)});
    sim.onBytes(kEnter + kProgram + readerRecord("AB", 3) + kDefaults + readerRecord("AC", 4) + kSaveEeprom, t0);
    const ReaderConfigStore expected {readerRecord("AB", 0), readerRecord("AC", 4)};
    EXPECT_EQ(sim.ram(), expected);
    EXPECT_EQ(sim.eeprom(), expected);
    EXPECT_FALSE(sim.defaultsRequested());

    sim.setRam({});
    sim.powerCycle();
    EXPECT_EQ(sim.ram(), expected);
    EXPECT_EQ(sim.state(), ReaderState::Normal);
}

TEST(ReaderSimCore, UnknownAndStaleInputIsUnparsedAndCommandsStillWork)
{
    ReaderSim sim;
    EXPECT_EQ(replies(sim.onBytes("AB\x02" + kEnter, t0)), "\x1bH\r\n");
    // A partial command older than 500 ms is dropped before new bytes are parsed.
    sim.onBytes("\x1b[", t0 + 100ms);
    EXPECT_EQ(replies(sim.onBytes("E", t0 + 700ms)), "");
    EXPECT_EQ(replies(sim.onBytes("\x1b[", t0 + 800ms)), "");
    EXPECT_EQ(replies(sim.onBytes("E", t0 + 900ms)), "M100 V1.2");

    std::vector<std::string> unparsed;
    for (const SimItem &item : sim.items()) {
        if (item.kind == SimKind::Unparsed)
            unparsed.push_back(item.bytes);
    }
    EXPECT_EQ(unparsed, (std::vector<std::string> {"A", "B", "\x02", "\x1b[", "E"}));
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Identify}));
}

TEST(ReaderSimCore, DeviceErrorReplacesTheReplyAndTheCommandHasNoEffect)
{
    ReaderSim sim;
    sim.setFactory({readerRecord("AB", 0)});
    sim.setDeviceError(SimKind::SaveRam, "12 bad");
    sim.onBytes(kEnter + kProgram + readerRecord("AB", 1), t0);
    EXPECT_EQ(replies(sim.onBytes(kSaveRam, t0)), "\x1bW12 bad\r\n");
    EXPECT_EQ(sim.ram().value("\x1b" "AB"), 0);
    EXPECT_EQ(sim.state(), ReaderState::Program);
    EXPECT_EQ(replies(sim.onBytes(kSaveRam, t0)), "\x1bK\r\n");   // one-shot
    EXPECT_EQ(sim.ram().value("\x1b" "AB"), 1);

    sim.setDeviceError(SimKind::Exit, "busy", true);
    EXPECT_EQ(replies(sim.onBytes(kExit, t0)), "\x1bWbusy\r\n");
    EXPECT_EQ(replies(sim.onBytes(kExit, t0)), "\x1bWbusy\r\n");
    EXPECT_EQ(sim.state(), ReaderState::Host);
    sim.clearDeviceErrors();
    EXPECT_EQ(replies(sim.onBytes(kExit, t0)), "\x1bX\r\n");
}

TEST(ReaderSimCore, ReplyTimingAndDumpOptions)
{
    ReaderSim sim;
    sim.setFactory({readerRecord("AB", 0), readerRecord("AC", 1)});
    sim.setReplyLatency(20ms);
    sim.setEepromDelay(1500ms);
    EXPECT_EQ(sim.onBytes(kEnter, t0).at(0).due, t0 + 20ms);
    EXPECT_EQ(sim.onBytes(kSaveEeprom, t0).at(0).due, t0 + 1520ms);
    EXPECT_EQ(sim.onBytes(kSaveRam, t0).at(0).due, t0 + 20ms);

    sim.setDumpOptions({.gap = 100ms});
    const auto paced = sim.onBytes(kDump, t0);
    ASSERT_EQ(paced.size(), 1u + 8 + 2);
    EXPECT_EQ(paced[0].bytes, "\x1bL\r\n");
    EXPECT_EQ(paced[1].due, t0 + 120ms);
    EXPECT_EQ(paced.back().due, t0 + 1020ms);
    EXPECT_EQ(replies(paced), "\x1bL\r\n\x1b" "AB\0\x1b" "AC\1\r\n"s);

    sim.setDumpOptions({.truncateAfter = 7});
    EXPECT_EQ(replies(sim.onBytes(kDump, t0)), "\x1bL\r\n\x1b" "AB\0\x1b" "AC"s);
    sim.setDumpOptions({.recordSeparator = true});
    EXPECT_EQ(replies(sim.onBytes(kDump, t0)), "\x1bL\r\n\x1b" "AB\0\r\n\x1b" "AC\1\r\n"s);
}

} // namespace
} // namespace testsupport
