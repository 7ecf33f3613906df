#include "KeyInput.h"
#include "TermFixture.h"
#include "link/ByteLineEdit.h"
#include "link/DeviceControl.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

using namespace std::chrono_literals;
using Kind = TTermLog::TKind;

namespace {

std::string numbered(int i)
{
    std::string n = std::to_string(i);
    return "L" + std::string(3 - n.size(), '0') + n + "\n";
}

} // namespace

class TermFormTest : public TermFixture {
protected:
    void typeAndEnter(const QString &text)
    {
        typeText(term->CmdEdit, text);
        pressKey(term->CmdEdit, Qt::Key_Return);
    }
};

TEST_F(TermFormTest, TypedLineUnsolicitedOutputAndThePlainLog)
{
    openTerminal();
    const std::string log = dir.file("Pr\xC3\xBC" "fung.log");   // the caption shows the name as the system names it
    ui.chooseFile(log);
    term->LogBtn->click();
    ASSERT_TRUE(term->Log.IsOpen(Kind::Plain));
    const FileDialogRequest &request = ui.dialogRequests().at(0);
    EXPECT_EQ(request.title, "Choose log file name");
    EXPECT_EQ(request.fileName, "CORVANE.LOG");
    EXPECT_EQ(request.filter, "Log files|*.log");
    EXPECT_EQ(request.defaultExt, "log");
    EXPECT_FALSE(term->ExLogBtn->isEnabled());
    EXPECT_EQ(term->windowTitle().toStdString(), "Terminal - Log open: " + log);
    EXPECT_EQ(term->LogBtn->toolTip(), "Stop log");

    typeText(term->CmdEdit, "AB");
    pressCtrl(term->CmdEdit, 'M');
    EXPECT_EQ(term->CmdEdit->text(), "AB<CR>");
    pressKey(term->CmdEdit, Qt::Key_Return);
    EXPECT_EQ(sim.receivedBytes(), "AB\r");
    EXPECT_TRUE(term->CmdEdit->Bytes().empty());
    pressKey(term->CmdEdit, Qt::Key_Return);   // an empty line sends nothing
    EXPECT_EQ(sim.receivedBytes(), "AB\r");

    driver->send("\x1B" "abv" "hi\r\n");
    ASSERT_TRUE(waitForLine("RX: hi<CR><LF>"));
    EXPECT_EQ(lines(), (Lines {"TX: AB<CR>", "RX: <ESC>abv", "RX: hi<CR><LF>", ""}));
    EXPECT_EQ(term->CmdGrid->currentIndex().row(), 3);

    term->LogBtn->click();
    EXPECT_FALSE(term->Log.IsOpen(Kind::Plain));
    EXPECT_EQ(dir.read("Pr\xC3\xBC" "fung.log"), "\x1B" "abv" "hi\r\n");   // received bytes only, unchanged
    EXPECT_TRUE(term->ExLogBtn->isEnabled());
    EXPECT_EQ(term->windowTitle(), "Terminal");
    EXPECT_EQ(term->LogBtn->toolTip(), "Start log");
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(TermFormTest, TheExtendedLogHoldsTheFinishedLines)
{
    openTerminal();
    ui.chooseFile(dir.file("ext.log"));
    term->ExLogBtn->click();
    EXPECT_FALSE(term->LogBtn->isEnabled());
    EXPECT_EQ(term->ExLogBtn->toolTip(), "Stop extended log");

    typeText(term->CmdEdit, "AB");
    pressCtrl(term->CmdEdit, 'M');
    pressKey(term->CmdEdit, Qt::Key_Return);
    driver->send("\x1B" "abv" "hi there\r\n");
    ASSERT_TRUE(waitForLine("RX: hi\xB7there<CR><LF>"));
    term->EnterBtn->click();
    term->ExLogBtn->click();

    EXPECT_EQ(dir.read("ext.log"), "TX: AB<CR>\r\nRX: <ESC>abv\r\nRX: hi\xB7there<CR><LF>\r\nTX: <ESC>[C\r\n"
                                   "RX: <ESC>H<CR><LF>\r\n");
    EXPECT_TRUE(term->LogBtn->isEnabled());
    EXPECT_EQ(term->ExLogBtn->toolTip(), "Start extended log");
}

TEST_F(TermFormTest, HostModeButtonsSendTheirCommandsWithoutChangingTheLink)
{
    openTerminal();
    const struct {
        QToolButton *TTermForm::*button;
        THostCommand entry;
    } buttons[] = {{&TTermForm::EnterBtn, hcEnterHost}, {&TTermForm::PrgBtn, hcProgramMode},
                   {&TTermForm::RAMBtn, hcSaveRAM},     {&TTermForm::EEPROMBtn, hcSaveEEPROM},
                   {&TTermForm::ExitBtn, hcExitHost}};
    for (const auto &b : buttons) {
        SCOPED_TRACE(HostCommands[b.entry].str());
        sim.clearTranscript();
        (term.data()->*b.button)->click();
        EXPECT_EQ(sim.receivedBytes(), HostCommands[b.entry].str());
        EXPECT_FALSE(link->InHostMode);
        EXPECT_TRUE(link->Monitoring);
        EXPECT_TRUE(term->BtnPanel->isEnabled());
    }
    const Lines shown = lines();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0], "TX: <ESC>[C");
    EXPECT_EQ(shown[1], "RX: <ESC>H<CR><LF>");   // the reply, shown as it came
    EXPECT_EQ(shown[shown.size() - 2], "RX: <ESC>X<CR><LF>");

    sim.clearTranscript();
    for (QAction *item : term->CommandsMenu->actions())
        if (item->text() == "Save to &RAM") item->trigger();
    EXPECT_EQ(sim.receivedBytes(), HostCommands[hcSaveRAM].str());
}

TEST_F(TermFormTest, SerialStartStopByteTableAndMacros)
{
    writeIni("[Misc]\nSerialStart=16\nSerialStop=17\n[TermMacros]\nGo=1B4142\nHi=6869\n");
    openTerminal();
    term->STXBtn->click();
    term->ETXBtn->click();
    EXPECT_EQ(sim.receivedBytes(), "\x10\x11");
    EXPECT_TRUE(term->CmdPanel->isEnabled());

    ASSERT_EQ(term->MacroCombo->count(), 2);
    EXPECT_EQ(term->MacroCombo->itemText(0), "Go=<ESC>AB");
    ASSERT_EQ(term->MacroMenu->actions().size(), 2);
    EXPECT_EQ(term->MacroMenu->actions()[1]->text(), "Hi=hi");
    sim.clearTranscript();
    term->MacroCombo->setCurrentIndex(1);
    emit term->MacroCombo->activated(1);
    EXPECT_EQ(term->MacroCombo->currentIndex(), -1);
    term->MacroMenu->actions()[0]->trigger();
    EXPECT_EQ(sim.receivedBytes(), "hi\x1B" "AB");

    ASSERT_EQ(term->ChrCombo->count(), 256);
    term->ChrCombo->setCurrentIndex(0x1B);
    emit term->ChrCombo->activated(0x1B);
    typeText(term->CmdEdit, "x");
    EXPECT_EQ(term->CmdEdit->Bytes(), "\x1Bx");
}

TEST_F(TermFormTest, TheDisplayKeeps300LinesOf40CharactersAtMost)
{
    openTerminal();
    std::string burst;
    for (int i = 1; i <= 301; ++i) burst += numbered(i);
    driver->send(burst);
    ASSERT_TRUE(waitForLine("RX: L301<LF>"));
    EXPECT_EQ(lines().size(), 300u);
    EXPECT_EQ(lines().front(), "RX: L003<LF>");
    EXPECT_EQ(term->CmdGrid->model()->rowCount(), 300);

    term->ClrScrnBtn->click();
    EXPECT_EQ(lines(), Lines {""});
    driver->send(std::string(41, 'x'));
    ASSERT_TRUE(waitForLine("RX: x"));
    EXPECT_EQ(lines(), (Lines {"RX: " + std::string(40, 'x'), "RX: x"}));
}

TEST_F(TermFormTest, FailedSendsLeaveThePanelsEnabled)
{
    openTerminal();
    link->ClosePort();
    ui.clear();
    term->EnterBtn->click();
    EXPECT_EQ(ui.warnings().size(), 1u);   // the port's error, through the default report
    EXPECT_TRUE(term->BtnPanel->isEnabled());
    term->STXBtn->click();
    EXPECT_EQ(ui.warnings().size(), 2u);
    EXPECT_TRUE(term->CmdPanel->isEnabled());
    EXPECT_FALSE(link->OperationRunning);
}

TEST_F(TermFormTest, ASendIsRefusedWhileAnotherOperationHoldsTheLink)
{
    openTerminal();
    {
        TLinkOperation running(*link);
        typeAndEnter("A");
        term->EnterBtn->click();
        term->MacroComboChange(0);
    }
    EXPECT_EQ(sim.receivedBytes(), "");
    EXPECT_EQ(term->CmdEdit->Bytes(), "A");   // kept for another try
    EXPECT_EQ(lines(), Lines {""});
    typeAndEnter("");
    EXPECT_EQ(sim.receivedBytes(), "A");
}

TEST_F(TermFormTest, TheWindowStaysWhileItsOwnSendWaits)
{
    openTerminal();
    bool closed = true;
    QTimer::singleShot(100ms, [&] { closed = term->close(); });
    typeAndEnter("A");   // waits 9 ticks for the answer
    EXPECT_FALSE(closed);
    PumpFor(50ms);
    ASSERT_FALSE(term.isNull());
    EXPECT_TRUE(link->HasTermView());
    EXPECT_TRUE(term->close());
}

TEST_F(TermFormTest, ALogWriteErrorClosesTheLogWithOneWarningAndDoesNotBreakAWait)
{
    openTerminal();
    ui.chooseFile("/dev/full");
    ui.answer(true);
    term->LogBtn->click();
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Overwrite /dev/full?"});
    ASSERT_TRUE(term->Log.IsOpen(Kind::Plain));

    // The reply's bytes reach the terminal inside the link's reply waits.
    EXPECT_TRUE(link->EnterHostMode());
    EXPECT_TRUE(link->ExitHostMode());
    EXPECT_TRUE(showsLine("RX: <ESC>H<CR><LF>"));
    EXPECT_FALSE(term->LogBtn->isChecked());
    EXPECT_TRUE(term->ExLogBtn->isEnabled());
    EXPECT_EQ(term->windowTitle(), "Terminal");
    ASSERT_TRUE(PumpUntil([&] { return !ui.warnings().empty(); }, 2s));
    driver->send("more\n");
    ASSERT_TRUE(waitForLine("RX: more<LF>"));
    ASSERT_EQ(ui.warnings().size(), 1u);
    EXPECT_EQ(ui.warnings()[0].rfind("Cannot write to log file /dev/full", 0), 0u) << ui.warnings()[0];
}

TEST_F(TermFormTest, NoLogWithoutAFileToWriteTo)
{
    openTerminal();
    dir.write("old.log", "keep");
    ui.chooseFile(dir.file("old.log"));
    ui.answer(false);   // do not overwrite
    term->LogBtn->click();
    ui.chooseFile(std::nullopt);   // the dialog is cancelled
    term->ExLogBtn->click();
    ui.chooseFile(dir.file("missing/x.log"));
    term->LogBtn->click();
    ::chmod(dir.file("old.log").c_str(), 0444);   // read-only: not even the superuser replaces it
    ui.chooseFile(dir.file("old.log"));
    ui.answer(true);
    term->LogBtn->click();

    EXPECT_EQ(dir.read("old.log"), "keep");
    EXPECT_EQ(ui.warnings().size(), 2u);   // the files that cannot be created
    EXPECT_EQ(term->Log.Kind(), Kind::None);
    for (QToolButton *b : {term->LogBtn, term->ExLogBtn}) {
        EXPECT_FALSE(b->isChecked());
        EXPECT_TRUE(b->isEnabled());
    }
}

TEST_F(TermFormTest, TheDeviceControlWindowsSentLinesAppearAmongTheReplies)
{
    openTerminal();
    QPointer<TCommForm> comm = new TCommForm;
    comm->ConnBtnClick();
    // The identification has no line end: the next sent line takes its place, and the ESC that follows
    // ends the still open raw line with an empty row.
    EXPECT_EQ(lines(), (Lines {"TX: <ESC>[C", "RX: <ESC>H<CR><LF>", "TX: <ESC>[E", "TX: <ESC>[D", "",
                               "RX: <ESC>L<CR><LF>", "RX: <ESC>AB<NUL>", "RX: <ESC>AC<SOH>", "RX: <CR><LF>",
                               "TX: <ESC>[A", "RX: <ESC>X<CR><LF>", ""}));
    delete comm.data();
}

TEST_F(TermFormTest, BoundsComeFromTheIniAndGoBackWhenTheWindowGoes)
{
    writeIni("[Forms]\nTerm=30,40,500,360\n");
    openTerminal();
    EXPECT_EQ(term->pos(), QPoint(30, 40));
    EXPECT_EQ(term->size(), QSize(500, 360));
    EXPECT_EQ(term->minimumWidth(), 420);
    term->move(50, 60);
    term->resize(480, 350);
    delete term.data();
    EXPECT_NE(dir.read("CORVANE.INI").find("Term=50,60,480,350"), std::string::npos);
    EXPECT_FALSE(link->HasTermView());
    EXPECT_EQ(TermForm, nullptr);
}

TEST_F(TermFormTest, ClosingUnregistersAtOnceAndClosesTheLog)
{
    openTerminal();
    EXPECT_EQ(TermForm, term.data());
    ui.chooseFile(dir.file("plain.log"));
    term->LogBtn->click();
    term->close();
    EXPECT_FALSE(link->HasTermView());
    driver->send("late");
    EXPECT_TRUE(PumpUntil([&] { return link->LineBuffer == "late"; }, 2s));   // read by the link, shown nowhere
    EXPECT_TRUE(term.isNull());
    EXPECT_EQ(dir.read("plain.log"), "");

    // Save a picture of the window for a person to look at.
    term = new TTermForm;
    term->show();
    term->resize(420, 300);
    driver->send("\x1B" "abv" "hello reader\r\n");
    waitForLine("RX: hello\xB7reader<CR><LF>");
    typeText(term->CmdEdit, "typed");
    PumpFor(100ms);
    term->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/corvane-terminal.png");
}
