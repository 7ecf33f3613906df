// The program INI handed out read-only: every action that saves the settings along the way still does its work,
// and the user is told once that the settings are not saved.

#include "ModalDriver.h"
#include "Pty.h"
#include "Pump.h"
#include "ReaderConfigStore.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "app/MainWindow.h"
#include "app/Setup.h"
#include "editor/OverflowCalculator.h"
#include "link/DeviceControl.h"
#include "link/MacroEditor.h"
#include "link/ReaderLink.h"
#include "link/TerminalWindow.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "serial/SerMisc.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

using testsupport::OnModal;

class ReadOnlyIniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM1", com1.devicePath().c_str(), 1);
        setenv("SERIAL_COM2", com2.devicePath().c_str(), 1);
        dir.write("dev/M100.TPL", "STR: Test reader M100,,Info\r\nPAG: General\r\nENT: Beep,1B4142=On,01\r\n"
                                  "VAL: Off,00\r\nVAL: On,01\r\n");
        ini = dir.write("CORVANE.INI", "[Port]\r\nPort=1\r\nBaud=9600\r\nParity=0\r\nData=8\r\nStop=1\r\nMaxPort=2\r\n"
                                       "[M100]\r\nDevPath=" + dir.path().string() + "/dev\r\nDevTpl=M100.TPL\r\n");
        ::chmod(ini.c_str(), 0444);
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
        ReadSettings();
        sim.setFactory({testsupport::readerRecord("AB", 1)});
        driver = std::make_unique<testsupport::ReaderSimGuiDriver>(sim, com1.masterFd());
        window = new TMainForm;
        window->show();
    }
    void TearDown() override
    {
        delete window.data();
        driver.reset();
    }

    std::string notSaved() const
    {
        return "The settings were not saved.\rUnable to write to " + ini + ": Permission denied";
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    testsupport::Pty com1, com2;
    testsupport::ReaderSim sim;
    std::unique_ptr<testsupport::ReaderSimGuiDriver> driver;
    std::string ini;
    QPointer<TMainForm> window;
};

TEST_F(ReadOnlyIniTest, ActionsThatSaveTheSettingsCompleteAndSayOnceThatTheyAreNotSaved)
{
    const std::string before = dir.read("CORVANE.INI");
    window->CommBtnClick();
    ASSERT_NE(CommForm, nullptr);
    for (int round = 0; round < 2; ++round) {
        CommForm->ConnBtnClick();
        EXPECT_TRUE(CommDM->Connected) << round;
        EXPECT_TRUE(CommForm->GetCfgBtn->isEnabled()) << "Device Control commands after Connect " << round;
        EXPECT_TRUE(CommForm->SendCfgBtn->isEnabled()) << round;
        EXPECT_EQ(ui.warnings(), std::vector<std::string> {notSaved()}) << "once, not at every Connect";
    }

    ui.answer(true);   // "Update device control?"
    OnModal<TSetupForm> setup([](TSetupForm &form) {
        form.PortCombo->setCurrentIndex(1);
        form.OkBtn->click();
    });
    window->SetupBtnClick();
    EXPECT_TRUE(setup.ran());
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Update device control?"});
    EXPECT_EQ(Settings.Port, 2);
    EXPECT_EQ(CommDM->ComPort.ComNumber(), 2) << "the port changed after Setup";

    {
        TOverForm overflow(window);
        overflow.show();
        overflow.INBtn->click();
        EXPECT_TRUE(Settings.Inches);
        EXPECT_EQ(overflow.ModUM->text(), "mils");
        EXPECT_EQ(overflow.MinUM->text(), "in");
    }

    window->TermBtnClick();
    ASSERT_NE(TermForm, nullptr);
    bool accepted = false;
    OnModal<TMacroForm> macros([&](TMacroForm &form) {
        form.InsBtn->click();
        form.NameEdit->setText("Hello");
        form.OkBtn->click();
        accepted = form.result() == QDialog::Accepted && !form.isVisible();
        if (form.isVisible()) form.reject();
    });
    TermForm->MacroBtnClick();
    EXPECT_TRUE(accepted) << "the Macro Editor closes with OK";
    EXPECT_EQ(Settings.TermMacroList, std::vector<std::string> {"Hello="});

    ui.answer(true);   // "Exit Corvane?"
    EXPECT_TRUE(window->close());
    ClearQuitRequest();   // the program's end, which the close asked for, is not the next test's
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {notSaved()});
    EXPECT_EQ(dir.read("CORVANE.INI"), before);
}
