// The port component's Tracing and Logging on a pty, with their files written to a temporary current folder.

#include "serial/SerExcept.h"

#include "PtyPortTest.h"
#include "Pump.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace std::chrono_literals;

namespace {

struct TracePortTest : PtyPortTest {
    testsupport::TempDir dir;
    testsupport::ScopedCwd cwd {dir.path()};

    void TearDown() override
    {
        port.SetOpen(false);   // while the temporary folder is still current
        PtyPortTest::TearDown();
    }
};

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

} // namespace

TEST_F(TracePortTest, TracingOnAnOpenPortRecordsAndDumpWritesTheTraceFile)
{
    port.SetOpen(true);
    port.SetTracing(TTraceLogState::tlOn);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOn);
    pty.write("A");
    ASSERT_TRUE(PumpUntil([&] { return port.CharReady(); }, 2s));
    EXPECT_EQ(port.GetChar(), 'A');
    port.PutString("B\x01");
    port.SetTracing(TTraceLogState::tlDump);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    EXPECT_EQ(dir.read("SERIAL.TRC"), "Receive: \r\nA\r\n\r\nTransmit: \r\nB[01]\r\n");
}

TEST_F(TracePortTest, StatesOfTracingOnAnOpenPort)
{
    port.SetTraceHex(false);
    dir.write("SERIAL.TRC", "old\r\n");
    port.SetOpen(true);
    port.SetTracing(TTraceLogState::tlPause);   // nothing runs: nothing to pause or clear
    port.SetTracing(TTraceLogState::tlClear);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);

    port.SetTracing(TTraceLogState::tlOn);
    port.PutString("a");
    port.SetTracing(TTraceLogState::tlPause);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlPause);
    port.PutString("b");
    port.SetTracing(TTraceLogState::tlOn);
    port.PutString("c\x01");
    port.SetTracing(TTraceLogState::tlAppend);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    EXPECT_EQ(dir.read("SERIAL.TRC"), "old\r\nTransmit: \r\nac[1]\r\n");

    port.SetTracing(TTraceLogState::tlOn);
    port.PutString("d");
    port.SetTracing(TTraceLogState::tlClear);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOn);
    port.PutString("e");
    port.SetTraceSize(50);   // a running trace starts again, empty
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOn);
    port.PutString("f");
    port.SetTracing(TTraceLogState::tlDump);
    EXPECT_EQ(dir.read("SERIAL.TRC"), "Transmit: \r\nf\r\n");

    port.SetTracing(TTraceLogState::tlOn);
    port.SetTracing(TTraceLogState::tlPause);
    port.SetTraceSize(60);   // a paused trace ends
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    port.SetTracing(TTraceLogState::tlOn);
    port.PutString("g");
    port.SetTracing(TTraceLogState::tlOff);   // ends without a file
    EXPECT_EQ(dir.read("SERIAL.TRC"), "Transmit: \r\nf\r\n");
}

TEST_F(TracePortTest, OperationsSetTheStateAndRefuseAnOversizedTrace)
{
    port.SetOpen(true);
    port.InitTracing(3);
    EXPECT_EQ(port.TraceSize(), 3u);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOn);
    port.PutString("12345");
    port.PauseTracing();
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlPause);
    port.ResumeTracing();
    port.ClearTracing();
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOn);
    port.PutString("xy");
    port.AppendTrace("OPS.TRC", true);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    EXPECT_EQ(dir.read("OPS.TRC"), "Transmit: \r\nxy\r\n");

    EXPECT_THROW(port.InitTracing(MaxTraceEntries + 1), EBadArgument);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);

    port.InitLogging(0);   // keeps LogSize
    EXPECT_EQ(port.LogSize(), 10000u);
    EXPECT_EQ(port.Logging(), TTraceLogState::tlOn);
    port.AbortLogging();
    EXPECT_EQ(port.Logging(), TTraceLogState::tlOff);
    port.DumpLog("OPS.LOG", true);
    EXPECT_FALSE(std::filesystem::exists(dir.file("OPS.LOG")));
}

TEST_F(TracePortTest, ClosingAPortDumpsItsTraceAndLog)
{
    port.SetTracing(TTraceLogState::tlOn);
    port.SetLogging(TTraceLogState::tlOn);
    port.SetOpen(true);
    port.PutString("xyz");
    port.SetOpen(false);
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    EXPECT_EQ(port.Logging(), TTraceLogState::tlOff);
    EXPECT_EQ(dir.read("SERIAL.TRC"), "Transmit: \r\nxyz\r\n");
    EXPECT_NE(dir.read("SERIAL.LOG").find("WriteCom      00000003  xyz\r\n"), std::string::npos);
}

TEST_F(TracePortTest, ChangingThePortNumberKeepsTracingOn)
{
    testsupport::Pty other;
    setenv("SERIAL_COM6", other.devicePath().c_str(), 1);
    port.SetOpen(true);
    port.SetTracing(TTraceLogState::tlOn);
    port.PutString("1");
    port.SetComNumber(6);   // the close dumps what was traced on COM5
    EXPECT_EQ(dir.read("SERIAL.TRC"), "Transmit: \r\n1\r\n");
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOn);
    port.PutString("2");
    port.SetTracing(TTraceLogState::tlDump);
    EXPECT_EQ(dir.read("SERIAL.TRC"), "Transmit: \r\n2\r\n");
}

TEST_F(TracePortTest, AFailedDumpStillClosesThePort)
{
    port.SetTraceName("missing/dir/SERIAL.TRC");
    port.SetOpen(true);
    port.SetTracing(TTraceLogState::tlOn);
    port.SetLogging(TTraceLogState::tlOn);
    port.PutString("x");
    try {
        port.SetOpen(false);
        ADD_FAILURE() << "the failed dump was not reported";
    } catch (const EInOutError &e) {
        EXPECT_EQ(e.ErrorCode(), 2);
    }
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    EXPECT_TRUE(std::filesystem::exists(dir.file("SERIAL.LOG"))) << "the log is written all the same";
    port.SetOpen(true);   // and the port works again
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
}

TEST_F(TracePortTest, LogOfAPtySessionLineByLine)
{
    std::string got;
    uint16_t fired = 0;
    port.SetOnTriggerAvail([&](TSerCustomComPort &p, uint16_t count) {
        for (uint16_t i = 0; i < count; ++i)
            got += p.GetChar();
    });
    port.SetOnTriggerTimer([&](TSerCustomComPort &, uint16_t handle) { fired = handle; });
    port.SetLogging(TTraceLogState::tlOn);
    port.SetTracing(TTraceLogState::tlOn);
    port.SetOpen(true);
    pty.write("Z");
    ASSERT_TRUE(PumpUntil([&] { return got == "Z"; }, 2s));
    port.PutString("OK");
    ASSERT_EQ(pty.read(2s, 2), "OK");
    const int32_t timer = port.AddTimerTrigger();
    port.SetTimerTrigger(timer, 1, true);
    ASSERT_TRUE(PumpUntil([&] { return fired == timer; }, 2s));
    port.SetTimerTrigger(timer, 0, false);
    port.RemoveTrigger(timer);
    port.SetOpen(false);

    EXPECT_EQ(dir.read("SERIAL.TRC"), "Receive: \r\nZ\r\n\r\nTransmit: \r\nOK\r\n");   // read in the handler
    const std::vector<std::string> lines = Lines(dir.read("SERIAL.LOG"));
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[0], "SERIAL v2.58");
    EXPECT_EQ(lines[1].rfind("Compiler : GCC ", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Operating System : Linux ", 0), 0u);
    EXPECT_EQ(lines[3], "Time      Type      SubType       Data      OtherData");
    EXPECT_EQ(lines[4], "--------  --------  ------------  --------  ---------");

    struct Expected {
        const char *type;
        const char *subType;
        const char *value;   // empty: any window
        const char *data;
    };
    const Expected expected[] = {
        {"TrDatChg", "Avail", "00000001", ""},   // the length trigger set at the open
        {"TrgHdAlc", "Window", "", ""},
        {"Dispatch", "ReadCom", "00000001", "Z"},
        {"Trigger", "Avail", "00000001", ""},
        {"Dispatch", "WriteCom", "00000002", "OK"},
        {"TrigAllc", "Timer", "00000008", ""},
        {"TrDatChg", "Timer", "00000008", "[01][00][00][00]"},
        {"Trigger", "Timer", "00000008", ""},
        {"TrDatChg", "Timer", "00000008", "Deactivated"},
        {"TrigDisp", "Timer", "00000008", ""},
    };
    ASSERT_EQ(lines.size(), 5 + std::size(expected));
    const std::regex record(R"((\d{4}\.\d{3})  (.{8})  (.{12})  ([0-9a-f]{8})  (.*))");
    std::string lastTime;
    for (size_t i = 0; i < std::size(expected); ++i) {
        const std::string &line = lines[5 + i];
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, record)) << line;
        EXPECT_GE(m[1].str(), lastTime) << line;
        lastTime = m[1];
        EXPECT_EQ(m[2].str(), (std::string(expected[i].type) + "        ").substr(0, 8)) << line;
        EXPECT_EQ(m[3].str(), (std::string(expected[i].subType) + "            ").substr(0, 12)) << line;
        if (*expected[i].value) {
            EXPECT_EQ(m[4].str(), expected[i].value) << line;
        }
        EXPECT_EQ(m[5].str(), expected[i].data) << line;
    }
}
