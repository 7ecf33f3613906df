// The simulator on a real pty with the thread driver, driven from the device side with raw bytes.

#include "Pump.h"
#include "HostEnd.h"
#include "Pty.h"
#include "ReaderSim.h"
#include "ReaderSimThreadDriver.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace testsupport {
namespace {

const std::string kEnter = "\x1b[C", kExit = "\x1b[A", kProgram = "\x1b[B", kDump = "\x1b[D",
                  kIdentify = "\x1b[E", kSaveEeprom = "\x1bIA ", kSaveRam = "\x1bIA!";
const std::string kH = "\x1bH\r\n", kX = "\x1bX\r\n", kP = "\x1bP\r\n", kK = "\x1bK\r\n";

// Codes "Aa".."Bx" with the values 0..49 (CR, LF and ESC among them).
ReaderConfigStore fiftyRecords()
{
    ReaderConfigStore store;
    for (int i = 0; i < 50; ++i)
        store.apply(readerRecord(std::string {char('A' + i / 26), char('a' + i % 26)}, uint8_t(i)));
    return store;
}

struct ReaderOnPty {
    Pty pty;
    ReaderSim sim;
    std::unique_ptr<ReaderSimThreadDriver> driver;
    std::unique_ptr<HostEnd> host;

    void start()
    {
        driver = std::make_unique<ReaderSimThreadDriver>(sim, pty.masterFd());
        host = std::make_unique<HostEnd>(pty.devicePath());
    }
};

TEST(ReaderSimPty, ConnectIdentifyDumpAndExit)
{
    ReaderOnPty r;
    const ReaderConfigStore records = fiftyRecords();
    r.sim.setFactory(records);
    r.start();

    EXPECT_EQ(r.host->ask(kEnter, kH), kH);
    r.host->send(kIdentify);
    EXPECT_EQ(r.host->read(300ms), "M100 V1.2");

    std::string dump = "\x1bL\r\n";
    for (const std::string &record : records.records())
        dump += record;
    dump += "\r\n";
    ASSERT_EQ(dump.size(), 4u + 200 + 2);
    r.host->send(kDump);
    EXPECT_EQ(r.host->read(500ms), dump);
    EXPECT_EQ(r.host->ask(kExit, kX), kX);

    EXPECT_EQ(r.sim.receivedBytes(), kEnter + kIdentify + kDump + kExit);
    // The driver thread notes what it wrote right after the write, so the host may have read it first.
    const std::string sent = kH + "M100 V1.2" + dump + kX;
    EXPECT_TRUE(PumpUntil([&] { return r.sim.sentBytes() == sent; }, 1s)) << testsupport::toHex(r.sim.sentBytes());
    EXPECT_TRUE(r.sim.expectSequence({SimKind::Enter, SimKind::Identify, SimKind::Dump, SimKind::Exit}));
    EXPECT_EQ(r.sim.state(), ReaderState::Normal);
}

TEST(ReaderSimPty, ProgramRecordsAndSaveToRamThenEeprom)
{
    ReaderOnPty r;
    r.sim.setFactory({readerRecord("AB", 0), readerRecord("AC", 1)});
    r.sim.setEepromDelay(1500ms);   // longer than a reply wait of 18 ticks, well within 72 ticks
    r.start();

    EXPECT_EQ(r.host->ask(kEnter, kH), kH);
    EXPECT_EQ(r.host->ask(kProgram, kP), kP);
    r.host->send(readerRecord("AB", 1));
    r.host->send(readerRecord("AD", 2));
    EXPECT_EQ(r.host->ask(kSaveRam, kK), kK);
    const ReaderConfigStore saved {readerRecord("AB", 1), readerRecord("AC", 1), readerRecord("AD", 2)};
    EXPECT_EQ(r.sim.ram(), saved);
    EXPECT_EQ(r.sim.eeprom(), r.sim.factory());

    EXPECT_EQ(r.host->ask(kProgram, kP), kP);
    r.host->send(readerRecord("AC", 0));
    r.host->send(kSaveEeprom);
    EXPECT_EQ(r.host->read(1000ms), "");
    EXPECT_EQ(r.host->readUntil(kK, 3000ms), kK);
    EXPECT_EQ(r.sim.eeprom(), (ReaderConfigStore {readerRecord("AB", 1), readerRecord("AC", 0),
                                                  readerRecord("AD", 2)}));
    EXPECT_EQ(r.host->ask(kExit, kX), kX);
    EXPECT_TRUE(r.sim.expectSequence({SimKind::Enter, SimKind::ProgramMode, SimKind::Record, SimKind::Record,
                                      SimKind::SaveRam, SimKind::ProgramMode, SimKind::Record,
                                      SimKind::SaveEeprom, SimKind::Exit}));
}

TEST(ReaderSimPty, DeviceErrorLineAndUnsolicitedOutput)
{
    ReaderOnPty r;
    r.sim.setDeviceError(SimKind::ProgramMode, "12 bad");
    r.start();

    EXPECT_EQ(r.host->ask(kEnter, kH), kH);
    EXPECT_EQ(r.host->ask(kProgram, "\r\n"), "\x1bW12 bad\r\n");
    EXPECT_EQ(r.sim.state(), ReaderState::Host);
    r.driver->send("\x1b" "abv");
    EXPECT_EQ(r.host->readUntil("abv", 2000ms), "\x1b" "abv");
}

TEST(ReaderSimPty, StuckReaderAnswersEnterOnlyAfterAnExit)
{
    ReaderOnPty r;
    r.sim.setStuck(true);
    r.start();

    r.host->send(kEnter);
    EXPECT_EQ(r.host->read(300ms), "");
    EXPECT_EQ(r.host->ask(kExit, kX), kX);
    EXPECT_EQ(r.host->ask(kEnter, kH), kH);
    EXPECT_FALSE(r.sim.stuck());
}

TEST(ReaderSimPty, BytesAtOtherLineSettingsAreNoise)
{
    ReaderOnPty r;
    std::atomic<int> hostBaud {9600};
    r.sim.setLine({19200, 'E', 7, 1});
    r.sim.setLineProbe([&] { return LineSettings {hostBaud.load(), 'E', 7, 1}; });
    r.start();

    r.host->send(kEnter);
    EXPECT_EQ(r.host->read(300ms), "");
    hostBaud = 19200;
    EXPECT_EQ(r.host->ask(kEnter, kH), kH);

    const auto chunks = r.sim.received();
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_FALSE(chunks[0].understood);
    EXPECT_EQ(chunks[0].line.toString(), "9600 E71");
    EXPECT_EQ(r.sim.understoodBytes(), kEnter);
    EXPECT_EQ(r.sim.count(SimKind::Noise), 1);
    EXPECT_TRUE(r.sim.expectSequence({SimKind::Enter}));
}

} // namespace
} // namespace testsupport
