// The dispatcher's trace and dispatch log over an in-memory device, and the text of their dump files.

#include "FakeDispatcher.h"

#include "serial/SerErrno.h"
#include "serial/SerTraceDump.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstring>
#include <filesystem>

namespace {

int64_t fakeMs = 0;
int64_t FakeClock()
{
    return fakeMs;
}

struct TraceTest : ::testing::Test {
    testsupport::TempDir dir;
    FakeDispatcher d;

    void SetUp() override
    {
        fakeMs = 100000;
        SetSerMsClock(&FakeClock);
        ASSERT_EQ(d.OpenPort(TSerOpenParams {}), 0);
    }
    void TearDown() override { SetSerMsClock(nullptr); }

    // Bytes arriving from the device and handed out one by one.
    void Receive(const std::string &bytes)
    {
        d.input.insert(d.input.end(), bytes.begin(), bytes.end());
        TSerDispatcherProbe::ReadIntoRing(d);
        uint8_t c;
        while (d.GetChar(c) == 0) {
        }
    }
    std::string DumpTrace(bool hex)
    {
        EXPECT_EQ(d.DumpTrace(dir.file("T.TRC"), hex), 0);
        return dir.read("T.TRC");
    }
    // The record lines of a log dump, without the five heading lines.
    std::vector<std::string> DumpLogRecords(bool hex = true)
    {
        EXPECT_EQ(d.DumpLog(dir.file("T.LOG"), hex), 0);
        std::vector<std::string> lines;
        const std::string text = dir.read("T.LOG");
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines.size() > 5 ? std::vector(lines.begin() + 5, lines.end()) : std::vector<std::string> {};
    }
    static std::string Record(const char *time, const char *type, const char *subType, uint32_t value,
                              const std::string &rest = "")
    {
        char line[96];
        std::snprintf(line, sizeof line, "%8s  %-8s  %-12s  %08x  ", time, type, subType, value);
        return line + rest;
    }
};

} // namespace

TEST_F(TraceTest, ReceivedBytesDumpInHexAndDecimal)
{
    struct Case {
        bool hex;
        const char *expected;
    };
    for (const Case &c : {Case {true, "Receive: \r\na[20][C8]\r\n"}, Case {false, "Receive: \r\na [200]\r\n"}}) {
        ASSERT_EQ(d.InitTracing(100), 0);
        Receive("a \xC8");
        EXPECT_EQ(DumpTrace(c.hex), c.expected) << "hex " << c.hex;
    }
}

TEST_F(TraceTest, RunsOfOneKindAndLinesOf78Columns)
{
    ASSERT_EQ(d.InitTracing(1000), 0);
    ASSERT_EQ(d.PutBlock("AB", 2), 0);
    Receive(std::string(100, 'x'));
    ASSERT_EQ(d.PutBlock("\x01\x02", 2), 0);
    Receive(std::string(20, '\x7F'));
    std::string nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen += "[7F]";
    EXPECT_EQ(DumpTrace(true), "Transmit: \r\nAB\r\n\r\n"
                               "Receive: \r\n" + std::string(78, 'x') + "\r\n" + std::string(22, 'x') + "\r\n\r\n"
                               "Transmit: \r\n[01][02]\r\n\r\n"
                               "Receive: \r\n" + nineteen + "\r\n[7F]\r\n");
}

TEST_F(TraceTest, TraceSizeLimitEmptyDumpAndEnd)
{
    EXPECT_EQ(d.InitTracing(MaxTraceEntries + 1), SerCode::BadArgument);
    Receive("a");
    EXPECT_EQ(d.DumpTrace(dir.file("T.TRC"), true), 0);   // nothing was started
    EXPECT_FALSE(std::filesystem::exists(dir.file("T.TRC")));

    ASSERT_EQ(d.InitTracing(10), 0);
    EXPECT_EQ(d.DumpTrace(dir.file("T.TRC"), true), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("T.TRC"))) << "an empty trace writes no file";
    Receive("b");   // the dump ended the trace
    EXPECT_EQ(d.DumpTrace(dir.file("T.TRC"), true), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("T.TRC")));

    ASSERT_EQ(d.InitTracing(0), 0);   // records nothing rather than writing past an empty ring
    Receive("c");
    EXPECT_EQ(DumpTrace(true), "");
}

TEST_F(TraceTest, TraceRingKeepsTheNewestEntries)
{
    ASSERT_EQ(d.InitTracing(5), 0);
    Receive("01");
    ASSERT_EQ(d.PutBlock("23", 2), 0);
    Receive("456");
    EXPECT_EQ(DumpTrace(true), "Transmit: \r\n23\r\n\r\nReceive: \r\n456\r\n");
    ASSERT_EQ(d.InitTracing(5), 0);
    Receive("abcde");   // exactly one round
    EXPECT_EQ(DumpTrace(true), "Receive: \r\nabcde\r\n");
}

TEST_F(TraceTest, PauseResumeClearAndAppend)
{
    ASSERT_EQ(d.InitTracing(100), 0);
    Receive("a");
    d.PauseTracing();
    Receive("b");
    d.ResumeTracing();
    Receive("c");
    EXPECT_EQ(DumpTrace(true), "Receive: \r\nac\r\n");
    d.ResumeTracing();   // no trace left to resume
    Receive("d");
    ASSERT_EQ(d.InitTracing(100), 0);
    Receive("e");
    ASSERT_EQ(d.InitTracing(100), 0);   // a running trace starts again empty
    Receive("f");
    d.ClearTracing();
    Receive("g");
    EXPECT_EQ(d.AppendTrace(dir.file("T.TRC"), true), 0);
    EXPECT_EQ(dir.read("T.TRC"), "Receive: \r\nac\r\nReceive: \r\ng\r\n");
    d.InitTracing(100);
    Receive("h");
    d.AbortTracing();
    EXPECT_EQ(d.AppendTrace(dir.file("T.TRC"), true), 0);
    EXPECT_EQ(dir.read("T.TRC"), "Receive: \r\nac\r\nReceive: \r\ng\r\n");
}

TEST_F(TraceTest, FailedDumpEndsTheRecordAndReportsTheError)
{
    ASSERT_EQ(d.InitTracing(100), 0);
    ASSERT_EQ(d.InitLogging(1000), 0);
    Receive("a");
    const std::string missing = dir.file("no/such/dir/T.TRC");
    EXPECT_EQ(d.DumpTrace(missing, true), -int32_t(SerError::FileNotFound));
    EXPECT_EQ(d.AppendLog(missing, true), -int32_t(SerError::FileNotFound));
    Receive("b");   // both have ended: nothing is recorded, nothing is dumped
    EXPECT_EQ(DumpTrace(true), "");
    EXPECT_EQ(DumpLogRecords(), std::vector<std::string> {});
    ASSERT_EQ(d.InitTracing(100), 0);   // and they start again cleanly
    Receive("c");
    EXPECT_EQ(DumpTrace(true), "Receive: \r\nc\r\n");
}

TEST_F(TraceTest, LogHeadingLines)
{
    ASSERT_EQ(d.InitLogging(1000), 0);
    d.SetLengthTrigger(1);
    ASSERT_EQ(d.DumpLog(dir.file("T.LOG"), true), 0);
    utsname u;
    ASSERT_EQ(uname(&u), 0);
    const std::string os = (std::string(u.sysname) + " " + u.release).substr(0, 80);
    const std::string text = dir.read("T.LOG");
    EXPECT_EQ(text.substr(0, text.find("\r\n", text.find("-----"))),
              "SERIAL v2.58\r\n"
              "Compiler : GCC " __VERSION__ "\r\n"
              "Operating System : " + os + "\r\n"
              "Time      Type      SubType       Data      OtherData\r\n"
              "--------  --------  ------------  --------  ---------");
}

TEST_F(TraceTest, LogRecordsOfTheRegistryWithTheirDecorations)
{
    ASSERT_EQ(d.InitLogging(4000), 0);
    fakeMs += 1234;
    d.SetLengthTrigger(3);
    const int32_t timer = d.AddTimerTrigger();
    ASSERT_EQ(d.SetTimerTrigger(timer, 7, true), 0);
    ASSERT_EQ(d.SetTimerTrigger(timer, 0, false), 0);
    const int32_t sent = d.AddStatusTrigger(5);
    ASSERT_EQ(d.SetStatusTrigger(sent, 0x1234, true), 0);
    fakeMs += 8765432;
    ASSERT_EQ(d.RemoveTrigger(sent), 0);
    ASSERT_EQ(d.RemoveTrigger(timer), 0);
    ASSERT_EQ(d.RemoveTrigger(timer), SerCode::BadTriggerHandle);   // nothing logged for a failure
    d.AddLogEntry(9, 4, 1, "\x80", 0x91);   // a modem-status record names the set bits of its value
    d.AddLogEntry(0, 0, 0, nullptr, 0);
    EXPECT_EQ(DumpLogRecords(), (std::vector<std::string> {
        Record("0001.234", "TrDatChg", "Avail", 3),
        Record("0001.234", "TrigAllc", "Timer", 8),
        Record("0001.234", "TrDatChg", "Timer", 8, "[07][00][00][00]"),
        Record("0001.234", "TrDatChg", "Timer", 8, "Deactivated"),
        Record("0001.234", "TrigAllc", "Status", 21, "(Output sent)"),
        Record("0001.234", "TrDatChg", "Status", 21, "4[12][00][00]"),
        Record("8766.666", "TrigDisp", "Status", 21, "(Output sent)"),
        Record("8766.666", "TrigDisp", "Timer", 8),
        Record("8766.666", "TrDatChg", "Modem status", 0x91, "[80] (DCTS CTS DCD)"),
        Record("8766.666", "No event", "", 0),
    }));
}

TEST_F(TraceTest, LogDataWrapsUnderItsColumnAndIsDecimalWithoutHex)
{
    ASSERT_EQ(d.InitLogging(4000), 0);
    ASSERT_EQ(d.PutBlock(std::string(40, 'w').data(), 40), 0);
    Receive(" \x05");
    const std::vector<std::string> lines = DumpLogRecords(false);
    EXPECT_EQ(lines, (std::vector<std::string> {
        Record("0000.000", "Dispatch", "WriteCom", 40, std::string(33, 'w')),
        std::string(44, ' ') + std::string(7, 'w'),
        Record("0000.000", "Dispatch", "ReadCom", 2, " [5]"),
    }));
}

TEST_F(TraceTest, LogOfSixteenBytesOrLessRecordsNothing)
{
    for (uint32_t size : {0u, 1u, 16u}) {
        ASSERT_EQ(d.InitLogging(size), 0);
        d.SetLengthTrigger(1);
        EXPECT_EQ(d.DumpLog(dir.file("T.LOG"), true), 0);
        EXPECT_FALSE(std::filesystem::exists(dir.file("T.LOG"))) << size;
    }
    ASSERT_EQ(d.InitLogging(17), 0);   // one header fits
    d.SetLengthTrigger(1);
    d.SetLengthTrigger(2);
    EXPECT_EQ(DumpLogRecords(), std::vector<std::string> {Record("0000.000", "TrDatChg", "Avail", 2)});
}

TEST_F(TraceTest, LogRingDropsTheOldestWholeRecords)
{
    ASSERT_EQ(d.InitLogging(64), 0);
    for (uint32_t value = 1; value <= 4; ++value)   // 16 bytes each: four fill the log exactly
        d.AddLogEntry(LogType::TrDatChg, LogSub::LengthTrigger, 0, nullptr, value);
    EXPECT_EQ(DumpLogRecords().size(), 4u);
    ASSERT_EQ(d.InitLogging(64), 0);
    for (uint32_t value = 1; value <= 5; ++value)
        d.AddLogEntry(LogType::TrDatChg, LogSub::LengthTrigger, 0, nullptr, value);
    d.AddLogEntry(LogType::Dispatch, LogSub::ReadCom, 20, "abcdefghijklmnopqrst", 20);   // drops three for 36
    d.AddLogEntry(LogType::Dispatch, LogSub::ReadCom, 48, std::string(48, 'z').data(), 48);   // never fits
    EXPECT_EQ(DumpLogRecords(), (std::vector<std::string> {
        Record("0000.000", "TrDatChg", "Avail", 5),
        Record("0000.000", "Dispatch", "ReadCom", 20, "abcdefghijklmnopqrst"),
    }));

    // Records that wrap around the ring's end come back whole.
    ASSERT_EQ(d.InitLogging(100), 0);
    for (char c = 'a'; c <= 'k'; ++c)
        d.AddLogEntry(LogType::Dispatch, LogSub::ReadCom, 7, std::string(7, c).data(), uint32_t(c));
    EXPECT_EQ(DumpLogRecords(), (std::vector<std::string> {
        Record("0000.000", "Dispatch", "ReadCom", 'h', "hhhhhhh"),
        Record("0000.000", "Dispatch", "ReadCom", 'i', "iiiiiii"),
        Record("0000.000", "Dispatch", "ReadCom", 'j', "jjjjjjj"),
        Record("0000.000", "Dispatch", "ReadCom", 'k', "kkkkkkk"),
    }));
}

TEST_F(TraceTest, PausedLogRecordsNothingAndAppendAddsAWholeDump)
{
    ASSERT_EQ(d.InitLogging(1000), 0);
    d.SetLengthTrigger(1);
    d.PauseLogging();
    d.SetLengthTrigger(2);
    d.ResumeLogging();
    d.SetLengthTrigger(3);
    ASSERT_EQ(d.DumpLog(dir.file("T.LOG"), true), 0);
    const std::string first = dir.read("T.LOG");
    ASSERT_EQ(d.InitLogging(1000), 0);
    d.SetLengthTrigger(4);
    d.ClearLogging();
    d.SetLengthTrigger(5);
    ASSERT_EQ(d.AppendLog(dir.file("T.LOG"), true), 0);
    const std::string heading = first.substr(0, first.find("0000.000"));
    EXPECT_EQ(dir.read("T.LOG"), first + heading + Record("0000.000", "TrDatChg", "Avail", 5) + "\r\n");
    EXPECT_NE(first.find(Record("0000.000", "TrDatChg", "Avail", 1)), std::string::npos);
    EXPECT_EQ(first.find(Record("0000.000", "TrDatChg", "Avail", 2)), std::string::npos);
    EXPECT_NE(first.find(Record("0000.000", "TrDatChg", "Avail", 3)), std::string::npos);
}
