#include "serial/SerComPort.h"
#include "serial/SerExcept.h"
#include "serial/SerSignalLights.h"
#include "serial/SerTtyDispatcher.h"

#include "Pty.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;

namespace {

size_t TriggerCount(TSerCustomComPort &port)
{
    TSerBaseDispatcher *dispatcher = port.Dispatcher();
    if (!dispatcher)
        return 0;
    TTriggerSave triggers;
    dispatcher->SaveTriggers(triggers);
    return triggers.Timers.size() + triggers.Status.size() + triggers.Data.size();
}

// A port on a pty whose own data handler reads what arrives, watched by a controller with RX and TX lights.
struct ControllerTest : ::testing::Test {
    testsupport::Pty pty;
    TSerComPort port;
    TSerStatusLight rx, tx;
    std::string received;
    std::unique_ptr<TSerSLController> controller;

    void SetUp() override
    {
        setenv("SERIAL_COM5", pty.devicePath().c_str(), 1);
        port.SetComNumber(5);
        port.SetAutoOpen(false);
        port.SetOnTriggerAvail([this](TSerCustomComPort &p, uint16_t count) {
            for (uint16_t i = 0; i < count; ++i)
                received += p.GetChar();
        });
        controller = std::make_unique<TSerSLController>(&port);
        controller->Lights().RXDLight = &rx;
        controller->Lights().TXDLight = &tx;
    }
    void TearDown() override
    {
        controller.reset();
        unsetenv("SERIAL_COM5");
        unsetenv("SERIAL_COM6");
    }
    // A close while the dispatcher thread is delivering a trigger ends only once that delivery has been handled,
    // and an open asked for meanwhile follows it: waits until the port is open again.
    bool Reopened() { return PumpUntil([&] { return port.PortState() == TPortState::PortOpen; }, 2s); }
    // Input reaches the RX light and, through it, the port's own handler.
    void ExpectReceiveFlash(const std::string &bytes)
    {
        received.clear();
        pty.write(bytes);
        EXPECT_TRUE(PumpUntil([&] { return rx.Lit(); }, 2s)) << bytes;
        EXPECT_TRUE(PumpUntil([&] { return received == bytes; }, 2s)) << bytes;
        EXPECT_TRUE(PumpUntil([&] { return !rx.Lit(); }, 2s)) << bytes;
    }
};

} // namespace

TEST_F(ControllerTest, ReceiveLightComesOnWithInputAndGoesOutOnceTheInputIsRead)
{
    port.SetOpen(true);
    controller->SetMonitoring(true);
    EXPECT_TRUE(controller->Monitoring());
    EXPECT_FALSE(rx.Lit());
    ExpectReceiveFlash("A");
    ExpectReceiveFlash("burst of bytes");
    EXPECT_FALSE(tx.Lit());

    // Input nobody reads keeps the light on.
    controller->SetMonitoring(false);
    port.SetOnTriggerAvail(nullptr);
    controller->SetMonitoring(true);
    pty.write("xyz");
    ASSERT_TRUE(PumpUntil([&] { return rx.Lit(); }, 2s));
    PumpFor(300ms);   // several off-timer ticks
    EXPECT_TRUE(rx.Lit());
    while (port.CharReady())
        port.GetChar();
    EXPECT_TRUE(PumpUntil([&] { return !rx.Lit(); }, 2s));
}

TEST_F(ControllerTest, TransmitLightComesOnWithOutputAndGoesOutOnceItIsSent)
{
    port.SetOpen(true);
    controller->SetMonitoring(true);
    for (const std::string text : {"first", "second"}) {
        port.PutString(text);
        EXPECT_TRUE(PumpUntil([&] { return tx.Lit(); }, 2s)) << text;
        EXPECT_EQ(pty.read(2s, text.size()), text);
        EXPECT_TRUE(PumpUntil([&] { return !tx.Lit(); }, 2s)) << text;
    }
    EXPECT_FALSE(rx.Lit());
}

TEST_F(ControllerTest, MonitoringAskedForWhileClosedStartsWhenThePortOpens)
{
    controller->SetMonitoring(true);
    EXPECT_FALSE(controller->Monitoring());
    EXPECT_FALSE(port.OnTriggerStatus());
    port.SetOpen(true);
    EXPECT_TRUE(controller->Monitoring());
    EXPECT_TRUE(port.OnTriggerStatus());
    EXPECT_EQ(TriggerCount(port), 3u);   // RX off timer, TX trigger and its off timer
    ExpectReceiveFlash("B");

    // Switched off while waiting for the open: nothing starts.
    port.SetOpen(false);
    controller->SetMonitoring(false);
    port.SetOpen(true);
    ASSERT_TRUE(Reopened());
    EXPECT_FALSE(controller->Monitoring());
    EXPECT_EQ(TriggerCount(port), 0u);
}

TEST_F(ControllerTest, CloseAndReopenKeepTheTriggersFromPilingUp)
{
    port.SetOpen(true);
    controller->SetMonitoring(true);
    const size_t count = TriggerCount(port);
    ASSERT_EQ(count, 3u);
    for (int cycle = 0; cycle < 50; ++cycle) {
        port.SetOpen(false);
        ASSERT_FALSE(controller->Monitoring());
        port.SetOpen(true);
        ASSERT_TRUE(Reopened()) << "cycle " << cycle;
        ASSERT_TRUE(controller->Monitoring());
        ASSERT_EQ(TriggerCount(port), count) << "cycle " << cycle;
    }
    ExpectReceiveFlash("after reopening");

    // Another port number closes and reopens the port as well.
    testsupport::Pty other;
    setenv("SERIAL_COM6", other.devicePath().c_str(), 1);
    port.SetComNumber(6);
    ASSERT_TRUE(Reopened());
    EXPECT_TRUE(controller->Monitoring());
    EXPECT_EQ(TriggerCount(port), count);
    received.clear();
    other.write("on six");
    EXPECT_TRUE(PumpUntil([&] { return rx.Lit(); }, 2s));
    EXPECT_TRUE(PumpUntil([&] { return received == "on six" && !rx.Lit(); }, 2s));
}

TEST_F(ControllerTest, HandlersAreChainedAndGivenBackWhenTheControllerGoes)
{
    port.SetOpen(true);
    const int32_t timer = port.AddTimerTrigger();
    const int32_t drained = port.AddStatusTrigger(StatusKind::OutBuffUsed);
    int portTimers = 0, portStatus = 0;
    port.SetOnTriggerTimer([&](TSerCustomComPort &, uint16_t handle) { portTimers += handle == timer; });
    port.SetOnTriggerStatus([&](TSerCustomComPort &, uint16_t handle) { portStatus += handle == drained; });
    controller->SetMonitoring(true);

    // While monitoring, the port's own handlers still see every trigger.
    port.SetTimerTrigger(timer, 1, true);
    port.SetStatusTrigger(drained, 0, true);
    port.PutString("x");
    EXPECT_TRUE(PumpUntil([&] { return tx.Lit(); }, 2s));
    EXPECT_TRUE(PumpUntil([&] { return portTimers == 1 && portStatus == 1; }, 2s));
    ExpectReceiveFlash("y");

    controller.reset();
    EXPECT_EQ(TriggerCount(port), 2u);   // the port's own two
    EXPECT_FALSE(tx.Lit());
    portTimers = portStatus = 0;
    port.SetTimerTrigger(timer, 1, true);
    port.SetStatusTrigger(drained, 0, true);
    port.PutString("z");
    EXPECT_TRUE(PumpUntil([&] { return portTimers == 1 && portStatus == 1; }, 2s));

    // No callback of the controller is left with the port.
    port.SetOpen(false);
    port.SetOpen(true);
    received.clear();
    pty.write("w");
    EXPECT_TRUE(PumpUntil([&] { return received == "w"; }, 2s));
    EXPECT_FALSE(rx.Lit());
    EXPECT_FALSE(tx.Lit());
}

TEST_F(ControllerTest, APortThatGoesAwayIsForgotten)
{
    auto owned = std::make_unique<TSerComPort>();
    owned->SetComNumber(5);
    owned->SetAutoOpen(false);
    owned->SetOpen(true);
    controller->SetComPort(owned.get());
    controller->SetMonitoring(true);
    ASSERT_TRUE(controller->Monitoring());
    owned.reset();
    EXPECT_EQ(controller->ComPort(), nullptr);
    EXPECT_FALSE(controller->Monitoring());
    try {
        controller->SetMonitoring(true);
        ADD_FAILURE() << "monitoring without a port";
    } catch (const EPortNotAssigned &e) {
        EXPECT_EQ(e.ErrorCode(), -1005);
    }
}

TEST_F(ControllerTest, MonitoringMovesWithThePort)
{
    testsupport::Pty other;
    setenv("SERIAL_COM6", other.devicePath().c_str(), 1);
    TSerComPort second;
    second.SetComNumber(6);
    second.SetAutoOpen(false);
    port.SetOpen(true);
    controller->SetMonitoring(true);

    controller->SetComPort(&second);   // closed: monitoring waits for its open
    EXPECT_FALSE(controller->Monitoring());
    EXPECT_EQ(TriggerCount(port), 0u);
    second.SetOpen(true);
    EXPECT_TRUE(controller->Monitoring());
    EXPECT_EQ(TriggerCount(second), 3u);

    // The first port's open and close no longer reach the controller.
    port.SetOpen(false);
    port.SetOpen(true);
    EXPECT_TRUE(controller->Monitoring());
    EXPECT_EQ(TriggerCount(port), 0u);
    pty.write("old");
    EXPECT_TRUE(PumpUntil([&] { return received == "old"; }, 2s));
    EXPECT_FALSE(rx.Lit());
    other.write("new");
    EXPECT_TRUE(PumpUntil([&] { return rx.Lit(); }, 2s));
}

namespace {

// A pty device whose modem lines and line errors the test sets.
class LineDispatcher : public TSerWin32Dispatcher {
public:
    using TSerWin32Dispatcher::TSerWin32Dispatcher;

    std::atomic<uint8_t> modem {0};     // 0x10 CTS, 0x20 DSR, 0x80 DCD
    std::atomic<uint32_t> events {0};   // device events reported next
    std::atomic<uint32_t> errors {0};   // line errors reported next

    void Signal(uint32_t event, uint32_t lineErrors = 0)
    {
        errors |= lineErrors;
        events |= event;
    }

protected:
    uint8_t ReadModemStatus() override { return modem; }
    uint32_t PollDeviceEvents() override { return TSerWin32Dispatcher::PollDeviceEvents() | events.exchange(0); }
    uint32_t ReadDeviceStatus(TSerDeviceStatus &status) override
    {
        return TSerWin32Dispatcher::ReadDeviceStatus(status) | errors.exchange(0);
    }
};

class LinePort : public TSerCustomComPort {
public:
    LineDispatcher *device = nullptr;

protected:
    std::unique_ptr<TSerBaseDispatcher> CreateDispatcher() override
    {
        auto dispatcher = std::make_unique<LineDispatcher>(this);
        device = dispatcher.get();
        return dispatcher;
    }
};

} // namespace

TEST(ControllerLines, LineLightsFollowTheLinesAndEventLightsFlash)
{
    testsupport::Pty pty;
    setenv("SERIAL_COM7", pty.devicePath().c_str(), 1);
    LinePort port;
    port.SetComNumber(7);
    port.SetOpen(true);
    TSerStatusLight cts, dsr, dcd, ring, error, lineBreak;
    TSerSLController controller(&port);
    TLightSet &lights = controller.Lights();
    lights.CTSLight = &cts;
    lights.DSRLight = &dsr;
    lights.DCDLight = &dcd;
    lights.RINGLight = &ring;
    lights.ERRORLight = &error;
    lights.BREAKLight = &lineBreak;
    controller.SetErrorOffTimeout(2);
    controller.SetBreakOffTimeout(2);
    controller.SetRingOffTimeout(2);
    const auto lit = [&] {
        std::string on;
        for (const auto &[name, light] : {std::pair {"CTS ", &cts}, {"DSR ", &dsr}, {"DCD ", &dcd},
                                          {"RING ", &ring}, {"ERROR ", &error}, {"BREAK ", &lineBreak}})
            on += light->Lit() ? name : "";
        return on;
    };

    port.device->modem = 0x20;
    controller.SetMonitoring(true);
    EXPECT_EQ(lit(), "DSR ");   // the lines as they stand

    struct Step {
        const char *what;
        uint8_t modem;
        uint32_t event, errors;
        std::string litThen, litAfter;   // at once; after the off time-outs
    };
    const Step steps[] = {
        {"CTS and DCD rise, DSR falls", 0x90, DevEvent::Cts | DevEvent::Dsr | DevEvent::Rlsd, 0, "CTS DCD ",
         "CTS DCD "},
        {"ring", 0x90, DevEvent::Ring, 0, "CTS DCD RING ", "CTS DCD "},
        {"parity error", 0x90, DevEvent::Err, LineErr::Parity, "CTS DCD ERROR ", "CTS DCD "},
        {"framing error again", 0x90, DevEvent::Err, LineErr::Frame, "CTS DCD ERROR ", "CTS DCD "},
        {"break", 0x90, DevEvent::Break, LineErr::Break, "CTS DCD BREAK ", "CTS DCD "},
        {"all lines fall", 0x00, DevEvent::Cts | DevEvent::Rlsd, 0, "", ""},
    };
    for (const Step &step : steps) {
        port.device->modem = step.modem;
        port.device->Signal(step.event, step.errors);
        EXPECT_TRUE(PumpUntil([&] { return lit() == step.litThen; }, 2s)) << step.what << ": " << lit();
        EXPECT_TRUE(PumpUntil([&] { return lit() == step.litAfter; }, 2s)) << step.what << ": " << lit();
    }
    controller.SetMonitoring(false);
    EXPECT_EQ(lit(), "");
    EXPECT_EQ(TriggerCount(port), 0u);
    unsetenv("SERIAL_COM7");
}

TEST_F(ControllerTest, TransmitLightGoesOutThroughManyShortStringWaits)
{
    port.SetOpen(true);
    controller->SetMonitoring(true);
    // String waits that find nothing come and go on the GUI thread while the light flashes: the deliveries
    // they put off come later, none is lost.
    for (int cycle = 0; cycle < 20; ++cycle) {
        port.PutString("x");
        bool wasLit = false;
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (!(wasLit && !tx.Lit()) && std::chrono::steady_clock::now() < deadline) {
            port.WaitForString("?", -1, false, false);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            wasLit = wasLit || tx.Lit();
        }
        ASSERT_TRUE(wasLit) << "cycle " << cycle;
        ASSERT_FALSE(tx.Lit()) << "cycle " << cycle;
        EXPECT_EQ(pty.read(2s, 1), "x") << "cycle " << cycle;
    }
}
