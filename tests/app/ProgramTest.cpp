#include "Pty.h"
#include "Pump.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "ModalDriver.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/Setup.h"
#include "link/ReaderLink.h"
#include "link/DeviceControl.h"
#include "link/TerminalWindow.h"
#include "model/Settings.h"

#include <QComboBox>
#include <QMdiArea>
#include <QPushButton>
#include <QToolButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;
using testsupport::SimKind;

namespace {

// Runs `step` every 50 ms until it returns true.
void whenReady(std::function<bool()> step)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, step] {
        if (step()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(50);
}

const char *kTemplate = "STR: Test reader M100,,Info\r\nPAG: General\r\nENT: Beep,1B4142=On,01\r\nVAL: Off,00\r\nVAL: On,01\r\n";

} // namespace

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        for (int n = 1; n <= 50; ++n) unsetenv(("SERIAL_COM" + std::to_string(n)).c_str());   // only this test's ports
        Settings = TCVSetup {};
        dir.write("dev/M100.TPL", kTemplate);
    }
    void writeIni(const std::string &extra)
    {
        dir.write("CORVANE.INI", "[Port]\r\nPort=1\r\nBaud=9600\r\n[Misc]\r\nNoBmp=1\r\n" + extra + "[M100]\r\nDevPath=" +
                                     dir.path().string() + "/dev\r\nDevTpl=M100.TPL\r\n");
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
};

TEST_F(ProgramTest, StartsConnectsAtOnceAndExitsWithYes)
{
    testsupport::Pty pty;
    testsupport::ReaderSim sim;
    sim.setFactory({testsupport::readerRecord("AB", 1)});
    testsupport::ReaderSimGuiDriver driver(sim, pty.masterFd());
    setenv("SERIAL_COM1", pty.devicePath().c_str(), 1);
    writeIni("");

    bool connected = false;
    whenReady([&] {
        if (!CommDM || !CommDM->Connected || CommDM->OperationRunning) return false;
        connected = true;
        ui.answer(true);   // "Exit Corvane?"
        MainForm->close();
        return true;
    });
    const int result = CorvaneMain(dir.file("corvane"), ",1B5B43,1");

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(connected);
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Identify, SimKind::Dump, SimKind::Exit}));
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Exit Corvane?"});
    EXPECT_TRUE(ui.warnings().empty());
    const std::string ini = dir.read("CORVANE.INI");
    EXPECT_NE(ini.find("[Forms]"), std::string::npos);
    EXPECT_NE(ini.find("Term=-1,-1,-1,-1"), std::string::npos);
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(CommDM, nullptr);
}

TEST_F(ProgramTest, WithoutASerialDeviceOneErrorAndAUsableWindow)
{
    setenv("SERIAL_COM1", dir.file("no-such-device").c_str(), 1);
    writeIni("");
    bool opened = false;
    whenReady([&] {
        if (!CommForm) return false;
        opened = true;
        EXPECT_TRUE(CommForm->ConnBtn->isEnabled());
        EXPECT_FALSE(CommForm->PortLed->Lit());
        ui.answer(true);
        MainForm->close();
        return true;
    });
    const int result = CorvaneMain(dir.file("corvane"), "");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(opened);
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"ie_BadId - Specified comport doesn't exist: COM1, " +
                                                       dir.file("no-such-device") +
                                                       ". No serial port is present: plug in the reader's adapter, "
                                                       "then choose its port in Setup"});
}

TEST_F(ProgramTest, AtTheFirstStartAPortWithoutDeviceNamesThePortsPresentAndSetupChoosesOne)
{
    testsupport::Pty adapter;
    testsupport::ReaderSim sim;
    testsupport::ReaderSimGuiDriver driver(sim, adapter.masterFd());
    setenv("SERIAL_COM1", dir.file("no-such-device").c_str(), 1);
    setenv("SERIAL_COM3", adapter.devicePath().c_str(), 1);
    bool chosen = false;
    whenReady([&] {
        if (!CommForm) return false;
        EXPECT_EQ(ui.warnings(), std::vector<std::string> {
                                     "ie_BadId - Specified comport doesn't exist: COM1, " + dir.file("no-such-device") +
                                     ". Ports present: COM3. Choose the reader's port in Setup, or type 0 as the port "
                                     "there to be asked for it in the \"Select Port\" dialog each time the port opens"});
        testsupport::OnModal<TSetupForm> user([](TSetupForm &setup) {
            setup.PortCombo->setCurrentIndex(setup.PortCombo->findText("COM3"));
            setup.OkBtn->click();
        });
        ui.answer(true);   // "Update device control?"
        MainForm->SetupBtn->click();
        chosen = CommDM->ComPort.Open() && CommDM->ComPort.ComNumber() == 3;
        ui.answer(true);   // "Exit Corvane?"
        MainForm->close();
        return true;
    });
    EXPECT_EQ(CorvaneMain(dir.file("corvane"), ""), 0);
    unsetenv("SERIAL_COM3");
    EXPECT_TRUE(chosen);
    EXPECT_EQ(ui.warnings().size(), 1u);
    EXPECT_NE(dir.read("CORVANE.INI").find("Port=3"), std::string::npos);
}

TEST_F(ProgramTest, ClosingWhileTheLinkWaitsIsPostponed)
{
    setenv("SERIAL_COM1", dir.file("no-such-device").c_str(), 1);
    writeIni("");
    int step = 0;
    std::chrono::steady_clock::time_point busySince;
    whenReady([&] {
        if (!CommForm) return false;
        if (step == 0) {
            ui.clear();
            CommDM->Busy = true;   // a reply wait in progress
            MainForm->close();
            EXPECT_TRUE(MainForm->isVisible());
            EXPECT_TRUE(CommDM->AbortConnect);
            EXPECT_TRUE(ui.questions().empty());
            busySince = std::chrono::steady_clock::now();
            step = 1;
            return false;
        }
        if (std::chrono::steady_clock::now() - busySince < 1500ms) return false;
        EXPECT_TRUE(ui.questions().empty());   // retried every second, still without a question
        ui.answer(false);                      // the first question after the wait: No
        ui.answer(true);
        CommDM->Busy = false;
        return true;
    });
    whenReady([&] {
        if (ui.questions().size() < 1) return false;
        if (ui.questions().size() == 1) {
            EXPECT_TRUE(MainForm->isVisible());   // No keeps the program running, and the retry timer stopped
            EXPECT_FALSE(MainForm->CloseTimer->isActive());
            MainForm->close();
        }
        return true;
    });
    EXPECT_EQ(CorvaneMain(dir.file("corvane"), ""), 0);
    EXPECT_EQ(ui.questions().size(), 2u);
}

TEST_F(ProgramTest, ExitFreesTheTerminalWhichKeepsItsBounds)
{
    setenv("SERIAL_COM1", dir.file("no-such-device").c_str(), 1);
    writeIni("[Forms]\r\nTerm=30,40,500,360\r\n");
    whenReady([&] {
        if (!CommForm) return false;
        MainForm->TermBtnClick();
        EXPECT_EQ(TermForm->geometry(), QRect(30, 40, 500, 360));
        TermForm->move(25, 35);
        TermForm->resize(480, 350);
        ui.answer(true);   // "Exit Corvane?"
        MainForm->close();
        return true;
    });
    EXPECT_EQ(CorvaneMain(dir.file("corvane"), ""), 0);
    EXPECT_EQ(TermForm, nullptr);
    EXPECT_NE(dir.read("CORVANE.INI").find("Term=25,35,480,350"), std::string::npos);
}
