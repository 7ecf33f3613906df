#include "EditFixture.h"

#include "ModalDriver.h"
#include "editor/OverflowCalculator.h"
#include "link/DeviceControl.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

using namespace std::chrono_literals;
using testsupport::OnModal;
using testsupport::readerRecord;
using testsupport::SimKind;

namespace {

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

// Enter host mode, program mode, the record, save to RAM, exit.
std::string singleCommand(const std::string &record) { return "\x1B[C\x1B[B" + record + "\x1BIA!\x1B[A"; }

} // namespace

// The editor with the Device Control window connected to the simulated reader and interactive mode on.
class InteractiveTest : public EditFixture {
protected:
    void connectInteractive()
    {
        openEditor();
        control = new TCommForm;
        control->show();
        control->ConnBtnClick();
        ASSERT_TRUE(link->Connected);
        control->InterBtn->click();
        ASSERT_TRUE(link->Interactive);
        sim.clearTranscript();
    }
    void TearDown() override
    {
        delete control.data();
        EditFixture::TearDown();
    }

    QPointer<TCommForm> control;
};

TEST_F(InteractiveTest, AChosenValueIsSentAtOnceAndSavedToRam)
{
    openEditor();
    PaintCounter grid(form->Grid->viewport());
    control = new TCommForm;
    control->show();
    control->ConnBtnClick();
    EXPECT_EQ(column(1), (std::vector<std::string> {"Beeper", "Off", "Timing", "$05", "$1F"}));   // the reader's
    EXPECT_EQ(form->Cell(1, 1).Colour, QColor(Qt::black));
    PumpFor(50ms);
    grid.paints = 0;
    control->InterBtn->click();
    PumpUntil([&] { return grid.paints > 0; }, 1s);
    EXPECT_GT(grid.paints, 0);   // the grid shows the red of interactive mode at once
    EXPECT_EQ(form->Cell(1, 1).Colour, QColor(Qt::red));
    sim.clearTranscript();

    pressKey(form->Combo, Qt::Key_Right);   // Beep: On

    EXPECT_EQ(sim.receivedBytes(), singleCommand(readerRecord("AB", 1)));
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::ProgramMode, SimKind::Record, SimKind::SaveRam, SimKind::Exit}));
    EXPECT_EQ(sim.ram().value("\x1B" "AB"), 1);
    EXPECT_EQ(sim.eeprom().value("\x1B" "AB"), 0);
    EXPECT_EQ(control->DisplayPanel->text(), " Command sent");
    EXPECT_EQ(form->Grid->RowCount(), 6);   // Volume came back after the send
    EXPECT_FALSE(form->Sending);
    EXPECT_FALSE(link->OperationRunning);
    EXPECT_FALSE(link->InHostMode);
}

TEST_F(InteractiveTest, ValuesBrowsedInTheOpenListAreSentOnceWhenItCloses)
{
    connectInteractive();
    form->Grid->SetRow(3);   // Delay, $05
    ASSERT_EQ(form->ComboRow, 3);
    form->Combo->showPopup();
    ASSERT_TRUE(form->Combo->ListOpen);
    for (int i = 0; i < 5; ++i) pressKey(form->Combo->view(), Qt::Key_Down);
    PumpFor(300ms);
    EXPECT_TRUE(sim.received().empty());
    EXPECT_EQ(form->Combo->PendingChanges, 5);
    EXPECT_EQ(entry("Delay").Value, 0x0A);

    pressKey(form->Combo->view(), Qt::Key_Return);
    EXPECT_EQ(sim.receivedBytes(), singleCommand(readerRecord("AD", 0x0A)));
    EXPECT_FALSE(form->Combo->ListOpen);
    EXPECT_EQ(form->Combo->PendingChanges, 0);
    EXPECT_EQ(sim.ram().value("\x1B" "AD"), 0x0A);

    // Opened and closed without a change: nothing goes out.
    sim.clearTranscript();
    form->Combo->showPopup();
    form->Combo->hidePopup();
    PumpFor(100ms);
    EXPECT_TRUE(sim.received().empty());

    // A question is asked when the value is chosen, not again when the list closes.
    showPage(Safety);
    ui.answer(true);
    form->Combo->showPopup();
    pressKey(form->Combo->view(), Qt::Key_Down);
    pressKey(form->Combo->view(), Qt::Key_Escape);
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Reset all settings"});
    EXPECT_EQ(sim.receivedBytes(), singleCommand(readerRecord("RS", 1)));
}

TEST_F(InteractiveTest, WhileAValueIsSentNothingElseChangesAndTheWindowStays)
{
    connectInteractive();
    sim.setReplyLatency(150ms);
    std::vector<std::string> seen;
    QTimer::singleShot(100ms, [&] {
        seen.push_back(form->Sending ? "sending" : "idle");
        pressKey(form->Combo, Qt::Key_Left);
        QWheelEvent wheel(QPointF(5, 5), form->Combo->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->Combo, &wheel);   // Off, by the mouse wheel
        seen.push_back(form->Combo->currentText().toStdString());
        form->Combo->showPopup();
        seen.push_back(form->Combo->ListOpen ? "open" : "closed");
        form->close();
    });
    pressKey(form->Combo, Qt::Key_Right);   // Beep: On

    EXPECT_EQ(seen, (std::vector<std::string> {"sending", "On", "closed"}));
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(entry("Beep").ValueText.str(), "On");
    EXPECT_EQ(sim.receivedBytes(), singleCommand(readerRecord("AB", 1)));
}

TEST_F(InteractiveTest, AValueFromTheOverflowCalculatorIsAskedForAndSentOnce)
{
    dir.write("dev/M100.TPL", "STR: Test reader M100,,Info\r\nPAG: General\r\n"
                              "ENT: ~Overflow,1B4145=Off,1F\r\nVAL: 10 \xB5s,00\r\nVAL: 20 \xB5s,01\r\n"
                              "VAL: 40 \xB5s,03 ?Really 40\r\nVAL: Off,1F\r\n");
    Settings.OverflowList = {kOverflowScanner};
    connectInteractive();
    ASSERT_EQ(entry("Overflow").ValueText.str(), "Off");   // the reader's value
    ui.answer(true);
    ui.answer(true);   // were it asked twice, it would be sent twice
    OnModal<TOverForm> user([](TOverForm &calc) {
        enterOverflowGeometry(calc);
        ASSERT_EQ(calc.TDList->count(), 1);   // 40 µs
        calc.TDList->setCurrentRow(0);
        calc.OkBtn->click();
    });
    form->OverBtn->click();
    ASSERT_TRUE(user.ran());
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Really 40"});
    EXPECT_EQ(sim.receivedBytes(), singleCommand(readerRecord("AE", 0x03)));
    EXPECT_EQ(entry("Overflow").ValueText.str(), "40 \xB5s");
}

TEST_F(InteractiveTest, NothingIsSentOutsideInteractiveModeOrWhileTheLinkIsBusy)
{
    connectInteractive();
    {
        TLinkOperation running(*link);   // a Device Control command, say
        pressKey(form->Combo, Qt::Key_Right);
        EXPECT_EQ(entry("Beep").ValueText.str(), "Off");
        EXPECT_EQ(form->Combo->currentText(), "Off");
    }
    control->InterBtn->click();
    EXPECT_FALSE(link->Interactive);
    pressKey(form->Combo, Qt::Key_Right);
    EXPECT_EQ(entry("Beep").ValueText.str(), "On");
    PumpFor(100ms);
    EXPECT_TRUE(sim.received().empty());
}
