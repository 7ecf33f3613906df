#include "LinkFixture.h"

#include "FakeTtyDriver.h"
#include "ModalDriver.h"
#include "link/AutoScan.h"
#include "link/DeviceControl.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>
#include <thread>

#include <sys/stat.h>

using namespace std::chrono_literals;
using testsupport::readerRecord;
using testsupport::SimKind;

namespace {

class RecordingMainView final : public IMainView {
public:
    void UpdateMultiMenu(bool useDefault) override { calls.push_back(useDefault ? "UpdateMultiMenu(true)" : "UpdateMultiMenu(false)"); }
    void OpenEditView() override { calls.push_back("OpenEditView"); }
    void EnableSpecialMenu(bool enabled) override { calls.push_back(enabled ? "EnableSpecialMenu(true)" : "EnableSpecialMenu(false)"); }
    void CommViewCreated() override { calls.push_back("CommViewCreated"); }
    std::vector<std::string> calls;
};

QStringList logLines(const TCommForm &form)
{
    return form.LogMemo->toPlainText().split('\n', Qt::SkipEmptyParts);
}

} // namespace

class CommFormTest : public LinkFixture {
protected:
    // The reader goes away with the far end of its line, as an adapter that is pulled out.
    void unplug()
    {
        driver.reset();
        pty.closeMaster();
    }
    void expectPortShownClosed()
    {
        EXPECT_EQ(link->ComPort.PortState(), TPortState::PortClosed);
        EXPECT_FALSE(form->PortLed->Lit());
        EXPECT_FALSE(form->TxLed->Lit());
        EXPECT_FALSE(form->RxLed->Lit());
        EXPECT_FALSE(form->Lights.Monitoring());
        EXPECT_FALSE(link->Connected);
        EXPECT_TRUE(form->body()->isEnabled());
        EXPECT_FALSE(link->OperationRunning);
        EXPECT_TRUE(logLines(*form).contains(lostLine(pty.devicePath()))) << logLines(*form).join('|').toStdString();
    }
    static QString lostLine(const std::string &path)
    {
        return QString::fromStdString("Device lost: COM1, " + path + ". Plug the device in and press Connect")
            .replace(' ', QChar(0xB7));
    }
    std::string lostError() const
    {
        return "ie_NOpen - device not open: COM1, " + pty.devicePath() + " was lost (it hung up or was unplugged)";
    }
    // Unplugs the reader as soon as it has received its first enter-host-mode command.
    void unplugAtTheFirstEnter(QTimer &watch)
    {
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (sim.count(SimKind::Enter) == 0) return;
            watch.stop();
            unplug();
        });
        watch.start(2);
    }
    // Connects, then runs Get through its button with the dump on; the reader is unplugged as soon as the
    // configuration read is shown, before the program lets it out of host mode.
    void getAndUnplugRightAfterTheRead()
    {
        openWindow();
        form->ConnBtnClick();
        Settings.Debug = true;
        struct : IEditView {
            CommFormTest *test;
            void RefreshAll() override { test->unplug(); }
        } editor;
        editor.test = this;
        link->EditView = &editor;
        QMetaObject::invokeMethod(form->GetCfgBtn, "click");
        link->EditView = nullptr;
        ASSERT_FALSE(driver);
    }
    void expectNotConnected()
    {
        EXPECT_FALSE(link->Connected);
        EXPECT_EQ(form->DisplayPanel->text(), " NOT CONNECTED");
        EXPECT_EQ(form->HostGroup->title(), "");
        EXPECT_FALSE(form->GetCfgBtn->isEnabled());
        EXPECT_TRUE(form->body()->isEnabled());
        EXPECT_EQ(mainView.calls.back(), "EnableSpecialMenu(true)");
    }

    void openWindow()
    {
        startLink();
        link->MainView = &mainView;
        form = new TCommForm;
        form->show();
        ui.onWarning = [this] {
            if (form) statusAtWarnings.push_back(form->DisplayPanel->text().toStdString());
        };
    }
    void TearDown() override
    {
        delete form.data();
        LinkFixture::TearDown();
    }

    RecordingMainView mainView;
    QPointer<TCommForm> form;
    std::vector<std::string> statusAtWarnings;   // what the window showed as each warning came
};

TEST_F(CommFormTest, ConnectReadsTheConfigurationIntoTheTemplate)
{
    writeIni("[Misc]\nDebug=1\n");
    testsupport::ScopedCwd cwd(dir.path());
    openWindow();
    form->LogBtn->setChecked(true);
    form->ConnBtnClick();

    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Identify, SimKind::Dump, SimKind::Exit}));
    EXPECT_EQ(logLines(*form), (QStringList {"TX:\u00B7<ESC>[C", "RX:\u00B7<ESC>H<CR><LF>", "TX:\u00B7<ESC>[E",
                                             "Device:\u00B7M100", "Template:\u00B7M100", "Loading...OK", "Info:\u00B7V1.2",
                                             "TX:\u00B7<ESC>[D", "RX:\u00B7<ESC>L<CR><LF>", "RX:\u00B7<Configuration...>",
                                             "RX:\u00B7<CR><LF>", "TX:\u00B7<ESC>[A", "RX:\u00B7<ESC>X<CR><LF>", "OK"}));
    EXPECT_EQ(form->HostGroup->title(), "Device: M100");
    EXPECT_EQ(form->PortGroup->title(), "Port: COM1,9600,N81");
    EXPECT_EQ(form->DisplayPanel->text(), " M100 V1.2");
    EXPECT_FALSE(tpl.IsEmpty());
    EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {readerRecord("AB", 0), readerRecord("AC", 1)}));
    EXPECT_TRUE(link->Connected);
    EXPECT_FALSE(link->InHostMode);
    EXPECT_TRUE(form->GetCfgBtn->isEnabled());
    EXPECT_TRUE(form->body()->isEnabled());
    EXPECT_EQ(mainView.calls, (std::vector<std::string> {"CommViewCreated", "EnableSpecialMenu(false)",
                                                         "UpdateMultiMenu(false)", "EnableSpecialMenu(true)", "OpenEditView"}));
    EXPECT_NE(dir.read("DUMPCFG.TXT").find("Configuration Dump - M100 V1.2"), std::string::npos);
    EXPECT_NE(dir.read("CORVANE.INI").find("[Forms]"), std::string::npos);   // the INI was written
    EXPECT_TRUE(ui.log().empty());
}

// A dump that cannot be written is reported with its folder once the reader is out of host mode and the result
// is shown; the configuration is read all the same.
TEST_F(CommFormTest, ADumpThatCannotBeWrittenIsReportedOnceAndConnectGoesOn)
{
    writeIni("[Misc]\nDebug=1\n");
    testsupport::ScopedCwd cwd(dir.path());
    ::chmod(dir.write("DUMPCFG.TXT", "old dump").c_str(), 0444);
    openWindow();
    for (int round = 0; round < 2; ++round) {
        form->ConnBtnClick();
        EXPECT_TRUE(link->Connected) << round;
        EXPECT_FALSE(link->InHostMode) << round;
        EXPECT_TRUE(form->GetCfgBtn->isEnabled()) << round;
        EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {readerRecord("AB", 0), readerRecord("AC", 1)}));
        EXPECT_EQ(form->DisplayPanel->text(), " M100 V1.2") << round;
        EXPECT_EQ(ui.warnings(), std::vector<std::string> {"The configuration dump was not written.\rUnable to write "
                                                           "DUMPCFG.TXT in " + dir.path().string() + ": Permission denied"});
        EXPECT_EQ(statusAtWarnings, std::vector<std::string> {" Configuration received"});
    }
    EXPECT_EQ(dir.read("DUMPCFG.TXT"), "old dump");
}

// The reader is lost after the read, before it leaves host mode: the dump is written all the same, and a dump
// that cannot be written is reported after the failed leave, before the loss.
TEST_F(CommFormTest, AReaderLostRightAfterTheReadStillGetsItsDump)
{
    testsupport::ScopedCwd cwd(dir.path());
    getAndUnplugRightAfterTheRead();
    EXPECT_NE(dir.read("DUMPCFG.TXT").find("Configuration Dump - M100 V1.2"), std::string::npos);
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {lostError()});
}

TEST_F(CommFormTest, ADumpThatCannotBeWrittenIsReportedAfterAFailedLeave)
{
    testsupport::ScopedCwd cwd(dir.path());
    ::chmod(dir.write("DUMPCFG.TXT", "old dump").c_str(), 0444);
    getAndUnplugRightAfterTheRead();
    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"The configuration dump was not written.\rUnable to write "
                                                        "DUMPCFG.TXT in " + dir.path().string() + ": Permission denied",
                                                        lostError()}));
    EXPECT_EQ(statusAtWarnings, (std::vector<std::string> {" Transfer failed!", " Transfer failed!"}));
}

TEST_F(CommFormTest, ConnectReadsTheConfigurationThroughAUsbSerialAdapter)
{
    testsupport::FakeTtyDriver adapter;
    adapter.add(pty.devicePath(), testsupport::FakeTtyDriver::Kind::UsbSerial);
    openWindow();
    ASSERT_EQ(link->ComPort.PortState(), TPortState::PortOpen);
    form->ConnBtnClick();
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Identify, SimKind::Dump, SimKind::Exit}));
    EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {readerRecord("AB", 0), readerRecord("AC", 1)}));
    EXPECT_EQ(form->DisplayPanel->text(), " M100 V1.2");
    EXPECT_TRUE(ui.log().empty());
}

TEST_F(CommFormTest, ConnectWithAMissingTemplateLeavesHostModeAndStaysUsable)
{
    writeIni("[M300]\nDevTpl=NOPE.TPL\n");
    sim.setIdentification("M300 X");
    openWindow();
    form->ConnBtnClick();

    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::Identify, SimKind::Exit}));
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Template NOPE.TPL not found!"});
    EXPECT_TRUE(tpl.IsEmpty());
    EXPECT_FALSE(link->InHostMode);
    EXPECT_TRUE(link->Monitoring);
    EXPECT_TRUE(form->body()->isEnabled());
    EXPECT_TRUE(form->GetCfgBtn->isEnabled());
    EXPECT_EQ(mainView.calls.back(), "OpenEditView");

    form->GetCfgBtnClick();
    EXPECT_EQ(ui.warnings().back(), "No template available!");
    EXPECT_EQ(sim.count(SimKind::Enter), 1);
}

TEST_F(CommFormTest, AFailedConnectDisablesTheCommands)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    ParseCommandLine(",1B3031");   // remoted: no auto-connect
    sim.setSilent(true);
    openWindow();
    form->ConnBtnClick();
    EXPECT_EQ(form->DisplayPanel->text(), " NOT CONNECTED");
    EXPECT_EQ(form->HostGroup->title(), "");
    EXPECT_FALSE(form->GetCfgBtn->isEnabled());
    EXPECT_TRUE(form->body()->isEnabled());
    EXPECT_EQ(mainView.calls.back(), "EnableSpecialMenu(true)");
}

TEST_F(CommFormTest, AConnectOnAPortThatCannotBeUsedShowsItIsNotConnected)
{
    openWindow();
    form->ConnBtnClick();
    {
        // The GUI thread is held up as the close begins, as on a loaded machine, while the reader sends a byte:
        // the close goes on once the port's threads have its message on the way, and must not wait for it.
        TSerBaseDispatcher *dispatcher = link->ComPort.Dispatcher();
        bool onItsWay = false;
        TSerCustomComPort::CloseHook = [&] {
            pty.write("x");
            const auto until = std::chrono::steady_clock::now() + 10s;
            while (!(onItsWay = dispatcher->Dispatching()) && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
        };
        struct Unhook {
            ~Unhook() { TSerCustomComPort::CloseHook = nullptr; }
        } unhook;
        link->ClosePort();
        ASSERT_TRUE(onItsWay);
    }
    EXPECT_EQ(link->ComPort.PortState(), TPortState::PortClosed);
    ui.clear();
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    EXPECT_EQ(ui.warnings().size(), 1u);   // the port's error, through the default report
    EXPECT_EQ(form->DisplayPanel->text(), " NOT CONNECTED");
    EXPECT_EQ(form->HostGroup->title(), "");
    EXPECT_FALSE(form->GetCfgBtn->isEnabled());
    EXPECT_TRUE(form->body()->isEnabled());
    EXPECT_EQ(mainView.calls.back(), "EnableSpecialMenu(true)");
}

TEST_F(CommFormTest, FixedClientAreaWhoseControlsStayPutWhenAConnectFails)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    ParseCommandLine(",1B3031");   // remoted: no auto-connect
    sim.setSilent(true);
    openWindow();
    PumpFor(20ms);
    EXPECT_EQ(form->widget()->size(), QSize(205, 328));
    const QSize frame = form->size();
    form->resize(frame + QSize(100, 100));
    EXPECT_EQ(form->size(), frame);

    std::vector<std::pair<QWidget *, QRect>> before;
    for (QWidget *child : form->body()->findChildren<QWidget *>()) before.emplace_back(child, child->geometry());
    form->ConnBtnClick();
    PumpFor(20ms);
    ASSERT_EQ(form->HostGroup->title(), "");
    for (const auto &[child, at] : before)
        EXPECT_EQ(child->geometry(), at) << child->metaObject()->className() << " " << child->objectName().toStdString();
}

TEST_F(CommFormTest, APortErrorDuringGetLeavesTheWindowUsable)
{
    openWindow();
    form->ConnBtnClick();
    ui.clear();
    link->ClosePort();
    QMetaObject::invokeMethod(form->GetCfgBtn, "click");
    EXPECT_EQ(ui.warnings().size(), 1u);   // the port's error, through the default report
    EXPECT_TRUE(form->body()->isEnabled());
    EXPECT_TRUE(form->CommandsMenu->menuAction()->isEnabled());
    EXPECT_EQ(form->DisplayPanel->text(), " Transfer failed!");
    EXPECT_FALSE(link->OperationRunning);
}

TEST_F(CommFormTest, DeviceErrorsAreLoggedAndShown)
{
    openWindow();
    form->AddLog("\x1BW12 bad\r\n", true);
    form->AddLog("A B", true);
    form->AddLog("not forced", false);
    EXPECT_EQ(logLines(*form), (QStringList {"12 bad", "A\u00B7B"}));
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Error 12 bad"});
    form->ShowStatus("a b");
    EXPECT_EQ(form->DisplayPanel->text(), " a b");
}

TEST_F(CommFormTest, TheLogKeepsTwoHundredLines)
{
    openWindow();
    for (int i = 1; i <= 201; ++i) form->AddLog("line" + std::to_string(i), true);
    const QStringList lines = logLines(*form);
    EXPECT_EQ(lines.size(), 200);
    EXPECT_EQ(lines.front(), "line2");
}

TEST_F(CommFormTest, SendSavesToEepromAndKeepsTheRecordsOutOfTheLog)
{
    sim.setEepromDelay(1500ms);
    openWindow();
    form->ConnBtnClick();
    form->LogBtn->setChecked(true);
    form->LogMemo->clear();
    sim.clearTranscript();
    tpl.SetEntryValue(tpl.Pages(0).Entries(1), 0);   // Volume: Low
    form->EEPROMBtn->click();
    EXPECT_EQ(form->EEPROMBtn->text(), "EEPROM");
    ui.answer(true);
    form->SendCfgBtnClick();

    EXPECT_EQ(sim.receivedBytes(), std::string("\x1B[C\x1B[B") + readerRecord("AB", 0) + readerRecord("AC", 0) +
                                       "\x1BIA \x1B[A");
    EXPECT_EQ(sim.eeprom().value("\x1B" "AC"), 0);
    EXPECT_EQ(form->DisplayPanel->text(), " Configuration sent");
    EXPECT_TRUE(form->LogBtn->isChecked());
    EXPECT_FALSE(logLines(*form).contains("TX:\u00B7<ESC>AB<NUL>"));
    EXPECT_TRUE(logLines(*form).contains("TX:\u00B7<ESC>[C"));
}

TEST_F(CommFormTest, EepromOnlyKeepsTheButtonDown)
{
    writeIni("");
    dir.write("CORVANE.INI", dir.read("CORVANE.INI") + "EEPROMOnly=1\n");
    openWindow();
    form->ConnBtnClick();
    EXPECT_TRUE(form->EEPROMBtn->isChecked());
    EXPECT_EQ(form->EEPROMBtn->text(), "EEPROM");
    form->EEPROMBtn->click();
    EXPECT_TRUE(form->EEPROMBtn->isChecked());
    form->EEPROMItem->trigger();
    EXPECT_TRUE(form->EEPROMBtn->isChecked());
    EXPECT_TRUE(form->EEPROMItem->isChecked());
}

TEST_F(CommFormTest, DefaultThenUpdateTheEditor)
{
    sim.setRam({readerRecord("AB", 1), readerRecord("AC", 0)});
    openWindow();
    form->ConnBtnClick();
    sim.clearTranscript();
    ui.answer(true);   // "Update edit window?"
    form->DefaultBtnClick();
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Update edit window?\rWarning: the current configuration will be overwritten!"});
    EXPECT_TRUE(sim.expectSequence({SimKind::Enter, SimKind::ProgramMode, SimKind::RestoreDefaults, SimKind::SaveRam,
                                    SimKind::Exit, SimKind::Enter, SimKind::Dump, SimKind::Exit}));
    EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {readerRecord("AB", 0), readerRecord("AC", 1)}));
    EXPECT_EQ(form->DisplayPanel->text(), " Configuration received");
}

TEST_F(CommFormTest, DefaultWithAFailedEepromSaveIsAFailure)
{
    openWindow();
    form->ConnBtnClick();
    form->EEPROMBtn->click();
    sim.setDeviceError(SimKind::SaveEeprom, "E2 write");
    ui.clear();
    ui.answer(true);   // "Save to EEPROM?"
    form->DefaultBtnClick();
    EXPECT_EQ(sim.count(SimKind::SaveEeprom), 1);
    EXPECT_EQ(form->DisplayPanel->text(), " Command failed!");
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Save to EEPROM?"});   // no offer to update the editor
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Error E2 write"});
    EXPECT_FALSE(link->InHostMode);
}

TEST_F(CommFormTest, CustomCommandsFromButtonAndMenu)
{
    const std::string buttons = "CustomBtn2=Shut,Shutter,1B5331\nCustomBtn3=Odd,Odd reply,1B5332\n";
    writeIni("[Reserved]\n" + buttons);
    dir.write("CORVANE.INI", dir.read("CORVANE.INI") + buttons);   // the model's own buttons (it has a DevPath)
    sim.addCustomCommand("\x1B" "S1", "OK\r\n");
    sim.addCustomCommand("\x1B" "S2", "no line end");
    openWindow();
    EXPECT_FALSE(form->CustBtn[0]->isVisibleTo(form.data()));
    EXPECT_TRUE(form->CustBtn[1]->isVisibleTo(form.data()));
    EXPECT_EQ(form->CustBtn[1]->text(), "Shut");
    EXPECT_EQ(form->CustItem[1]->text(), "Shutter");
    EXPECT_TRUE(form->Sep3->isVisible());
    form->ConnBtnClick();
    sim.clearTranscript();

    form->CustItem[1]->trigger();
    EXPECT_EQ(sim.receivedBytes(), "\x1B[C\x1B" "S1\x1B[A");
    EXPECT_EQ(form->DisplayPanel->text(), " Shutter OK");

    form->CustBtn[2]->click();
    EXPECT_EQ(form->DisplayPanel->text(), " Command failed!");
    EXPECT_FALSE(link->InHostMode);
}

TEST_F(CommFormTest, ASecondOperationIsRefusedWhileOneRuns)
{
    openWindow();
    TLinkOperation running(*link);
    form->GetCfgBtnClick();
    form->ConnBtnClick();
    EXPECT_TRUE(sim.received().empty());
}

TEST_F(CommFormTest, ClosingLeavesHostModeAndUnregisters)
{
    openWindow();
    form->ConnBtnClick();
    form->InterBtn->click();
    EXPECT_TRUE(link->Interactive);
    EXPECT_TRUE(form->InterItem->isChecked());
    form->close();
    PumpFor(50ms);
    EXPECT_TRUE(form.isNull());
    EXPECT_FALSE(link->HasCommView());
    EXPECT_FALSE(link->Interactive);
    EXPECT_EQ(CommForm, nullptr);
}

TEST_F(CommFormTest, AnIdleDeviceThatIsLostClosesThePortAndTheNextCommandSaysSo)
{
    openWindow();
    form->ConnBtnClick();
    ASSERT_TRUE(form->PortLed->Lit());
    ASSERT_TRUE(form->Lights.Monitoring());
    unplug();
    ASSERT_TRUE(PumpUntil([&] { return link->ComPort.PortState() == TPortState::PortClosed; }, 2s));
    expectPortShownClosed();
    EXPECT_EQ(form->DisplayPanel->text(), " Device lost!");
    form->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/device-control-lost.png");

    ui.clear();
    const auto start = std::chrono::steady_clock::now();
    QMetaObject::invokeMethod(form->GetCfgBtn, "click");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {lostError()});
    EXPECT_EQ(form->DisplayPanel->text(), " Transfer failed!");
}

TEST_F(CommFormTest, ADeviceLostDuringAConfigurationDumpEndsTheConnectPromptly)
{
    testsupport::ReaderSim::DumpOptions slow;
    slow.gap = 20ms;
    sim.setDumpOptions(slow);
    openWindow();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (sim.count(SimKind::Dump) == 0) return;
        watch.stop();
        QTimer::singleShot(60, [&] { unplug(); });
    });
    watch.start(2);
    const auto start = std::chrono::steady_clock::now();
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(driver);   // the loss came during the dump
    EXPECT_LT(took - 60ms, 2s);
    expectPortShownClosed();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {lostError()});
    EXPECT_EQ(mainView.calls.back(), "EnableSpecialMenu(true)");   // no editor opened for a lost reader
}

TEST_F(CommFormTest, ADeviceLostDuringHostModeEntryShowsNotConnected)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setSilent(true);
    openWindow();
    QTimer watch;
    unplugAtTheFirstEnter(watch);
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    ASSERT_FALSE(driver);
    expectNotConnected();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {lostError()});
    ASSERT_TRUE(PumpUntil([&] { return link->ComPort.PortState() == TPortState::PortClosed; }, 2s));
    expectPortShownClosed();
}

TEST_F(CommFormTest, ADeviceLostDuringTheAutoConnectScanEndsItWithNothingFound)
{
    writeIni("[Misc]\nDefTimeout=8\nAutoBaud=9600,4800,2400\nAutoMode=1\n");   // slow: an exit after each try
    sim.setSilent(true);
    openWindow();
    int scanResult = -1;
    testsupport::OnModal<TAutoForm> user([&](TAutoForm &dialog) {
        QObject::connect(&dialog, &QDialog::finished, [&](int result) { scanResult = result; });
        QTimer::singleShot(100, &dialog, [this] { unplug(); });
    });
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    ASSERT_TRUE(user.ran());
    ASSERT_FALSE(driver);
    EXPECT_EQ(scanResult, QDialog::Rejected);   // nothing found
    expectNotConnected();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {lostError()});
    EXPECT_EQ(form->PortGroup->title(), "Port: COM1,9600,N81");   // the settings it had, for the next open
}

TEST_F(CommFormTest, ADeviceLostJustBeforeTheQuickTryKeepsThePortsSettingsForTheNextOpen)
{
    writeIni("[Misc]\nDefTimeout=8\n");
    sim.setSilent(true);
    openWindow();
    link->ComPort.SetBaud(19200);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (sim.count(SimKind::Exit) < 2) return;   // the exit command that comes before the auto-connect
        watch.stop();
        unplug();
    });
    watch.start(2);
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    ASSERT_FALSE(driver);
    expectNotConnected();
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {lostError()});
    EXPECT_EQ(link->ComPort.Baud(), 19200);
}

TEST_F(CommFormTest, AfterTheDeviceIsPluggedInAgainConnectReadsTheConfigurationWithoutARestart)
{
    // The port names its device by a link, as the stable names of serial devices do; the device comes back as
    // another node behind the same name.
    const std::string name = dir.file("ttyReader");
    std::filesystem::create_symlink(pty.devicePath(), name);
    setenv("SERIAL_COM1", name.c_str(), 1);
    openWindow();
    form->ConnBtnClick();
    ASSERT_TRUE(link->Connected);
    unplug();
    ASSERT_TRUE(PumpUntil([&] { return link->ComPort.PortState() == TPortState::PortClosed; }, 2s));
    EXPECT_TRUE(logLines(*form).contains(lostLine(name))) << logLines(*form).join('|').toStdString();

    // Not back yet: the open fails, and the port stays lost for the next try.
    std::filesystem::remove(name);
    ui.clear();
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    expectNotConnected();
    EXPECT_EQ(ui.warnings().size(), 1u);
    EXPECT_EQ(link->ComPort.LostDevice(), "COM1, " + name);

    testsupport::Pty pluggedIn;
    std::filesystem::create_symlink(pluggedIn.devicePath(), name);
    testsupport::ReaderSimGuiDriver reader(sim, pluggedIn.masterFd());
    ui.clear();
    QMetaObject::invokeMethod(form->ConnBtn, "click");
    EXPECT_TRUE(ui.log().empty());
    EXPECT_TRUE(link->Connected);
    EXPECT_EQ(sim.count(SimKind::Dump), 2);   // the configuration read again
    EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {readerRecord("AB", 0), readerRecord("AC", 1)}));
    EXPECT_EQ(form->DisplayPanel->text(), " M100 V1.2");
    EXPECT_TRUE(form->PortLed->Lit());
    EXPECT_TRUE(link->ComPort.LostDevice().empty());
    link->ClosePort();
}
