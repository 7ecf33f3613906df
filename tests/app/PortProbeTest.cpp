// Looking for ports leaves a port that another program uses as that program set it, and a virtual port whose
// maker holds only its master side up.

#include "ForeignTerminal.h"
#include "ModalDriver.h"
#include "Pty.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "app/Setup.h"
#include "link/AutoScan.h"
#include "link/ReaderLink.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"
#include "serial/SerPortSelectDialog.h"

#include <QComboBox>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using testsupport::OnModal;

namespace {

class PortProbeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM1", reader.devicePath().c_str(), 1);
        setenv("SERIAL_COM2", terminalLine.devicePath().c_str(), 1);
        setenv("SERIAL_COM3", virtualPort.devicePath().c_str(), 1);
        dir.write("CORVANE.INI", "[Port]\nPort=1\n[Misc]\nAutoBaud=9600\nDefTimeout=4\n");
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
        ReadSettings();
        link = std::make_unique<TCommDM>();
        CommDM = link.get();
        Template = &tpl;
    }
    void TearDown() override
    {
        CommDM = nullptr;
        link.reset();
        Template = nullptr;
        unsetenv("SERIAL_COM2");
        unsetenv("SERIAL_COM3");
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    testsupport::Pty reader, terminalLine;
    testsupport::Pty virtualPort {testsupport::Pty::Slave::NeverOpened};
    TTemplate tpl;
    std::unique_ptr<TCommDM> link;
};

} // namespace

TEST_F(PortProbeTest, PortDialogSetupAndAutoConnectLeaveAnotherProgramsLineAsItWas)
{
    testsupport::ForeignTerminal terminal(terminalLine.devicePath());
    const testsupport::TtyLineState before = testsupport::ReadLineState(terminalLine.devicePath());

    {
        TComSelectForm select;
        EXPECT_GE(select.PortsComboBox->findText("COM2"), 0);   // listed: it is there, only in use
        EXPECT_GE(select.PortsComboBox->findText("COM3"), 0);
    }
    EXPECT_TRUE(testsupport::ReadLineState(terminalLine.devicePath()) == before) << "port selection dialog";
    EXPECT_FALSE(virtualPort.masterHungUp()) << "port selection dialog";

    {
        OnModal<TSetupForm> user([](TSetupForm &form) {
            EXPECT_GE(form.PortCombo->findText("COM2"), 0);
            form.reject();
        });
        TSetupForm setup(nullptr);
        setup.exec();
        EXPECT_TRUE(user.ran());
    }
    EXPECT_TRUE(testsupport::ReadLineState(terminalLine.devicePath()) == before) << "Setup";
    EXPECT_FALSE(virtualPort.masterHungUp()) << "Setup";

    {
        OnModal<TAutoForm> scan([](TAutoForm &) {});   // no reader answers: the scan runs to its end
        EXPECT_FALSE(link->AutoConnect());
        EXPECT_TRUE(scan.ran());
    }
    EXPECT_TRUE(testsupport::ReadLineState(terminalLine.devicePath()) == before) << "auto-connect";
}
