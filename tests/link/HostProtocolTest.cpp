#include "LinkFixture.h"

#include "common/ByteDisplay.h"

#include <QTimer>

using namespace std::chrono_literals;
using testsupport::ReaderConfigStore;
using testsupport::readerRecord;
using testsupport::SimKind;

namespace {

const std::string ENTER = "\x1B[C", EXIT = "\x1B[A", PROGRAM = "\x1B[B", DUMP = "\x1B[D", IDENTIFY = "\x1B[E",
                  SAVE_RAM = "\x1BIA!", SAVE_EEPROM = "\x1BIA ";

ReaderConfigStore fiftyRecords()
{
    ReaderConfigStore store;
    for (int i = 0; i < 50; ++i) store.apply(readerRecord(std::string {char('A' + i / 10), char('a' + i % 10)}, uint8_t(i)));
    return store;
}

std::string joined(const std::vector<std::string> &records)
{
    std::string all;
    for (const std::string &r : records) all += r;
    return all;
}

bool contains(const std::vector<std::string> &list, const std::string &item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

class HostProtocolTest : public LinkFixture {};

TEST_F(HostProtocolTest, ReadAndSendAConfigurationOfFiftyRecords)
{
    sim.setFactory(fiftyRecords());
    sim.setEepromDelay(1500ms);   // longer than a normal reply wait, well inside the 72 ticks of a save
    startLink();

    ASSERT_TRUE(link->EnterHostMode());
    link->Identify();
    std::vector<std::string> records;
    ASSERT_TRUE(link->ReadConfig(records));
    EXPECT_EQ(records, fiftyRecords().records());
    EXPECT_EQ(view.statuses.back(), "OK - 50 lines read");

    ASSERT_TRUE(link->SendConfig(records, false));   // RAM, no question
    ui.answer(true);
    ASSERT_TRUE(link->SendConfig(records, true));    // "Save to EEPROM?" Yes
    ASSERT_TRUE(link->ExitHostMode());

    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Save to EEPROM?"});
    EXPECT_EQ(sim.receivedBytes(), ENTER + IDENTIFY + DUMP + PROGRAM + joined(records) + SAVE_RAM + PROGRAM +
                                       joined(records) + SAVE_EEPROM + EXIT);
    EXPECT_EQ(sim.eeprom(), fiftyRecords());
    EXPECT_EQ(link->DeviceId.str(), "M100 V1.2");
    EXPECT_EQ(link->DeviceInfo.str(), "V1.2");
    EXPECT_EQ(Settings.ModelName.str(), "M100");
    EXPECT_EQ(Settings.DefTpl, "M100.TPL");
    EXPECT_FALSE(tpl.IsEmpty());
    EXPECT_FALSE(link->InHostMode);
    EXPECT_TRUE(link->Monitoring);
    EXPECT_EQ(view.forcedLogs(), (std::vector<std::string> {"Device: M100", "Template: M100", "Loading...OK", "Info: V1.2"}));
    EXPECT_EQ(view.statuses.front(), "Entering Host Mode...");
    EXPECT_TRUE(contains(view.statuses, "Exiting Host Mode..."));
}

TEST_F(HostProtocolTest, FiveHundredRecordsAt9600AreAllTakenWhileTheyAreStillOnTheWire)
{
    // 2012 bytes take 2.1 s at 9600 N81, twice the reply time-out; the pty takes them at once.
    ReaderConfigStore store;
    for (int i = 0; i < 500; ++i)
        store.apply(readerRecord(std::string {char('A' + i / 26), char('a' + i % 26)}, uint8_t('0' + i % 64)));
    sim.setFactory({});
    sim.setWireTime(true);
    startLink();
    ASSERT_TRUE(link->EnterHostMode());

    EXPECT_TRUE(link->SendConfig(store.records(), false));
    EXPECT_EQ(sim.count(SimKind::Record), 500);
    EXPECT_TRUE(sim.ram() == store) << toString(sim.ram());
    EXPECT_EQ(sim.state(), testsupport::ReaderState::Host);
    EXPECT_FALSE(contains(view.allLogs(), "Error!"));
    ASSERT_TRUE(link->ExitHostMode());   // the next step after the long send
}

TEST_F(HostProtocolTest, ExtendedIdentificationLoadsTheTemplateItNames)
{
    dir.write("dev/ABCDEFGH.TPL", kM100Template);
    sim.setIdentification(testsupport::extendedIdentification("ABCDEFGHIJ#M100", "V1.2", "Line1\\Line2"));
    startLink();
    ASSERT_TRUE(link->EnterHostMode());
    link->Identify();
    EXPECT_EQ(link->DeviceId.str(), "M100 V1.2");
    EXPECT_EQ(link->DeviceInfo.str(), "V1.2");
    EXPECT_EQ(Settings.ModelName.str(), "M100");
    EXPECT_EQ(Settings.DefTpl, "ABCDEFGH.TPL");
    EXPECT_EQ(ui.texts(testsupport::ScriptedUi::Kind::Information), std::vector<std::string> {"Line1\rLine2"});
    EXPECT_EQ(view.forcedLogs(), (std::vector<std::string> {"Device: M100", "Template: ABCDEFGH", "Loading...OK", "Info: V1.2"}));
    link->ExitHostMode();
}

TEST_F(HostProtocolTest, AMissingTemplateEmptiesTheModelAndWarns)
{
    writeIni("[Misc]\nDefTimeout=8\n[M300]\nDevPath=" + dir.path().string() + "/dev\nDevTpl=NOPE.TPL\n");
    sim.setIdentification("M300 X");
    startLink();
    Settings.DevPath = dir.path().string() + "/dev/";
    ASSERT_TRUE(tpl.LoadFromFile("M100.TPL"));
    ASSERT_TRUE(link->EnterHostMode());
    link->Identify();
    EXPECT_TRUE(tpl.IsEmpty());
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Template NOPE.TPL not found!"});
    EXPECT_EQ(view.forcedLogs(), (std::vector<std::string> {"Device: M300", "Template: NOPE", "Loading...NOT FOUND", "Info: X"}));
    link->ExitHostMode();
}

TEST_F(HostProtocolTest, AReaderThatAnswersOnlyAfterAnExit)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setStuck(true);
    startLink();
    ASSERT_TRUE(link->EnterHostMode());
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Exit, SimKind::Enter}));
    EXPECT_EQ(view.statuses, (std::vector<std::string> {"Entering Host Mode...", "OK"}));
    EXPECT_TRUE(link->InHostMode);
    EXPECT_TRUE(link->EnterHostMode());   // already in host mode: nothing is sent
    EXPECT_EQ(sim.count(SimKind::Enter), 2);
    link->ExitHostMode();
}

TEST_F(HostProtocolTest, AnEntryThatSucceedsAfterACloseRequestIsLeftAgain)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setStuck(true);   // the first enter goes unanswered, the one after the exit succeeds
    startLink();
    QTimer::singleShot(100ms, [&] { link->AbortConnect = true; });   // the main window is closed meanwhile
    ASSERT_TRUE(link->EnterHostMode());
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Exit, SimKind::Enter}));
    EXPECT_TRUE(link->InHostMode);

    sim.clearTranscript();
    EXPECT_TRUE(link->ExitHostMode());
    EXPECT_EQ(sim.receivedBytes(), EXIT);
    EXPECT_EQ(sim.state(), testsupport::ReaderState::Normal);
}

TEST_F(HostProtocolTest, ASilentReaderOnARemotedLineGetsNoAutoConnect)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    ParseCommandLine(",1B3031");
    sim.setSilent(true);
    startLink();
    EXPECT_FALSE(link->EnterHostMode());
    const std::string station = "\x1B" "01";
    EXPECT_EQ(sim.receivedBytes(), station + EXIT + station + station + EXIT);
    EXPECT_EQ(view.statuses, (std::vector<std::string> {"Entering Host Mode...", "Attempt failed!"}));
    EXPECT_EQ(view.forcedLogs(), (std::vector<std::string> {"Wait...", "", "", "Wait...", "", "Wait...", "", ""}));
    EXPECT_FALSE(link->InHostMode);
    EXPECT_FALSE(link->Monitoring);   // a failed entry leaves monitoring off
    EXPECT_FALSE(link->Busy);
}

TEST_F(HostProtocolTest, ExitFailureKeepsHostModeAndRetriesOnlyAfterAnAnsweredEnter)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    startLink();
    ASSERT_TRUE(link->EnterHostMode());
    sim.clearTranscript();
    sim.setSilent(true);
    EXPECT_FALSE(link->ExitHostMode());
    EXPECT_EQ(sim.receivedBytes(), EXIT + ENTER);
    EXPECT_TRUE(link->InHostMode);
    EXPECT_EQ(view.logs.back().text, "Failed!");
    EXPECT_TRUE(link->Monitoring);
}

TEST_F(HostProtocolTest, DumpRecordRules)
{
    struct Case {
        ReaderConfigStore ram;
        testsupport::ReaderSim::DumpOptions options;
        bool ok;
        std::vector<std::string> records;
        std::string status;
    };
    const std::string crValue = readerRecord("AB", '\r'), next = readerRecord("CD", 'w');
    const Case cases[] = {
        {{crValue, next}, {}, true, {crValue, next}, "OK - 2 lines read"},
        {{readerRecord("AB", 0), next}, {0ms, std::nullopt, true}, true, {readerRecord("AB", 0)}, "OK - 1 lines read"},
        {{readerRecord("AB", 0), next}, {0ms, 6, false}, false, {readerRecord("AB", 0)}, "Failed - 1 lines read"},
    };
    writeIni("[Misc]\nDefTimeout=8\n");
    startLink();
    for (const Case &c : cases) {
        sim.setRam(c.ram);
        sim.setDumpOptions(c.options);
        ASSERT_TRUE(link->EnterHostMode());
        std::vector<std::string> records;
        EXPECT_EQ(link->ReadConfig(records), c.ok) << c.status;
        EXPECT_EQ(records, c.records) << c.status;
        EXPECT_EQ(view.statuses.back(), c.status);
        link->InHostMode = false;   // leave the rest of the reply to the next entry's wait
        sim.powerCycle();
        PumpFor(300ms);
        while (link->ComPort.CharReady()) link->ComPort.GetChar();
    }
}

TEST_F(HostProtocolTest, ADumpThatNeverEndsIsCutOff)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setReply(SimKind::Dump, "\x1BL\r\n" + std::string(100000, 'A'));
    startLink();
    ASSERT_TRUE(link->EnterHostMode());
    std::vector<std::string> records;
    EXPECT_FALSE(link->ReadConfig(records));
    EXPECT_EQ(view.statuses.back(), "Failed - 0 lines read");
}

TEST_F(HostProtocolTest, UnsolicitedInputIsLoggedInLinesOfAtMostSeventeenBytes)
{
    startLink();
    driver->send("ABCDEFGHIJKLMNOPQR");
    ASSERT_TRUE(PumpUntil([&] { return link->LineBuffer == "R"; }, 2s));
    driver->send("\r\n");
    ASSERT_TRUE(PumpUntil([&] { return link->LineBuffer.empty(); }, 2s));
    PumpFor(100ms);
    EXPECT_EQ(view.allLogs(), (std::vector<std::string> {"RX: ABCDEFGHIJKLMNOPQ", "RX: R"}));
}

TEST_F(HostProtocolTest, ATimedOutWaitLogsItsErrorTextAndWhatCame)
{
    startLink();
    link->Monitoring = false;   // as in host mode: the bytes wait for the protocol's own read
    EXPECT_FALSE(link->WaitReply("\x1BZ\r\n", 2, "An error text that is too long"));
    driver->send("xy");
    ASSERT_TRUE(PumpUntil([&] { return link->ComPort.InBuffUsed() == 2; }, 2s));
    EXPECT_FALSE(link->WaitReply("\x1BZ\r\n", 4, ""));
    EXPECT_EQ(view.forcedLogs(), (std::vector<std::string> {"An error text that i", "", "xy"}));
    EXPECT_FALSE(link->Busy);
}

TEST_F(HostProtocolTest, BusyIsClearedWhenTheWaitRaises)
{
    startLink();
    link->ClosePort();
    EXPECT_ANY_THROW(link->WaitReply("\x1BH\r\n", 2, "Wait..."));
    EXPECT_FALSE(link->Busy);
    EXPECT_TRUE(link->DeviceId.empty());
}

TEST_F(HostProtocolTest, SingleCommandAndCustomCommand)
{
    writeIni("[Reserved]\nCustomBtn2=Beep,Make a beep,1B4242\n");
    sim.addCustomCommand("\x1B" "BB", "OK\r\n");
    startLink();
    EXPECT_TRUE(link->SendSingleCommand(readerRecord("AC", 0)));
    EXPECT_EQ(sim.receivedBytes(), ENTER + PROGRAM + readerRecord("AC", 0) + SAVE_RAM + EXIT);
    EXPECT_EQ(view.statuses.back(), "Command sent");
    EXPECT_EQ(sim.ram().value("\x1B" "AC"), 0);

    sim.clearTranscript();
    ASSERT_TRUE(link->EnterHostMode());
    EXPECT_TRUE(link->CustomCommand(2));
    link->ExitHostMode();
    EXPECT_EQ(sim.receivedBytes(), ENTER + "\x1B" "BB" + EXIT);
}
