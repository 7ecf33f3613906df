#include "FakeDispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

struct RingTest : ::testing::Test {
    FakeDispatcher d;
    void SetUp() override
    {
        TSerOpenParams params;
        params.OutSize = 16;
        ASSERT_EQ(d.OpenPort(params), 0);
    }
    std::string Take(uint32_t n)
    {
        std::string got;
        uint8_t c;
        for (uint32_t i = 0; i < n && d.GetChar(c) == 0; ++i)
            got += char(c);
        return got;
    }
};

uint8_t Pattern(uint32_t i)
{
    return uint8_t(i % 251);
}

} // namespace

TEST_F(RingTest, ReceiveRingFillsAndWrapsAt8192)
{
    std::string all;
    for (uint32_t i = 0; i < 5000; ++i)
        d.input.push_back(Pattern(i));
    EXPECT_TRUE(TSerDispatcherProbe::ReadIntoRing(d));
    all += Take(5000);   // the ring's positions now stand at 5000
    for (uint32_t i = 5000; i < 14000; ++i)
        d.input.push_back(Pattern(i));
    EXPECT_TRUE(TSerDispatcherProbe::ReadIntoRing(d));   // across the ring's end
    EXPECT_EQ(d.InBuffUsed(), 8192u);
    EXPECT_TRUE(d.CharReady());
    EXPECT_TRUE(TSerDispatcherProbe::DriverHasMore(d));
    uint8_t c = 0;
    EXPECT_EQ(d.PeekChar(1, c), 0);
    EXPECT_EQ(c, Pattern(5000));
    EXPECT_EQ(d.PeekChar(8192, c), 0);
    EXPECT_EQ(c, Pattern(5000 + 8191));
    EXPECT_EQ(d.PeekChar(8193, c), SerCode::BufferIsEmpty);
    EXPECT_TRUE(TSerDispatcherProbe::ReadIntoRing(d));   // full: nothing more is taken
    EXPECT_EQ(d.InBuffUsed(), 8192u);

    all += Take(100);
    EXPECT_TRUE(TSerDispatcherProbe::ReadIntoRing(d));
    EXPECT_EQ(d.InBuffUsed(), 8192u);
    all += Take(20000);
    EXPECT_TRUE(TSerDispatcherProbe::ReadIntoRing(d));
    all += Take(20000);
    ASSERT_EQ(all.size(), 14000u);
    for (uint32_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(uint8_t(all[i]), Pattern(i)) << "byte " << i;
    EXPECT_FALSE(d.CharReady());
    EXPECT_EQ(d.GetChar(c), SerCode::BufferIsEmpty);
    EXPECT_EQ(d.InBuffUsed(), 0u);
    EXPECT_FALSE(TSerDispatcherProbe::ReadIntoRing(d));
}

TEST_F(RingTest, FlushInBufferDiscardsUnreadBytes)
{
    d.input = {'a', 'b', 'c'};
    TSerDispatcherProbe::ReadIntoRing(d);
    EXPECT_EQ(d.FlushInBuffer(), 0);
    EXPECT_FALSE(d.CharReady());
    d.input = {'d'};
    TSerDispatcherProbe::ReadIntoRing(d);
    EXPECT_EQ(Take(5), "d");
}

TEST_F(RingTest, OutputRingIsAllOrNothingAndSendsEachByteOnce)
{
    EXPECT_EQ(d.PutBlock("0123456789", 10), 0);
    EXPECT_EQ(d.OutBuffUsed(), 10u);
    EXPECT_EQ(d.PutBlock("abcdef", 6), 0);   // exactly the free space
    EXPECT_TRUE(TSerDispatcherProbe::TxFull(d));
    EXPECT_EQ(d.OutBuffFree(), 0u);
    EXPECT_EQ(d.PutBlock("q", 1), SerCode::OutputBufferTooSmall);
    d.Drain(10);
    EXPECT_EQ(d.output, "0123456789");
    EXPECT_EQ(d.PutBlock("ghijklmnop", 10), 0);   // wraps, fills the ring again with head = tail > 0
    EXPECT_TRUE(TSerDispatcherProbe::TxFull(d));
    EXPECT_EQ(d.PutBlock("", 0), 0);
    d.Drain(1000);
    EXPECT_EQ(d.output, "0123456789abcdefghijklmnop");
    EXPECT_EQ(d.OutBuffUsed(), 0u);
    EXPECT_EQ(TSerDispatcherProbe::TxHead(d), 0u);
    EXPECT_EQ(TSerDispatcherProbe::TxTail(d), 0u);
    d.Drain(1000);
    EXPECT_EQ(d.output.size(), 26u);   // nothing is sent again
}

TEST_F(RingTest, FlushOutBufferDropsPendingOutput)
{
    EXPECT_EQ(d.PutBlock("abc", 3), 0);
    EXPECT_EQ(d.FlushOutBuffer(), 0);
    EXPECT_EQ(d.OutBuffUsed(), 0u);
    d.Drain(100);
    EXPECT_EQ(d.output, "");
}

TEST_F(RingTest, SetLineWritesOnlyChangesAndKeepsWhatItIsTold)
{
    const int writes = d.settingsWrites;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(d.SetLine(KeepLine::Baud, KeepLine::Parity, KeepLine::StopBits, KeepLine::DataBits), 0);
    EXPECT_EQ(d.SetLine(19200, 0, 1, 8), 0);   // the values it already has
    EXPECT_EQ(d.settingsWrites, writes);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));

    EXPECT_EQ(d.SetLine(9600, 2, 2, 7), 0);
    int32_t baud;
    uint8_t parity;
    uint16_t data, stop;
    d.GetLine(baud, parity, data, stop);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(parity, 2);
    EXPECT_EQ(data, 7);
    EXPECT_EQ(stop, 2);
    EXPECT_EQ(d.SetLine(KeepLine::Baud, KeepLine::Parity, 1, 5), 0);
    EXPECT_EQ(d.settings.StopBits, 1);   // one and a half with five data bits
    EXPECT_EQ(d.settings.BaudRate, 9600u);
}

TEST(ActualBaud, CodesAndPlainRates)
{
    EXPECT_EQ(TSerBaseDispatcher::ActualBaud(65279), 115200u);
    EXPECT_EQ(TSerBaseDispatcher::ActualBaud(65296), 110u);
    EXPECT_EQ(TSerBaseDispatcher::ActualBaud(65303), 14400u);
    EXPECT_EQ(TSerBaseDispatcher::ActualBaud(65319), 256000u);
    EXPECT_EQ(TSerBaseDispatcher::ActualBaud(65305), 65305u);
    EXPECT_EQ(TSerBaseDispatcher::ActualBaud(9600), 9600u);
}

TEST_F(RingTest, LineErrorsAreCollectedAndReportedInOrder)
{
    d.errorBits = LineErr::Overrun | LineErr::Break;
    EXPECT_EQ(d.OutBuffUsed(), 0u);       // collects the errors
    EXPECT_EQ(d.PutBlock("x", 1), 0);     // a write reads the status again: nothing is lost
    d.errorBits = LineErr::Parity;
    EXPECT_EQ(d.OutBuffFree(), 15u);
    EXPECT_EQ(d.GetLineError(), 2);       // overrun first; bits 0-3 are cleared together
    EXPECT_EQ(d.GetLineError(), 9);       // the break stays for CheckLineBreak
    EXPECT_TRUE(d.CheckLineBreak());
    EXPECT_FALSE(d.CheckLineBreak());
    EXPECT_EQ(d.GetLineError(), 0);
}

TEST_F(RingTest, ModemChangeBitsStayUntilTheirCheckClearsThem)
{
    using Check = bool (TSerBaseDispatcher::*)();
    struct Step {
        const char *what;
        uint8_t levels;
        uint32_t event;
        uint8_t status;   // levels and change bits after the event
        Check check;
        bool answer;
        uint8_t statusAfter;
    };
    const Step steps[] = {
        {"CTS, DSR and DCD rise", 0xB0, DevEvent::Cts | DevEvent::Dsr | DevEvent::Rlsd, 0xBB,
         &TSerBaseDispatcher::CheckCTS, true, 0xBA},
        {"an event without a change", 0xB0, DevEvent::Cts, 0xBA, &TSerBaseDispatcher::CheckDSR, true, 0xB8},
        {"DCD falls", 0x30, DevEvent::Rlsd, 0x38, &TSerBaseDispatcher::CheckDCD, false, 0x30},
        {"CTS falls", 0x20, DevEvent::Cts, 0x21, &TSerBaseDispatcher::CheckCTS, false, 0x20},
        {"ring", 0x20, DevEvent::Ring, 0x24, &TSerBaseDispatcher::CheckRingEdge, true, 0x20},
        {"no ring since", 0x20, DevEvent::Dsr, 0x20, &TSerBaseDispatcher::CheckRingEdge, false, 0x20},
    };
    EXPECT_EQ(d.GetModemStatus(0xFF), 0);
    for (const Step &step : steps) {
        d.modem = step.levels;
        TSerDispatcherProbe::HandleDeviceEvent(d, step.event);
        EXPECT_EQ(d.GetModemStatus(0xFF), step.status) << step.what;
        EXPECT_EQ((d.*step.check)(), step.answer) << step.what;
        EXPECT_EQ(d.GetModemStatus(0xFF), step.statusAfter) << step.what;
    }
}

TEST_F(RingTest, ModemAndLineErrorTriggersFireOncePerArming)
{
    const int32_t cts = d.AddStatusTrigger(StatusKind::ModemStatus);
    const int32_t errors = d.AddStatusTrigger(StatusKind::LineError);
    const int32_t lineBreak = d.AddStatusTrigger(StatusKind::LineError);
    const std::pair<const char *, std::pair<int32_t, uint16_t>> triggers[] = {
        {"CTS ", {cts, 0x10}}, {"errors ", {errors, 2 | 4}}, {"break ", {lineBreak, 8}}};   // option bits
    const auto armed = [this](int32_t handle) {
        TTriggerSave saved;
        d.SaveTriggers(saved);
        return std::any_of(saved.Status.begin(), saved.Status.end(),
                           [handle](const TStatusTrigger &t) { return t.TriggerHandle == handle && t.Armed; });
    };
    struct Step {
        const char *what;
        std::string arm;   // armed before the step
        uint8_t levels;
        uint32_t errorBits, event;
        std::string fired;
    };
    const Step steps[] = {
        {"DSR rises", "CTS errors break ", 0x20, 0, DevEvent::Dsr, ""},
        {"CTS rises", "", 0x30, 0, DevEvent::Cts, "CTS "},
        {"CTS falls before it is armed again", "", 0x20, 0, DevEvent::Cts, ""},
        {"armed at the low level, CTS rises", "CTS ", 0x30, 0, DevEvent::Cts, "CTS "},
        {"armed at the high level, DSR falls", "CTS ", 0x10, 0, DevEvent::Dsr, ""},
        {"CTS falls", "", 0x00, 0, DevEvent::Cts, "CTS "},
        {"an overrun is not watched", "", 0x00, LineErr::Overrun, DevEvent::Err, ""},
        {"parity error", "", 0x00, LineErr::Parity, DevEvent::Err, "errors "},
        {"framing error before it is armed again", "", 0x00, LineErr::Frame, DevEvent::Err, ""},
        {"break", "", 0x00, LineErr::Break, DevEvent::Break, "break "},
        {"framing error, armed again", "errors ", 0x00, LineErr::Frame, DevEvent::Err, "errors "},
    };
    for (const Step &step : steps) {
        std::string wasArmed;
        for (const auto &[name, trigger] : triggers) {
            if (step.arm.find(name) != std::string::npos) {
                ASSERT_EQ(d.SetStatusTrigger(trigger.first, trigger.second, true), 0);
            }
            if (armed(trigger.first))
                wasArmed += name;
        }
        d.modem = step.levels;
        d.errorBits = step.errorBits;
        TSerDispatcherProbe::HandleDeviceEvent(d, step.event);
        std::string fired;
        for (const auto &[name, trigger] : triggers)
            if (wasArmed.find(name) != std::string::npos && !armed(trigger.first))
                fired += name;
        EXPECT_EQ(fired, step.fired) << step.what;
        // Read as the status-light controller does, which clears them.
        d.GetLineError();
        d.CheckLineBreak();
    }
}

TEST_F(RingTest, FlowLimitsAreChecked)
{
    EXPECT_EQ(d.SetHWFlowOptions(5000, 100, 8), SerCode::BadArgument);   // above InSize
    EXPECT_EQ(d.SetHWFlowOptions(100, 200, 8), SerCode::BadArgument);
    EXPECT_EQ(d.SetHWFlowOptions(3686, 409, 2 | 8), 0);
    uint32_t hw, sw;
    char xon, xoff;
    EXPECT_EQ(d.GetFlowOptions(hw, sw, xon, xoff), 0);
    EXPECT_EQ(hw, 2u | 8u);
    EXPECT_EQ(sw, 0u);
    EXPECT_EQ(d.SetSWFlowOptions(3072, 1024, 3), 0);
    EXPECT_EQ(d.GetFlowOptions(hw, sw, xon, xoff), 0);
    EXPECT_EQ(sw, 3u);
    EXPECT_EQ(xon, 17);
    EXPECT_EQ(xoff, 19);
    EXPECT_EQ(d.SWFlowDisable(), 0);
    EXPECT_EQ(d.GetFlowOptions(hw, sw, xon, xoff), 0);
    EXPECT_EQ(sw, 0u);
}

TEST_F(RingTest, AFullRingIsScannedOnce)
{
    // The ring is filled exactly, starting at its first index or further on; head and tail then meet.
    struct Case {
        const char *what;
        uint32_t readFirst;
        uint32_t lengthTrigger;
        bool dataTrigger;
    };
    const Case cases[] = {
        {"one match", 0, 0, true},
        {"one match, ring turned", 100, 0, true},
        {"unread bytes for the length trigger", 0, 1, false},
        {"unread bytes for the length trigger, ring turned", 100, 1, false},
    };
    for (const Case &c : cases) {
        FakeDispatcher f;
        ASSERT_EQ(f.OpenPort({}), 0);
        f.RestoreTriggers(DataTriggerSet(c.lengthTrigger, c.dataTrigger ? "OK" : ""));
        if (c.readFirst) {
            f.input.assign(c.readFirst, 'x');
            TSerDispatcherProbe::ReadIntoRing(f);
            while (TSerDispatcherProbe::CheckDataTriggers(f)) {
            }
            f.FlushInBuffer();
        }
        std::string bytes(RxRingSize, 'x');
        bytes.replace(5000, 2, "OK");
        f.input.assign(bytes.begin(), bytes.end());
        TSerDispatcherProbe::ReadIntoRing(f);
        ASSERT_EQ(f.InBuffUsed(), RxRingSize) << c.what;
        // Without handlers a delivery reads nothing; each check that delivers says so.
        int deliveries = 0;
        for (int check = 0; check < 4; ++check)
            deliveries += TSerDispatcherProbe::CheckDataTriggers(f);
        EXPECT_EQ(deliveries, 1) << c.what;
    }
}
