#include "serial/SerErrno.h"
#include "serial/SerExcept.h"
#include "serial/SerPort.h"
#include "serial/SerPortMap.h"
#include "serial/SerWindow.h"

#include "FakeTtyDriver.h"
#include "PtyPortTest.h"
#include "ScriptedUi.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <tuple>

using namespace std::chrono_literals;

namespace {

std::string Stty(const std::string &path)
{
    std::string out;
    if (FILE *p = popen(("stty -F " + path + " 2>&1").c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

template <class E>
E RaisedBy(auto &&body)
{
    try {
        body();
    } catch (const E &e) {
        return e;
    }
    throw std::logic_error("expected exception not raised");
}

struct PortTest : PtyPortTest {
    void WriteLater(std::vector<std::string> parts, std::chrono::milliseconds gap)
    {
        writer = std::thread([this, parts, gap] {
            for (const std::string &part : parts) {
                std::this_thread::sleep_for(gap);
                pty.write(part);
            }
        });
    }
    std::thread writer;
    ~PortTest() override
    {
        if (writer.joinable())
            writer.join();
    }
};

} // namespace

TEST(PortProperties, DefaultsOfANewPort)
{
    TSerCustomComPort port;
    EXPECT_EQ(port.DeviceLayer(), TDeviceLayer::dlWin32);
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_EQ(port.Baud(), 19200);
    EXPECT_TRUE(port.PromptForPort());
    EXPECT_EQ(port.Parity(), TParity::pNone);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(port.StopBits(), 1);
    EXPECT_EQ(port.InSize(), 4096);
    EXPECT_EQ(port.OutSize(), 4096);
    EXPECT_TRUE(port.AutoOpen());
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(port.DTR());
    EXPECT_TRUE(port.RTS());
    EXPECT_EQ(port.HWFlowOptions(), 0);
    EXPECT_EQ(port.SWFlowOptions(), TSWFlowOptions::swfNone);
    EXPECT_EQ(port.XOnChar(), 17);
    EXPECT_EQ(port.XOffChar(), 19);
    EXPECT_EQ(port.TraceName(), "SERIAL.TRC");
    EXPECT_EQ(port.LogName(), "SERIAL.LOG");
    EXPECT_EQ(port.TraceSize(), 10000u);
    EXPECT_TRUE(port.UseEventWord());
    EXPECT_EQ(port.CommNotificationLevel(), 10);
    EXPECT_EQ(port.TapiMode(), TTapiMode::tmAuto);
    EXPECT_FALSE(port.RS485Mode());
    EXPECT_EQ(port.TriggerLength(), 1);
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_EQ(port.LibVersion(), "v2.58");
}

TEST(PortProperties, FlowLimitsFollowTheOptions)
{
    TSerCustomComPort port;
    port.SetBufferFull(5000);
    EXPECT_EQ(port.BufferFull(), 4500);   // no flow option: kept as cut
    port.SetHWFlowOptions(THWFlowOption::hwfRequireCTS);
    EXPECT_EQ(port.BufferFull(), 3686);
    EXPECT_EQ(port.BufferResume(), 409);

    TSerCustomComPort rts;
    rts.SetHWFlowOptions(THWFlowOption::hwfUseRTS);
    EXPECT_EQ(rts.BufferFull(), 3686);
    EXPECT_EQ(rts.BufferResume(), 409);

    TSerCustomComPort sw;
    sw.SetSWFlowOptions(TSWFlowOptions::swfBoth);
    EXPECT_EQ(sw.BufferFull(), 3072);
    EXPECT_EQ(sw.BufferResume(), 1024);
}

TEST(PortProperties, Rs485ModeAndRtsFlowExcludeEachOther)
{
    TSerCustomComPort port;
    port.SetHWFlowOptions(THWFlowOption::hwfUseRTS | THWFlowOption::hwfRequireCTS | THWFlowOption::hwfUseDTR);
    port.SetRS485Mode(true);
    EXPECT_EQ(port.HWFlowOptions(), THWFlowOption::hwfUseDTR);
    EXPECT_FALSE(port.RTS());
    port.SetHWFlowOptions(THWFlowOption::hwfRequireCTS);
    EXPECT_FALSE(port.RS485Mode());
}

TEST(PortProperties, TraceStatesAndSizesOnAClosedPort)
{
    TSerCustomComPort port;
    port.SetTracing(TTraceLogState::tlDump);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    port.SetLogging(TTraceLogState::tlOn);
    EXPECT_EQ(port.Logging(), TTraceLogState::tlOn);
    port.SetTraceSize(5000000);
    EXPECT_EQ(port.TraceSize(), 4000000u);
    port.SetLogSize(20000000);
    EXPECT_EQ(port.LogSize(), 16000000u);
}

TEST_F(PortTest, OpenWithoutAPortNumberRaisesBeforeAnyDispatcherExists)
{
    port.SetComNumber(0);
    port.SetPromptForPort(false);
    const size_t before = TSerBaseDispatcher::DispatcherListSize();
    const auto e = RaisedBy<ENoPortSelected>([&] { port.SetOpen(true); });
    EXPECT_EQ(e.ErrorCode(), -2011);
    EXPECT_STREQ(e.what(), "The ComNumber property of the TSerComPort has not been set");
    EXPECT_EQ(TSerBaseDispatcher::DispatcherListSize(), before);
    port.SetPromptForPort(true);   // no dialog in the core: nothing can be chosen
    EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
}

TEST_F(PortTest, FailedOpensLeaveThePortClosed)
{
    setenv("SERIAL_COM6", "/nonexistent/tty", 1);
    port.SetComNumber(6);
    const auto missing = RaisedBy<EBadId>([&] { port.SetOpen(true); });
    EXPECT_STREQ(missing.what(), "ie_BadId - Specified comport doesn't exist: COM6, /nonexistent/tty");
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_THROW(port.CharReady(), ECommNotOpen);   // a clean error, no crash
    EXPECT_EQ(port.InBuffUsed(), 0u);

    const int holder = open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    port.SetComNumber(5);
    const auto busy = RaisedBy<EAlreadyOpen>([&] { port.SetOpen(true); });
    EXPECT_EQ(busy.what(), "ie_Open - device already open: COM5, " + pty.devicePath());
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    close(holder);

    port.SetComNumber(7);   // no device at all
    EXPECT_STREQ(RaisedBy<EBadId>([&] { port.SetOpen(true); }).what(),
                 "ie_BadId - Specified comport doesn't exist: COM7 names no device");
    port.SetComNumber(5);

    port.SetTapiMode(TTapiMode::tmOn);
    EXPECT_THROW(port.SetOpen(true), ENotOpenedByTapi);
    port.SetTapiMode(TTapiMode::tmAuto);
    port.SetOpen(true);
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
}

TEST_F(PortTest, SettingsAreAppliedAtOnceWhileOpen)
{
    port.SetBaud(9600);
    port.SetParity(TParity::pEven);
    port.SetDataBits(7);
    port.SetOpen(true);
    EXPECT_NE(Stty(pty.devicePath()).find("speed 9600 baud"), std::string::npos);
    port.SetBaud(38400);
    EXPECT_NE(Stty(pty.devicePath()).find("speed 38400 baud"), std::string::npos);
    port.SetStopBits(2);
    EXPECT_NE(Stty(pty.devicePath() + " -a").find(" cstopb"), std::string::npos);
    int32_t baud;
    TParity parity;
    uint16_t data, stop;
    port.GetLine(baud, parity, data, stop);
    EXPECT_EQ(baud, 38400);
    EXPECT_EQ(parity, TParity::pEven);
    EXPECT_EQ(data, 7);
    EXPECT_EQ(stop, 2);
}

TEST_F(PortTest, StringSentAndCharactersReceived)
{
    port.SetOpen(true);
    port.PutString("ABC");
    port.PutChar('D');
    EXPECT_EQ(pty.read(2s, 4), "ABCD");
    EXPECT_TRUE(PumpUntil([&] { return port.OutBuffUsed() == 0; }, 1s));
    pty.write("xy");
    ASSERT_TRUE(PumpUntil([&] { return port.InBuffUsed() == 2; }, 1s));
    EXPECT_TRUE(port.CharReady());
    EXPECT_EQ(port.GetChar(), 'x');
    port.FlushInBuffer();
    EXPECT_FALSE(port.CharReady());
    EXPECT_THROW(port.GetChar(), EBufferIsEmpty);
}

TEST_F(PortTest, WaitForStringFindsASplitReplyAndReportsEachByte)
{
    port.SetOpen(true);
    std::string seen;
    port.SetOnWaitChar([&](TSerCustomComPort &, char c) { seen += c; });
    WriteLater({"xx\x1b", "[", "C"}, 60ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.WaitForString("\x1b[c", 18, true, true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
    EXPECT_EQ(seen, "xx\x1b[C");   // as received, before case folding
}

TEST_F(PortTest, WaitForStringTimesOutAfterItsTicks)
{
    port.SetOpen(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.WaitForString("OK", 9, true, false));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 440ms);
    EXPECT_LT(elapsed, 700ms);
    EXPECT_TRUE(port.WaitForString("", 9, true, false));
}

TEST_F(PortTest, WaitForStringRestartsOnlyAtTheFirstCharacter)
{
    port.SetOpen(true);
    pty.write("aab");
    EXPECT_TRUE(port.WaitForString("ab", 18, true, false));
    pty.write("aaab");
    EXPECT_FALSE(port.WaitForString("aab", 4, true, false));
    pty.write("OK");
    EXPECT_FALSE(port.WaitForString("ok", 4, true, false));   // case counts unless ignored
}

namespace {
int64_t steppingMs = 0;
int64_t SteppingClock()
{
    return steppingMs += 30;   // every look at the clock costs 30 ms
}
} // namespace

TEST_F(PortTest, MatchInTheLastTickCountsAsFound)
{
    port.SetOpen(true);
    pty.write("OK");
    ASSERT_TRUE(PumpUntil([&] { return port.InBuffUsed() == 2; }, 1s));
    steppingMs = 0;
    SetSerMsClock(&SteppingClock);
    const bool found = port.WaitForString("OK", 1, true, false);
    SetSerMsClock(nullptr);
    EXPECT_TRUE(found);
}

TEST_F(PortTest, WaitForStringOnAClosedPortRaisesCleanly)
{
    EXPECT_THROW(port.WaitForString("OK", 1, true, false), ECommNotOpen);
}

TEST_F(PortTest, ExceptionInsideTheWaitLeavesDispatchingOn)
{
    port.SetOpen(true);
    port.SetOnWaitChar([](TSerCustomComPort &, char) { throw std::runtime_error("handler failed"); });
    pty.write("z");
    EXPECT_THROW(port.WaitForString("OK", 18, true, false), std::runtime_error);
    port.SetOnWaitChar(nullptr);
    int avails = 0;
    port.SetOnTriggerAvail([&](TSerCustomComPort &p, uint16_t count) {
        ++avails;
        for (uint16_t i = 0; i < count; ++i)
            p.GetChar();
    });
    pty.write("more");
    EXPECT_TRUE(PumpUntil([&] { return avails > 0; }, 2s));
}

TEST_F(PortTest, CloseInsideADataHandlerIsDeferredAndCompletes)
{
    port.SetOpen(true);
    TPortState during = TPortState::PortOpen;
    port.SetOnTriggerAvail([&](TSerCustomComPort &p, uint16_t) {
        p.SetOpen(false);
        during = p.PortState();
    });
    pty.write("A");
    ASSERT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_EQ(during, TPortState::PortShuttingDown);
    EXPECT_FALSE(port.Open());
}

TEST_F(PortTest, ReopenAskedForDuringADeferredCloseFollowsIt)
{
    port.SetOpen(true);
    const int32_t timer = port.AddTimerTrigger();
    int opened = 0;
    port.SetOnPortOpened([&](TSerCustomComPort &) { ++opened; });
    port.SetOnTriggerAvail([&](TSerCustomComPort &p, uint16_t) {
        p.SetOnTriggerAvail(nullptr);
        p.SetOpen(false);
        p.SetOpen(true);
    });
    pty.write("A");
    ASSERT_TRUE(PumpUntil([&] { return opened == 1; }, 2s));
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
    EXPECT_NO_THROW(port.SetTimerTrigger(timer, 1, true));   // kept across the close

    // A second close while the first is under way cancels the reopen.
    port.SetOnTriggerAvail([&](TSerCustomComPort &p, uint16_t) {
        p.SetOnTriggerAvail(nullptr);
        p.SetOpen(false);
        p.SetOpen(true);
        p.SetOpen(false);
    });
    pty.write("B");
    ASSERT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    PumpFor(100ms);
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_EQ(opened, 1);
}

TEST_F(PortTest, FreeingAPortDuringADeferredCloseIsSafe)
{
    auto owned = std::make_unique<TSerCustomComPort>();
    owned->SetComNumber(5);
    owned->SetOpen(true);
    owned->SetOnTriggerAvail([](TSerCustomComPort &p, uint16_t) { p.SetOpen(false); });
    const size_t listSize = TSerBaseDispatcher::DispatcherListSize();
    pty.write("A");
    ASSERT_TRUE(PumpUntil([&] { return owned->PortState() == TPortState::PortShuttingDown; }, 2s));
    owned.reset();
    PumpFor(100ms);
    EXPECT_LT(TSerBaseDispatcher::DispatcherListSize(), listSize + 1);
    EXPECT_NO_THROW(port.SetOpen(true));   // the device was released
}

TEST_F(PortTest, PortUsersAreToldAboutOpenAndClose)
{
    std::vector<std::string> calls;
    const int key = 0;
    port.RegisterUserCallback(&key, [&](TSerCustomComPort &, bool opening) {
        calls.push_back(opening ? "opened" : "closing");
    });
    struct Listener : QObject {
        std::vector<int> messages;
        void customEvent(QEvent *e) override { messages.push_back(int(e->type())); }
    } listener;
    port.RegisterUserWindow(&listener);
    port.SetOpen(true);
    port.SetOpen(false);
    EXPECT_EQ(calls, (std::vector<std::string> {"opened", "closing"}));
    EXPECT_EQ(listener.messages, (std::vector<int> {0x7E08, 0x7E09}));
    port.DeregisterUserCallback(&key);
    port.DeregisterUserWindow(&listener);
    port.SetOpen(true);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(PortTest, TriggerEventsReachTheirHandlers)
{
    port.SetOpen(true);
    std::vector<uint16_t> general;
    int timers = 0, sent = 0;
    port.SetOnTrigger([&](TSerCustomComPort &, uint16_t msg, uint16_t, uint16_t) { general.push_back(msg); });
    port.SetOnTriggerTimer([&](TSerCustomComPort &, uint16_t) { ++timers; });
    port.SetOnTriggerOutSent([&](TSerCustomComPort &) { ++sent; });
    const int32_t timer = port.AddTimerTrigger();
    port.SetTimerTrigger(timer, 1, true);
    const int32_t status = port.AddStatusTrigger(StatusKind::OutSent);
    port.SetStatusTrigger(status, 0, true);
    port.PutString("x");
    ASSERT_TRUE(PumpUntil([&] { return timers == 1 && sent == 1; }, 2s));
    EXPECT_NE(std::find(general.begin(), general.end(), 0x7E03), general.end());
    EXPECT_NE(std::find(general.begin(), general.end(), 0x7E04), general.end());
    EXPECT_THROW(port.SetTimerTrigger(status, 1, true), EBadTriggerHandle);
    EXPECT_THROW(port.AddStatusTrigger(7), EBadArgument);
}

TEST_F(PortTest, ChangingThePortNumberWhileOpenKeepsTheTriggers)
{
    testsupport::Pty other;
    setenv("SERIAL_COM6", other.devicePath().c_str(), 1);
    port.SetOpen(true);
    const int32_t timer = port.AddTimerTrigger();
    // A user that adds a trigger of its own at every open.
    const int key = 0;
    int32_t userTimer = 0;
    port.RegisterUserCallback(&key, [&](TSerCustomComPort &p, bool opening) {
        if (opening)
            userTimer = p.AddTimerTrigger();
        else if (userTimer != 0)
            p.RemoveTrigger(std::exchange(userTimer, 0));
    });
    port.SetComNumber(6);
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
    EXPECT_NO_THROW(port.SetTimerTrigger(timer, 1, true));
    EXPECT_NO_THROW(port.SetTimerTrigger(userTimer, 1, true));
    EXPECT_NE(userTimer, timer);
    port.DeregisterUserCallback(&key);
    port.PutString("on six");
    EXPECT_EQ(other.read(2s, 6), "on six");
}

TEST_F(PortTest, ATimerWhoseMessageACloseCancelledFiresAfterTheReopen)
{
    port.SetOpen(true);
    int fired = 0;
    port.SetOnTriggerTimer([&](TSerCustomComPort &, uint16_t) { ++fired; });
    port.SetTimerTrigger(port.AddTimerTrigger(), -1, true);
    // The GUI thread does not look at its events until the close: the timer's message is still queued then.
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (!port.Dispatcher()->Dispatching() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(port.Dispatcher()->Dispatching());
    port.SetOpen(false);
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    port.SetOpen(true);
    EXPECT_TRUE(PumpUntil([&] { return fired == 1; }, 2s));
}

TEST_F(PortTest, QuitRequestEndsAStringWaitAsFound)
{
    port.SetOpen(true);
    QTimer::singleShot(50, [] { RequestQuit(); });
    EXPECT_TRUE(port.WaitForString("never", 100, true, false));
    ClearQuitRequest();
}

TEST_F(PortTest, CloseDuringAStringWaitIsDeferredAndEndsTheWait)
{
    port.SetOpen(true);
    QTimer::singleShot(50, [&] { port.SetOpen(false); });
    EXPECT_FALSE(port.WaitForString("never", 36, true, false));
    ASSERT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_NO_THROW(port.SetOpen(true));
}

TEST_F(PortTest, BytesAreReadOnceWhenNoTriggerEventIsAssigned)
{
    port.SetOpen(true);
    pty.write("abc");
    ASSERT_TRUE(PumpUntil([&] { return port.InBuffUsed() == 3; }, 2s));
    std::string got;
    while (port.CharReady())
        got += port.GetChar();
    PumpFor(200ms);
    EXPECT_EQ(got, "abc");
    EXPECT_FALSE(port.CharReady());
}

TEST_F(PortTest, HandlerExceptionsGoToTheErrorReportAndDeliveryGoesOn)
{
    testsupport::ScriptedUi ui;
    port.SetOpen(true);
    std::string read;
    port.SetOnTriggerAvail([&](TSerCustomComPort &p, uint16_t count) {
        for (uint16_t i = 0; i < count; ++i)
            read += p.GetChar();
        if (read == "1")
            throw std::runtime_error("handler failed");
    });
    pty.write("1");
    ASSERT_TRUE(PumpUntil([&] { return ui.warnings().size() == 1; }, 2s));
    EXPECT_EQ(ui.warnings()[0], "handler failed");
    pty.write("2");
    ASSERT_TRUE(PumpUntil([&] { return read == "12"; }, 2s));
    port.SetOpen(false);   // deferred while the dispatcher thread still ends its delivery
    EXPECT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
}

TEST_F(PortTest, TriggersAcrossACloseKeepDistinctHandlesAndUsersCanRemoveTheirsWhenToldOfTheClose)
{
    port.SetOpen(true);
    const int32_t kept = port.AddTimerTrigger();
    const int32_t dropped = port.AddStatusTrigger(StatusKind::OutSent);
    const int key = 0;
    port.RegisterUserCallback(&key, [&](TSerCustomComPort &p, bool opening) {
        if (!opening)
            p.RemoveTrigger(dropped);
    });
    port.SetOpen(false);
    port.DeregisterUserCallback(&key);
    port.SetOpen(true);
    EXPECT_THROW(port.SetStatusTrigger(dropped, 0, true), EBadTriggerHandle);
    const int32_t added = port.AddTimerTrigger();
    EXPECT_NE(added, kept);
    port.RemoveTrigger(added);
    EXPECT_NO_THROW(port.SetTimerTrigger(kept, 1, true));
}

TEST_F(PortTest, FreeNotificationsComeOnceWhileThePortStillWorks)
{
    auto owned = std::make_unique<TSerCustomComPort>();
    owned->SetComNumber(5);
    owned->SetOpen(true);
    std::vector<TPortState> told;
    const int key = 0, gone = 0;
    owned->RegisterFreeNotification(&key, [&](TSerCustomComPort &p) { told.push_back(p.PortState()); });
    owned->RegisterFreeNotification(&gone, [&](TSerCustomComPort &) { told.push_back(TPortState::PortClosed); });
    owned->DeregisterFreeNotification(&gone);
    owned.reset();
    EXPECT_EQ(told, std::vector<TPortState> {TPortState::PortOpen});
}

TEST_F(PortTest, ALostDeviceClosesThePortAndTheNextCallSaysSo)
{
    port.SetAutoOpen(true);   // a lost device is not opened again behind the caller's back
    port.SetOpen(true);
    std::vector<std::string> told;
    port.RegisterUserCallback(this, [&](TSerCustomComPort &p, bool opening) {
        told.push_back((opening ? "open " : "close ") + p.LostDevice());
    });
    const std::string name = "COM5, " + pty.devicePath();
    pty.closeMaster();
    ASSERT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_EQ(told, std::vector<std::string> {"close " + name});
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.LostDevice(), name);
    EXPECT_EQ(port.OutBuffUsed(), 0u);
    for (int i = 0; i < 2; ++i) {
        const auto lost = RaisedBy<ECommNotOpen>([&] { port.PutString("x"); });
        EXPECT_EQ(lost.what(), "ie_NOpen - device not open: " + name + " was lost (it hung up or was unplugged)");
    }
    EXPECT_THROW(port.WaitForString("x", 1, true, false), ECommNotOpen);
}

TEST_F(PortTest, ALostDeviceEndsAStringWaitAtOnce)
{
    port.SetOpen(true);
    QTimer::singleShot(100, [this] { pty.closeMaster(); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.WaitForString("never", 180, true, false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_NE(port.PortState(), TPortState::PortOpen);
    ASSERT_TRUE(PumpUntil([&] { return port.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_THROW(port.GetChar(), ECommNotOpen);
}

TEST_F(PortTest, ALineSettingTheDeviceCannotTakeIsRefusedNamingItAndThePortStaysAsItWas)
{
    testsupport::FakeTtyDriver driver;
    driver.add(pty.devicePath(), testsupport::FakeTtyDriver::Kind::UsbSerial);
    driver.keepRate(250000, 230400);
    port.SetBaud(250000);
    const auto atOpen = RaisedBy<EBaudRate>([&] { port.SetOpen(true); });
    EXPECT_EQ(atOpen.what(), "ie_Baudrate - unsupported baud rate: COM5, " + pty.devicePath());
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    port.SetBaud(9600);
    port.SetParity(TParity::pEven);
    port.SetOpen(true);
    struct Case {
        std::function<void()> set;
        int32_t code;
        std::string text;
    };
    const std::string device = "COM5, " + pty.devicePath() + " cannot take ";
    const Case cases[] = {
        {[&] { port.SetBaud(250000); }, -2002, "ie_Baudrate - unsupported baud rate: " + device + "250000,E81"},
        {[&] { port.SetParity(TParity::pMark); }, -2004, "ie_Default - error in default parameters: " + device + "9600,M81"},
        {[&] { port.SetDataBits(5); }, -2003, "ie_Bytesize - invalid byte size: " + device + "9600,E51"},
    };
    using Line = std::tuple<int32_t, TParity, uint16_t, uint16_t>;
    const auto running = [&] {
        Line line;
        port.GetLine(std::get<0>(line), std::get<1>(line), std::get<2>(line), std::get<3>(line));
        return line;
    };
    const Line before {9600, TParity::pEven, 8, 1};
    for (const Case &c : cases) {
        const auto refused = RaisedBy<ESerException>(c.set);
        EXPECT_EQ(refused.ErrorCode(), c.code);
        EXPECT_EQ(refused.what(), c.text);
        EXPECT_EQ(Line(port.Baud(), port.Parity(), port.DataBits(), port.StopBits()), before) << c.text;
        EXPECT_EQ(running(), before) << c.text;
        port.SetOpen(false);
        EXPECT_NO_THROW(port.SetOpen(true)) << c.text;
        EXPECT_EQ(running(), before) << c.text;
    }
    port.SetBaud(19200);   // the next rate works
    EXPECT_EQ(std::get<0>(running()), 19200);
}

TEST_F(PortTest, ARefusedPermissionNamesTheDeviceAndItsGroup)
{
    ASSERT_EQ(chmod(pty.devicePath().c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(seteuid(65534), 0);
    } else {
        ASSERT_EQ(chmod(pty.devicePath().c_str(), 0), 0);
    }
    std::string message;
    try {
        port.SetOpen(true);
    } catch (const EInOutError &e) {
        message = e.what();
    }
    if (root) {
        ASSERT_EQ(seteuid(0), 0);
    }
    EXPECT_EQ(message, "Permission denied: COM5, " + pty.devicePath() + ". The user must belong to the group " +
                           SerDeviceGroup(pty.devicePath()) + ", which owns the device");
    EXPECT_FALSE(SerDeviceGroup(pty.devicePath()).empty());
}
