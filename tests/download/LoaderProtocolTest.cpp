// The loader protocol without its window: a recording view, the loader simulator on a pty as COM3.

#include "EventGap.h"
#include "FakeTtyDriver.h"
#include "FastTicks.h"
#include "LoaderSim.h"
#include "LoaderSimDriver.h"
#include "Pty.h"
#include "Pump.h"
#include "RecordingLoaderView.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "download/LoaderProtocol.h"
#include "download/TRSProtocol.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>

using namespace std::chrono_literals;
using testsupport::LineHold;
using testsupport::LoaderKind;

namespace {

// Resident program at 9600, loader at 19200 answering ">" CR LF.
const std::string Standard = "DefSettings=19200,N,8,1\r\nCRMax=3\r\nCRAnswer=>\\013\\010\r\nErrMsg1=Reader not answering\r\n"
                             "ErrMsg2=Giving up\r\nVerCmd=V\\013\r\nRunCmd=R\\013\r\nRunAnswer=RUN\r\n";
const std::string Connected = "DefSettings=19200,N,8,1\r\nNoConnect=1\r\n";

// True when `wanted` appears in `all` in this order, with anything between.
bool InOrder(const std::vector<std::string> &all, const std::vector<std::string> &wanted)
{
    auto at = all.begin();
    for (const std::string &item : wanted) {
        at = std::find(at, all.end(), item);
        if (at == all.end())
            return false;
        ++at;
    }
    return true;
}

// The log lines that tell of a stalled output.
std::vector<std::string> StallLines(const std::vector<std::string> &log)
{
    static const std::regex stall(R"(Output stalled: the reader holds the line \([1-9][0-9]* bytes not sent\))");
    std::vector<std::string> lines;
    std::copy_if(log.begin(), log.end(), std::back_inserter(lines),
                 [](const std::string &line) { return std::regex_match(line, stall); });
    return lines;
}

} // namespace

class LoaderProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM3", pty.devicePath().c_str(), 1);
        TarselDir = dir.path().string();
        tty.addFarEnd(pty.devicePath(), pty.masterFd());   // bytes the reader has not taken count as queued
        simDriver = std::make_unique<testsupport::LoaderSimDriver>(sim, pty.masterFd());
    }
    void TearDown() override
    {
        loader.reset();
        simDriver.reset();
        TarselDir.clear();
    }
    // The protocol for the device "Reader" with the given keys, on COM3 at the caller's settings.
    TLoaderProtocol &open(const std::string &keys)
    {
        dir.write("TARSEL.INI", "[Devices]\r\nReader=Rdr\r\n[Rdr]\r\n" + keys);
        loader = std::make_unique<TLoaderProtocol>(port, view);
        EXPECT_TRUE(loader->SelectDevice("Reader"));
        EXPECT_FALSE(loader->SelectDevice("Reader"));
        loader->SetPort(3, "9600,N,8,1");
        return *loader;
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    testsupport::FakeTtyDriver tty;
    testsupport::Pty pty;
    testsupport::LoaderSim sim;
    std::unique_ptr<testsupport::LoaderSimDriver> simDriver;
    RecordingLoaderView view;
    TSerCustomComPort port;
    std::unique_ptr<TLoaderProtocol> loader;
};

TEST_F(LoaderProtocolTest, ConnectVersionAndCloseShowEachStepThroughTheView)
{
    sim.setResidentBaud(9600);
    sim.setLoaderBaud(19200);
    TLoaderProtocol &p = open(Standard + "CRTicks=90\r\n");   // one CR, however long a busy machine takes to answer
    p.Connect();
    ASSERT_TRUE(p.Connected);
    EXPECT_EQ(view.events, (std::vector<std::string> {"connecting", "port open", "answered", "connect over"}));
    EXPECT_EQ(view.statuses, (std::vector<std::string> {"CONNECTING...", "CONNECTED!"}));
    EXPECT_EQ(view.log, (std::vector<std::string> {"Trying to enter host mode...", "  TX: \x1B[C", "  RX: \x1BH\r\n",
                                                   "Quitting resident application...", "  TX: \x1B[Q",
                                                   "Setting port to 19200,N,8,1...", "Sending <CR> .", "  RX: >\r\n"}));
    EXPECT_EQ(port.Baud(), 19200);

    p.GetVersion();
    EXPECT_EQ(view.statuses.back(), "CONNECTED - RES V1.00\r\n");   // the window shows it on one line
    EXPECT_EQ(view.events.back(), "version RES V1.00\r\n");

    p.Terminate();
    p.ClosePort();
    EXPECT_EQ(sim.sequence().back(), LoaderKind::Run);
    EXPECT_EQ(view.log.back(), "  RX: RUN");
    EXPECT_EQ(view.events.back(), "port closed");
    EXPECT_FALSE(p.Connected);
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_EQ(port.Baud(), 9600);   // the caller's settings again
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(LoaderProtocolTest, AbortEndsTheConnectBeforeTheLoaderSettings)
{
    sim.setSilent(true);
    TLoaderProtocol &p = open(Standard);
    QTimer::singleShot(0, [&] { p.Abort(); });
    p.Connect();
    EXPECT_FALSE(p.Connected);
    EXPECT_EQ(view.log.back(), "CONNECTION ABORTED!");
    EXPECT_EQ(view.statuses.back(), "NOT CONNECTED");
    EXPECT_EQ(view.events.back(), "connect over");
    EXPECT_EQ(port.Baud(), 9600);
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(LoaderProtocolTest, TheBlockProtocolReportsEachPieceToTheView)
{
    sim.setStartInLoader(true);
    sim.setLoaderBaud(19200);
    TLoaderProtocol &p = open(Connected);
    p.AssumeConnected();
    const std::string file = dir.write("prog.bin", std::string(131072, '\x5A'));
    p.DownloadFile(file);

    EXPECT_EQ(sim.blocks().size(), 7u);
    EXPECT_EQ(sim.count(LoaderKind::End), 1);
    ASSERT_EQ(view.progress.size(), 7u * 16);
    EXPECT_EQ(view.progress.front(), std::make_pair(int64_t(1024), int64_t(131072)));
    EXPECT_EQ(view.progress.back(), std::make_pair(int64_t(131072), int64_t(131072)));
    EXPECT_TRUE(InOrder(view.events, {"running", "progress Downloading prog.bin...", "progress hidden", "idle", "ended"}));
    EXPECT_EQ(view.statuses, (std::vector<std::string> {"DOWNLOADING...", "DOWNLOAD SUCCESSFUL"}));
    EXPECT_EQ(view.log.back(), "  OK: Download completed");
    EXPECT_EQ(AbortHook, nullptr);
}

TEST_F(LoaderProtocolTest, AnOutsideDriverReportsThroughTheViewAndThePortComesBack)
{
    sim.setStartInLoader(true);
    TLoaderProtocol &p = open(Connected + "TRDLL=" + TEST_DRIVER + "\r\nTRCall=TestDownload\r\n");
    p.AssumeConnected();
    p.DownloadFile(dir.write("prog.bin", "image"));

    const std::vector<std::pair<int64_t, int64_t>> steps {{1000, 4000}, {2000, 4000}, {3000, 4000}, {4000, 4000}};
    EXPECT_EQ(view.progress, steps);
    EXPECT_TRUE(InOrder(view.events, {"port closed", "progress Downloading prog.bin...", "progress hidden",
                                      "port open", "ended"}));
    EXPECT_EQ(view.log.back(), "  OK: Download completed");
    EXPECT_TRUE(p.Connected);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.Baud(), 19200);
}

TEST_F(LoaderProtocolTest, ALostDeviceIsShownAndEndsTheConnection)
{
    TLoaderProtocol &p = open(Connected);
    p.AssumeConnected();
    simDriver.reset();
    pty.closeMaster();
    ASSERT_TRUE(PumpUntil([&] { return !view.events.empty() && view.events.back() == "lost"; }, 5s));
    EXPECT_FALSE(p.Connected);
    EXPECT_EQ(view.statuses.back(), "DEVICE LOST!");
    EXPECT_EQ(view.log.back(), "Device lost: COM3, " + pty.devicePath());
}

class HeldLineTest : public LoaderProtocolTest, public ::testing::WithParamInterface<LineHold> {};

TEST_P(HeldLineTest, AHeldLineEndsTheTransferWithItsReason)
{
    sim.setStartInLoader(true);
    sim.setHoldAt(1 + 3 * 16384 + 5000, GetParam());   // in block 4, after blocks 0 to 2
    TLoaderProtocol &p = open(Connected);
    p.AssumeConnected();
    p.DownloadFile(dir.write("prog.bin", std::string(131072, '\x5A')));

    EXPECT_EQ(StallLines(view.log).size(), 1u);
    EXPECT_EQ(view.log.back(), "  ERR: 4.Download failed");
    EXPECT_EQ(view.statuses.back(), "DOWNLOAD FAILED - LINE HELD!");
    EXPECT_EQ(sim.blocks().size(), 3u);
    EXPECT_EQ(sim.count(LoaderKind::Abandon) + sim.count(LoaderKind::End), 0);
    EXPECT_TRUE(InOrder(view.events, {"running", "progress hidden", "idle", "ended"}));
    EXPECT_EQ(AbortHook, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldLineTest, ::testing::Values(LineHold::Xoff, LineHold::Cts),
                         [](const ::testing::TestParamInfo<LineHold> &info) {
                             return info.param == LineHold::Xoff ? "Xoff" : "Cts";
                         });

TEST_F(LoaderProtocolTest, AbortOnAHeldLineEndsTheTransferWithoutWaitingForTheStallAndTheNextConnectNamesIt)
{
    sim.setStartInLoader(true);
    sim.setHoldAt(20000, LineHold::Xoff);
    TLoaderProtocol &p = open(Connected);
    p.AssumeConnected();
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (sim.acceptable() == 0 && AbortHook) {
            AbortHook();   // the progress window's Abort
            press.stop();
        }
    });
    press.start(2);
    p.DownloadFile(dir.write("prog.bin", std::string(131072, '\x5A')));

    EXPECT_FALSE(press.isActive());
    EXPECT_TRUE(StallLines(view.log).empty());
    EXPECT_EQ(view.log.back(), "  ERR: 5.Aborted by user");
    EXPECT_EQ(view.statuses.back(), "DOWNLOAD FAILED!");
    EXPECT_EQ(sim.blocks().size(), 1u);
    EXPECT_EQ(sim.count(LoaderKind::Abandon), 0);   // the abandon could not get through either
    EXPECT_FALSE(DownloadAborted);

    // Connect while the reader still holds the line: neither the output left from the download nor the rate
    // changes keep the thread from its events.
    testsupport::EventGap gap;
    gap.start();
    FastTicks fast(8);
    p.Connect();
    EXPECT_LT(gap.longest(), 100ms);
    EXPECT_EQ(StallLines(view.log).size(), 1u);
    EXPECT_EQ(view.statuses.back(), "NOT CONNECTED - LINE HELD!");
}

TEST_F(LoaderProtocolTest, AHeldLineDuringTheConnectLeavesItNotConnected)
{
    sim.setHoldAt(0, LineHold::Cts);   // takes nothing at all
    TLoaderProtocol &p = open(Standard);
    p.SetPort(3, "1200,N,8,1");   // slow lines wait for each command to leave
    p.Connect();

    EXPECT_FALSE(p.Connected);
    EXPECT_EQ(StallLines(view.log), std::vector<std::string> {"Output stalled: the reader holds the line (3 bytes not sent)"});
    EXPECT_EQ(view.log.back(), "CONNECTION FAILED!");
    EXPECT_EQ(view.statuses.back(), "NOT CONNECTED - LINE HELD!");
    EXPECT_EQ(view.events.back(), "connect over");
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(LoaderProtocolTest, APortThatCannotBeOpenedIsShownAndTheConnectIsOver)
{
    unsetenv("SERIAL_COM3");
    TLoaderProtocol &p = open(Standard);
    EXPECT_THROW(p.Connect(), std::exception);
    EXPECT_EQ(view.statuses, (std::vector<std::string> {"CONNECTING...", "UNABLE TO OPEN COM3!"}));
    EXPECT_EQ(view.events, (std::vector<std::string> {"connecting", "connect over"}));
    EXPECT_FALSE(p.Connected);
}
