#include "LinkFixture.h"
#include "ModalDriver.h"

#include "link/AutoScan.h"
#include "link/SevenSegmentDigit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

using namespace std::chrono_literals;
using testsupport::LineSettings;
using testsupport::OnModal;
using testsupport::SimKind;

namespace {

LineSettings lineOf(const TLineSetting &s) { return {s.Baud, "NOEMS"[int(s.Parity)], s.DataBits, s.StopBits}; }

} // namespace

TEST(AutoScanOrder, RatesThenParityThenDataBitsThenStopBits)
{
    const int32_t rates[] = {9600, 0, 19200, -5};
    const auto order = AutoScanOrder(rates, 4);
    ASSERT_EQ(order.size(), 24u);   // rates that are not positive are skipped
    const TLineSetting first[] = {
        {9600, TParity::pNone, 8, 1}, {9600, TParity::pNone, 8, 2}, {9600, TParity::pNone, 7, 1},
        {9600, TParity::pNone, 7, 2}, {9600, TParity::pOdd, 8, 1},
    };
    for (std::size_t i = 0; i < std::size(first); ++i) EXPECT_EQ(order[i], first[i]) << i;
    EXPECT_EQ(order[11], (TLineSetting {9600, TParity::pEven, 7, 2}));
    EXPECT_EQ(order[12], (TLineSetting {19200, TParity::pNone, 8, 1}));
    EXPECT_TRUE(AutoScanOrder(rates, 0).empty());
}

TEST(AutoScanDigits, RateTable)
{
    using D = std::array<int, 5>;
    EXPECT_EQ(RateDigits(150), (D {-1, -1, -1, 1, 5}));
    EXPECT_EQ(RateDigits(9600), (D {-1, -1, 9, 6, 0}));
    EXPECT_EQ(RateDigits(19200), (D {-1, 1, 9, 2, 0}));
    EXPECT_EQ(RateDigits(115200), (D {1, 1, 5, 2, 0}));
    EXPECT_EQ(RateDigits(14400), (D {-1, -1, -1, -1, -1}));   // not one of the eleven
}

class AutoConnectTest : public LinkFixture {
protected:
    void startWithProbe()
    {
        startLink();
        sim.setLineProbe([this] {
            int32_t baud = 0;
            TParity parity = TParity::pNone;
            uint16_t data = 0, stop = 0;
            link->ComPort.GetLine(baud, parity, data, stop);
            return LineSettings {baud, "NOEMS"[int(parity)], data, stop};
        });
    }

    // The host's line at each enter command the reader received.
    std::vector<LineSettings> enterLines() const
    {
        std::vector<LineSettings> lines;
        for (const auto &chunk : sim.received())
            if (chunk.bytes == "\x1B[C") lines.push_back(chunk.line);
        return lines;
    }
};

TEST_F(AutoConnectTest, FindsAReaderAt19200SevenEvenOne)
{
    writeIni("[Misc]\nAutoBaud=9600,19200\nDefTimeout=8\nAutoMode=0\n");
    sim.setLine({19200, 'E', 7, 1});
    startWithProbe();
    OnModal<TAutoForm> dialog([&](TAutoForm &form) { EXPECT_EQ(form.windowTitle(), "AutoConnect - Fast"); });

    ASSERT_TRUE(link->EnterHostMode());

    // Five commands at the port's settings, the quick try at 9600 N81, then the scan in its order.
    std::vector<LineSettings> expected(3, LineSettings {9600, 'N', 8, 1});   // enter, enter, enter
    expected.push_back({9600, 'N', 8, 1});                                   // the quick try
    const int32_t rates[] = {9600, 19200};
    for (const TLineSetting &s : AutoScanOrder(rates, 2)) {
        expected.push_back(lineOf(s));
        if (s == TLineSetting {19200, TParity::pEven, 7, 1}) break;
    }
    EXPECT_EQ(enterLines(), expected);
    int32_t baud = 0;
    TParity parity = TParity::pNone;
    uint16_t data = 0, stop = 0;
    link->ComPort.GetLine(baud, parity, data, stop);
    EXPECT_EQ(lineOf({baud, parity, data, stop}), (LineSettings {19200, 'E', 7, 1}));
    EXPECT_TRUE(link->InHostMode);
    EXPECT_EQ(Settings.Baud, 9600);   // the saved settings are not touched
    EXPECT_TRUE(std::find(view.statuses.begin(), view.statuses.end(), "AutoConnect") != view.statuses.end());
    link->ExitHostMode();
    EXPECT_EQ(sim.state(), testsupport::ReaderState::Normal);
}

TEST_F(AutoConnectTest, TheQuickTryFindsA9600Reader)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setLine({9600, 'N', 8, 1});
    startWithProbe();
    link->ComPort.SetBaud(2400);
    OnModal<TAutoForm> dialog([](TAutoForm &) {});
    ASSERT_TRUE(link->EnterHostMode());
    EXPECT_FALSE(dialog.ran());
    EXPECT_EQ(link->ComPort.Baud(), 9600);
    link->ExitHostMode();
}

TEST_F(AutoConnectTest, EscapeAbortsTheScanAndTheOldLineComesBack)
{
    writeIni("[Misc]\nAutoBaud=9600,4800,2400\nDefTimeout=8\nAutoMode=1\n");
    sim.setSilent(true);
    startWithProbe();
    OnModal<TAutoForm> user([](TAutoForm &dialog) {
        QTimer::singleShot(300, &dialog, [&dialog] {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&dialog, &esc);
            // Showing the dialog again does not start a second scan.
            QShowEvent show;
            QApplication::sendEvent(&dialog, &show);
        });
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->EnterHostMode());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);   // the full slow scan would take far longer
    EXPECT_EQ(link->ComPort.Baud(), 9600);
    EXPECT_EQ(view.statuses.back(), "Attempt failed!");
    // Slow mode: each unanswered scan try is followed by an exit command at the same settings.
    const std::size_t enters = enterLines().size();
    EXPECT_LT(enters, 12u);
    EXPECT_GE(enters, 5u);
    EXPECT_EQ(sim.received().back().bytes, "\x1B[A");
}

TEST_F(AutoConnectTest, ClosingTheProgramEndsTheScan)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setSilent(true);
    startWithProbe();
    OnModal<TAutoForm> user([this](TAutoForm &) { QTimer::singleShot(200, [this] { link->AbortConnect = true; }); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link->EnterHostMode());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
}
