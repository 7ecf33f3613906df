#include "ModalDriver.h"
#include "Pty.h"
#include "Pump.h"
#include "ScriptedUi.h"
#include "TabChain.h"
#include "TempDir.h"
#include "app/MainWindow.h"
#include "app/RadioGroup.h"
#include "app/Setup.h"
#include "editor/FileBrowser.h"
#include "editor/LoadTemplateDialog.h"
#include "link/ReaderLink.h"
#include "link/DeviceControl.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"
#include "platform/qt/ElidedLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

using testsupport::OnModal;
using Kind = testsupport::ScriptedUi::Kind;

namespace {

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

// The INI's value of a key, as the file holds it ("" when the key is missing).
std::string iniValue(const std::string &ini, const std::string &key)
{
    const std::size_t at = ini.find("\n" + key + "=");
    if (at == std::string::npos) return "";
    const std::size_t start = at + key.size() + 2;
    return ini.substr(start, ini.find_first_of("\r\n", start) - start);
}

// Two level blocks: the user's level 99 and the basic level 1.
const char *const kLevelTemplate =
    "STR_99: Advanced reader,,Adv\r\n"
    "PAG: Advanced page\r\n"
    "ENT: A,1B4141=x,00\r\n"
    "STR_1: Basic reader,,Basic\r\n"
    "PAG: Basic page\r\n"
    "ENT: B,1B4242=y,00\r\n";

class RecordingEditView final : public IEditView {
public:
    void RefreshAll() override { ++refreshes; }
    int refreshes = 0;
};

} // namespace

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM1", com1.devicePath().c_str(), 1);
        setenv("SERIAL_COM2", com2.devicePath().c_str(), 1);
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
    }
    void TearDown() override
    {
        CommDM = nullptr;
        link.reset();
        Template = nullptr;
    }

    // The program as it stands when the user opens Setup: settings from the INI, the link with its port.
    void start(const std::string &iniText)
    {
        dir.write("CORVANE.INI", iniText);
        ReadSettings();
        link = std::make_unique<TCommDM>();
        CommDM = link.get();
        Template = &tpl;
        ui.clear();   // a port that could not be opened
    }
    // Runs the dialog with `act` as the user; the dialog's result.
    int run(std::function<void(TSetupForm &)> act)
    {
        OnModal<TSetupForm> user(std::move(act));
        TSetupForm form(nullptr);
        form.OnTemplateLoaded = [this](QObject *sender) { loadedEvents.push_back(sender); };
        const int result = form.exec();
        EXPECT_TRUE(user.ran());
        return result;
    }
    std::string ini() const { return dir.read("CORVANE.INI"); }

    testsupport::Pty com1, com2;
    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    std::unique_ptr<TCommDM> link;
    TTemplate tpl;
    std::vector<QObject *> loadedEvents;
};

TEST_F(SetupTest, ValuesOutsideTheChoicesShowNoneAndSurviveOk)
{
    start("[Port]\r\nPort=5\r\nMaxPort=4\r\nBaud=14400\r\nParity=1\r\nData=6\r\nStop=0\r\n"
          "[Header]\r\nCustomer=" + std::string(100, 'x') + "\r\n");
    ui.answer(false);
    EXPECT_EQ(run([](TSetupForm &form) {
                  EXPECT_EQ(form.windowTitle(), "Setup");
                  EXPECT_EQ(form.PortCombo->count(), 4);
                  EXPECT_EQ(form.PortCombo->itemText(3), "COM4");
                  EXPECT_EQ(form.PortCombo->currentText(), "");
                  EXPECT_EQ(form.BaudGrp->ItemIndex(), -1);
                  EXPECT_EQ(form.ParityGrp->ItemIndex(), 1);
                  EXPECT_EQ(form.DataGrp->ItemIndex(), -1);
                  EXPECT_EQ(form.StopGrp->ItemIndex(), -1);
                  EXPECT_EQ(form.TimeoutLabel->text(), "Timeout:18");
                  EXPECT_FALSE(form.DebugCheck->isVisible());
                  form.OkBtn->click();
              }),
              QDialog::Accepted);
    // Port 5 is not offered: OK stores port 0, which asks for a port when it opens.
    EXPECT_EQ(ui.questions(), (std::vector<std::string> {"Update device control?"}));
    EXPECT_EQ(iniValue(ini(), "Port"), "0");
    EXPECT_EQ(iniValue(ini(), "Baud"), "14400");
    EXPECT_EQ(iniValue(ini(), "Parity"), "1");
    EXPECT_EQ(iniValue(ini(), "Data"), "6");
    EXPECT_EQ(iniValue(ini(), "Stop"), "0");
    EXPECT_EQ(iniValue(ini(), "Customer"), std::string(80, 'x'));
    EXPECT_EQ(CommDM->ComPort.ComNumber(), 5);   // answered No: the port stays as it was
}

// Tab goes from control to control: each radio group is one stop, at its checked button (its first while none
// is checked), and the arrow keys move and check within the group.
TEST_F(SetupTest, EachRadioGroupIsOneTabStopWithArrowsWithin)
{
    for (const char *baud : {"19200", "14400"}) {
        SCOPED_TRACE(baud);
        start(std::string("[Port]\r\nBaud=") + baud + "\r\nParity=2\r\n");
        run([&](TSetupForm &form) {
            const std::vector<QWidget *> chain = testsupport::TabChain(form.PortCombo);
            std::vector<QWidget *> backwards = testsupport::TabChain(form.PortCombo, Qt::Key_Backtab);
            std::reverse(backwards.begin() + 1, backwards.end());
            EXPECT_EQ(backwards, chain);
            for (TRadioGroup *group : {form.BaudGrp, form.ParityGrp, form.DataGrp, form.StopGrp}) {
                QRadioButton *stop = group->Button(std::max(group->ItemIndex(), 0));
                for (int i = 0; i < group->Count(); ++i)
                    EXPECT_EQ(std::count(chain.begin(), chain.end(), group->Button(i)), group->Button(i) == stop ? 1 : 0)
                        << group->title().toStdString() << " " << i;
            }
            for (QWidget *w : {static_cast<QWidget *>(form.CustomerEd), static_cast<QWidget *>(form.TplBtn),
                               static_cast<QWidget *>(form.OkBtn), static_cast<QWidget *>(form.cancelBtn)})
                EXPECT_EQ(std::count(chain.begin(), chain.end(), w), 1);

            // Down moves to the next rate and checks it when one was checked; the next Tab leaves the group. The
            // arrow keys move the application's focus, which only an active window has.
            ASSERT_TRUE(testsupport::Activate(form));
            QRadioButton *from = form.BaudGrp->Button(std::max(form.BaudGrp->ItemIndex(), 0));
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Down);
            QWidget *moved = form.focusWidget();
            EXPECT_EQ(moved, form.BaudGrp->Button(std::string(baud) == "19200" ? 8 : 1));
            EXPECT_EQ(form.BaudGrp->ItemIndex(), std::string(baud) == "19200" ? 8 : -1);
            QTest::keyClick(moved, Qt::Key_Tab);
            EXPECT_FALSE(form.BaudGrp->isAncestorOf(form.focusWidget()));
            form.reject();
        });
    }
}

TEST_F(SetupTest, ChangedPortSettingsAreAppliedToTheOpenPortOnYes)
{
    start("[Port]\r\nPort=1\r\nBaud=19200\r\n");
    ASSERT_TRUE(CommDM->ComPort.Open());
    ui.answer(true);
    run([](TSetupForm &form) {
        EXPECT_EQ(form.PortCombo->currentText(), "COM1");
        EXPECT_EQ(form.BaudGrp->ItemIndex(), 7);
        EXPECT_EQ(form.ParityGrp->ItemIndex(), 0);
        EXPECT_EQ(form.DataGrp->ItemIndex(), 1);
        EXPECT_EQ(form.StopGrp->ItemIndex(), 0);
        form.PortCombo->setCurrentIndex(1);
        QTest::mouseClick(form.BaudGrp->Button(6), Qt::LeftButton);
        form.OkBtn->click();
    });
    EXPECT_EQ(ui.questions(), (std::vector<std::string> {"Update device control?"}));
    EXPECT_EQ(CommDM->ComPort.ComNumber(), 2);
    EXPECT_EQ(CommDM->ComPort.Baud(), 9600);
    EXPECT_TRUE(CommDM->ComPort.Open());
    EXPECT_EQ(iniValue(ini(), "Port"), "2");
    EXPECT_EQ(iniValue(ini(), "Baud"), "9600");
}

TEST_F(SetupTest, NoKeepsTheOpenPortAndTheIniHoldsTheNewRate)
{
    start("[Port]\r\nPort=1\r\nBaud=19200\r\n");
    ui.answer(false);
    run([](TSetupForm &form) {
        form.BaudGrp->Button(10)->click();
        form.OkBtn->click();
    });
    EXPECT_EQ(iniValue(ini(), "Baud"), "115200");
    EXPECT_EQ(CommDM->ComPort.Baud(), 19200);
    EXPECT_TRUE(CommDM->ComPort.Open());
}

TEST_F(SetupTest, HeaderTextsAloneAreStoredWithoutAQuestion)
{
    start("[Port]\r\nPort=1\r\n[Header]\r\nModel=Old\r\n");
    run([](TSetupForm &form) {
        EXPECT_EQ(form.ModelEd->text(), "Old");
        form.ModelEd->clear();
        QTest::keyClicks(form.ModelEd, "M-100");
        form.SerNumEd->setText("SN" + QString(100, '9'));
        QApplication::clipboard()->setText("ACME\r\n");   // a name copied with its line end
        form.CustomerEd->setFocus();
        QTest::keySequence(form.CustomerEd, QKeySequence::Paste);
        form.OkBtn->click();
    });
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(Settings.Customer.str(), "ACME");
    EXPECT_EQ(iniValue(ini(), "Customer"), "ACME");
    EXPECT_EQ(iniValue(ini(), "Model"), "M-100");
    EXPECT_EQ(Settings.SerNum.str(), "SN" + std::string(78, '9'));
}

TEST_F(SetupTest, CancelStoresNothing)
{
    start("[Port]\r\nPort=1\r\n");
    const std::string before = ini();
    EXPECT_EQ(run([](TSetupForm &form) {
                  form.PortCombo->setCurrentIndex(1);
                  form.CustomerEd->setText("changed");
                  form.cancelBtn->click();
              }),
              QDialog::Rejected);
    EXPECT_EQ(ini(), before);
    EXPECT_EQ(Settings.Port, 1);
    EXPECT_TRUE(Settings.Customer.empty());
}

TEST_F(SetupTest, OutOfRangeRadioIndexesAndTypedPorts)
{
    struct Case {
        const char *ini;
        const char *typedPort;   // nullptr: the port list is left alone
        int32_t port, parity, data, stop;
    };
    const Case cases[] = {
        {"Parity=3\r\n", nullptr, 1, 2, 8, 1},     // mark parity shows and stores "Even"
        {"Data=9\r\nStop=3\r\n", nullptr, 1, 0, 8, 2},
        {"", "COM9", 0, 0, 8, 1},                  // typed text that is no port of the list
        {"", "COM2", 2, 0, 8, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ini + std::string(c.typedPort ? c.typedPort : ""));
        TearDown();
        start(std::string("[Port]\r\nPort=1\r\n") + c.ini);
        ui.answer(false);
        run([&](TSetupForm &form) {
            if (c.typedPort) {
                form.PortCombo->lineEdit()->selectAll();
                QTest::keyClicks(form.PortCombo->lineEdit(), c.typedPort);
            }
            form.OkBtn->click();
        });
        EXPECT_EQ(Settings.Port, c.port);
        EXPECT_EQ(Settings.Parity, c.parity);
        EXPECT_EQ(Settings.Data, c.data);
        EXPECT_EQ(Settings.Stop, c.stop);
        EXPECT_EQ(iniValue(ini(), "Port"), std::to_string(c.port));
        EXPECT_EQ(CommDM->ComPort.ComNumber(), 1);
    }
}

TEST_F(SetupTest, PortsPresentBeyondMaxPortCanBeChosenAndShowTheirDevice)
{
    testsupport::Pty adapter;
    setenv("SERIAL_COM17", adapter.devicePath().c_str(), 1);
    start("[Port]\r\nPort=17\r\nMaxPort=2\r\n");
    ui.answer(false);
    run([&](TSetupForm &form) {
        EXPECT_EQ(form.PortCombo->count(), 3);
        EXPECT_EQ(form.PortCombo->itemText(2), "COM17");
        EXPECT_EQ(form.PortCombo->currentText(), "COM17");
        EXPECT_EQ(form.PortDevice->fullText(), QString::fromStdString(adapter.devicePath()));
        EXPECT_EQ(form.PortCombo->itemData(0, Qt::ToolTipRole).toString(), QString::fromStdString(com1.devicePath()));
        form.grab().save(QString(CORVANE_ARTIFACT_DIR) + "/setup-ports.png");
        form.PortCombo->setCurrentIndex(1);
        EXPECT_EQ(form.PortDevice->fullText(), QString::fromStdString(com2.devicePath()));
        form.PortCombo->setCurrentIndex(2);
        form.OkBtn->click();
    });
    unsetenv("SERIAL_COM17");
    EXPECT_EQ(Settings.Port, 17);
    EXPECT_EQ(iniValue(ini(), "Port"), "17");
    EXPECT_TRUE(ui.questions().empty());
}

TEST_F(SetupTest, ALongDeviceNameIsCutInTheMiddleAndAPortWithoutDeviceSaysSo)
{
    const std::filesystem::path byId = dir.path() / "serial" / "by-id";
    std::filesystem::create_directories(byId);
    const std::string longName = (byId / "usb-Prolific_Technology_Inc._USB-Serial_Controller_D_A9XK2L3M-if00-port0").string();
    std::filesystem::create_symlink(com1.devicePath(), longName);
    setenv("SERIAL_COM1", longName.c_str(), 1);
    setenv("SERIAL_COM4", "/dev/ttyS29", 1);   // a path with nothing behind it; COM3 names no path at all
    unsetenv("SERIAL_COM3");
    start("[Port]\r\nPort=1\r\n");
    for (const int pointSize : {0, 11}) {
        const QFont appFont = QApplication::font();
        if (pointSize > 0) {
            QFont larger = appFont;
            larger.setPointSize(pointSize);
            QApplication::setFont(larger);
        }
        const QString suffix = pointSize > 0 ? "-11pt" : "";
        run([&](TSetupForm &form) {
            const QString full = QString::fromStdString(longName);
            TElidedLabel &label = *form.PortDevice;
            EXPECT_EQ(label.fullText(), full);
            EXPECT_EQ(label.toolTip(), full);
            const QString shown = label.text();
            EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
            EXPECT_TRUE(shown.startsWith(full.left(4))) << shown.toStdString();
            EXPECT_TRUE(shown.endsWith(full.right(4))) << shown.toStdString();
            EXPECT_LE(label.fontMetrics().horizontalAdvance(shown), label.contentsRect().width());
            EXPECT_LT(form.width(), label.fontMetrics().horizontalAdvance(full));   // the window does not grow
            form.grab().save(QString(CORVANE_ARTIFACT_DIR) + "/setup-long-device" + suffix + ".png");
            form.PortCombo->setCurrentIndex(form.PortCombo->findText("COM3"));
            EXPECT_EQ(label.fullText(), "(no device)");
            EXPECT_EQ(label.text(), "(no device)");
            form.PortCombo->setCurrentIndex(form.PortCombo->findText("COM4"));
            EXPECT_EQ(label.fullText(), "/dev/ttyS29 (no device)");
            form.grab().save(QString(CORVANE_ARTIFACT_DIR) + "/setup-absent-port" + suffix + ".png");
            form.reject();
        });
        QApplication::setFont(appFont);
    }
    unsetenv("SERIAL_COM4");
}

TEST_F(SetupTest, HiddenLanguageAndLevelAreKeptOrStored)
{
    start("[Misc]\r\nLanguage=X\r\nLevel=1\r\n[Languages]\r\nEnglish=_\r\nDeutsch=D\r\nNone=\r\n");
    run([](TSetupForm &form) {
        EXPECT_EQ(form.LanguageCombo->count(), 3);
        EXPECT_EQ(form.LanguageCombo->currentIndex(), -1);   // no line has the letter X
        EXPECT_EQ(form.LevelGroup->ItemIndex(), 0);          // Basic
        form.OkBtn->click();
    });
    EXPECT_EQ(Settings.Language.str(), "X");
    EXPECT_EQ(Settings.Level, 1);

    run([](TSetupForm &form) {
        form.LanguageCombo->setCurrentIndex(1);
        form.LevelGroup->SetItemIndex(1);
        form.DebugCheck->setChecked(true);
        form.OkBtn->click();
    });
    EXPECT_EQ(iniValue(ini(), "Language"), "D");
    EXPECT_EQ(iniValue(ini(), "Level"), "99");
    EXPECT_EQ(iniValue(ini(), "Debug"), "1");

    run([](TSetupForm &form) {
        EXPECT_EQ(form.LanguageCombo->currentText(), "Deutsch");
        form.LanguageCombo->setCurrentIndex(2);   // a line without a letter: no language
        form.OkBtn->click();
    });
    EXPECT_EQ(Settings.Language.str(), "_");
}

TEST_F(SetupTest, LoadedTemplateIsReadForTheDialogsLevelAndOpensTheEditor)
{
    start("[Misc]\r\nLevel=99\r\n");
    dir.write("Devices/Scan/Abc.tpl", kLevelTemplate);
    const std::string folder = dir.file("Devices/Scan");
    QObject *dialog = nullptr;
    run([&](TSetupForm &form) {
        dialog = &form;
        form.LevelGroup->SetItemIndex(0);   // Basic
        OnModal<TTplForm> chooser([&](TTplForm &files) {
            ASSERT_TRUE(files.Browser->SetDirectory(folder));
            files.Browser->FileList->setCurrentRow(0);
            files.OkBtn->click();
        });
        form.TplBtn->click();
        EXPECT_TRUE(chooser.ran());
        EXPECT_EQ(form.DefTplEd->text(), "ABC.TPL");
        form.cancelBtn->click();
    });
    ASSERT_EQ(tpl.PageCount(), 1);
    EXPECT_EQ(tpl.Pages(0).Name.str(), "Basic page");
    EXPECT_EQ(Settings.Level, 99);
    // Kept although the dialog was cancelled; the folder as it is named on disk.
    EXPECT_EQ(Settings.DefTpl, "ABC.TPL");
    EXPECT_EQ(Settings.DevPath, folder + "/");
    EXPECT_EQ(loadedEvents, (std::vector<QObject *> {dialog}));
    const std::vector<std::string> info = ui.texts(Kind::Information);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].rfind("Device: Basic reader", 0), 0u);
    EXPECT_EQ(iniValue(ini(), "Level"), "99");   // nothing written by Cancel
    EXPECT_EQ(iniValue(ini(), "DefTpl"), "");
}

TEST_F(SetupTest, OpenEditorIsRefreshedInsteadOfOpened)
{
    start("");
    dir.write("t/ABC.TPL", kLevelTemplate);
    RecordingEditView editor;
    CommDM->EditView = &editor;
    run([&](TSetupForm &form) {
        OnModal<TTplForm> chooser([&](TTplForm &files) {
            files.Browser->SetDirectory(dir.file("t"));
            files.Browser->FileList->setCurrentRow(0);
            files.OkBtn->click();
        });
        form.TplBtn->click();
        form.OkBtn->click();
    });
    CommDM->EditView = nullptr;
    EXPECT_EQ(editor.refreshes, 1);
    EXPECT_TRUE(loadedEvents.empty());
    EXPECT_EQ(tpl.Pages(0).Name.str(), "Advanced page");
    EXPECT_EQ(Settings.DefTpl, "ABC.TPL");
}

TEST_F(SetupTest, ChooserCancelledLoadsNothing)
{
    start("");
    run([&](TSetupForm &form) {
        OnModal<TTplForm> chooser([](TTplForm &files) { files.BitBtn1->click(); });
        form.TplBtn->click();
        form.cancelBtn->click();
    });
    EXPECT_TRUE(tpl.IsEmpty());
    EXPECT_TRUE(Settings.DefTpl.empty());
    EXPECT_TRUE(ui.log().empty());
}

class SetupFromMainWindowTest : public SetupTest {
protected:
    void TearDown() override { delete window; }
    TMainForm *window = nullptr;
};

TEST_F(SetupFromMainWindowTest, SetupButtonBeepsWhileDeviceControlIsBusy)
{
    dir.write("CORVANE.INI", "");
    ReadSettings();
    window = new TMainForm;
    window->show();
    ui.clear();
    EXPECT_TRUE(window->SetupBtn->isEnabled());
    EXPECT_TRUE(window->Setup1->isEnabled());
    window->CommBtnClick();
    ASSERT_NE(CommForm, nullptr);

    CommForm->body()->setEnabled(false);   // as during a transfer
    OnModal<TSetupForm> refused([](TSetupForm &form) { form.reject(); }, 300);
    window->SetupBtn->click();
    PumpFor(std::chrono::milliseconds(350));
    EXPECT_FALSE(refused.ran());

    CommForm->body()->setEnabled(true);
    {
        TLinkOperation running(*CommDM);   // an interactive send of the editor
        OnModal<TSetupForm> alsoRefused([](TSetupForm &form) { form.reject(); }, 300);
        window->SetupBtn->click();
        PumpFor(std::chrono::milliseconds(350));
        EXPECT_FALSE(alsoRefused.ran());
    }

    bool wired = false;
    OnModal<TSetupForm> opened([&](TSetupForm &form) {
        wired = bool(form.OnTemplateLoaded);
        EXPECT_EQ(SetupForm, &form);
        form.reject();
    });
    window->Setup1->trigger();
    EXPECT_TRUE(opened.ran());
    EXPECT_TRUE(wired);
    EXPECT_EQ(SetupForm, nullptr);
}
