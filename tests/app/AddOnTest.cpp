#include "Pty.h"
#include "Pump.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "app/AddOns.h"
#include "app/MainWindow.h"
#include "link/ReaderLink.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "serial/SerDispatch.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

class AddOnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM2", pty.devicePath().c_str(), 1);
        setenv("CORVANE_TEST_RECORD", dir.file("record.txt").c_str(), 1);
        setenv("CORVANE_TEST_DEVICE", pty.devicePath().c_str(), 1);
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
        for (const char *name : {"RECORD.DLL", "NOENTRY.DLL", "recprog"})
            fs::copy_file(fs::path(CORVANE_TEST_ADDON_DIR) / name, dir.path() / name);
    }
    void open(const std::string &special)
    {
        dir.write("CORVANE.INI", "[Port]\nPort=2\nBaud=9600\n[Special]\n" + special);
        ReadSettings();
        Settings.ModelName = "XY100";
        window = new TMainForm;
        window->show();
    }
    void TearDown() override { delete window.data(); }

    QAction *item(int i) const { return window->SpecialMenu->actions().at(i); }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    testsupport::Pty pty;
    QPointer<TMainForm> window;
};

TEST_F(AddOnTest, TheMenuListsTheAddOnsInFileOrder)
{
    open("Download=record.dll $DEV,$COM\nTools=recprog\nDownload=other.dll\n");
    ASSERT_NE(window->SpecialMenu, nullptr);
    QStringList captions;
    for (QAction *a : window->SpecialMenu->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList {"Download", "Tools", "Download"}));
    QStringList bar;
    for (QAction *a : window->menuBar()->actions()) bar << a->text();
    EXPECT_EQ(bar, (QStringList {"&File", "&Windows", "S&pecial", "&Help"}));

    window->EnableSpecialMenu(false);
    EXPECT_FALSE(window->SpecialMenu->menuAction()->isEnabled());
    window->EnableSpecialMenu(true);
    EXPECT_TRUE(window->SpecialMenu->menuAction()->isEnabled());
}

TEST_F(AddOnTest, NoSpecialSectionNoMenu)
{
    open("");
    EXPECT_EQ(window->SpecialMenu, nullptr);
    window->EnableSpecialMenu(false);   // nothing to do
}

TEST_F(AddOnTest, ALibraryGetsTheExpandedParametersWhileThePortIsReleased)
{
    open("Download=record.dll $DEV,$COM\nDownload=NOENTRY.DLL\n");
    ASSERT_TRUE(CommDM->ComPort.Open());
    item(1)->trigger();   // the same key: the first line's value runs
    EXPECT_EQ(dir.read("record.txt"), "owner|XY100,COM2,9600,N,8,1|free\n");
    EXPECT_TRUE(CommDM->ComPort.Open());   // reopened afterwards
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(AddOnTest, ThePortIsReleasedAlsoWhileReceivedBytesAwaitTheirDelivery)
{
    open("Download=record.dll $DEV,$COM\n");
    ASSERT_TRUE(CommDM->ComPort.Open());
    pty.write("unsolicited\r\n");
    // The bytes wait for this thread, which does not handle events meanwhile: a close now cannot end at once.
    TSerBaseDispatcher *dispatcher = CommDM->ComPort.Dispatcher();
    for (int i = 0; i < 500 && !dispatcher->Dispatching(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(dispatcher->Dispatching());
    item(0)->trigger();
    EXPECT_EQ(dir.read("record.txt"), "owner|XY100,COM2,9600,N,8,1|free\n");
    EXPECT_TRUE(CommDM->ComPort.Open());
}

TEST_F(AddOnTest, LibraryFailuresAreReportedAndThePortComesBack)
{
    open("Gone=missing.dll\nNotAnAddOn=noentry.dll\n");
    item(0)->trigger();
    item(1)->trigger();
    ASSERT_EQ(ui.warnings().size(), 2u);
    EXPECT_EQ(ui.warnings()[0].rfind("MISSING.DLL\rError n. 2\r", 0), 0u) << ui.warnings()[0];
    EXPECT_EQ(ui.warnings()[1], "Execute function not found in\rNOENTRY.DLL");
    EXPECT_TRUE(CommDM->ComPort.Open());
}

TEST_F(AddOnTest, AProgramRunsWithTheWindowDisabledAndGetsItsArguments)
{
    open("Tool=recprog $com , abc,,$xyz1\nGone=nope with args\n");
    item(0)->trigger();
    EXPECT_EQ(dir.read("record.txt"), "COM2,9600,N,8,1,abc,,$XYZ\n");
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(CommDM->ComPort.Open());

    item(1)->trigger();
    EXPECT_EQ(ui.warnings(),
              std::vector<std::string> {"Couldn't launch  [NOPE]\r\nError 2 (No such file or directory)"});
    EXPECT_TRUE(window->isEnabled());
}

// A program in a folder whose name holds blanks is named in double quotes, its parameters after the quote.
TEST_F(AddOnTest, AQuotedPathWithBlanksStartsItsProgram)
{
    fs::create_directories(dir.path() / "my tools");
    fs::copy_file(dir.path() / "recprog", dir.path() / "my tools" / "prog");
    open("Tool=\"" + dir.file("my tools/prog") + "\" $COM,abc\n");
    item(0)->trigger();
    EXPECT_EQ(dir.read("record.txt"), "COM2,9600,N,8,1,abc\n");
    EXPECT_TRUE(ui.warnings().empty()) << ui.warnings().front();
    EXPECT_TRUE(window->isEnabled());
}

// Files that are there but cannot run say why, the number with its reason in words; the next add-on still runs.
TEST_F(AddOnTest, AddOnsThatCannotRunSayWhy)
{
    ::chmod(dir.write("notexec", "#!/bin/sh\n").c_str(), 0644);
    dir.write("WINTOOL.DLL", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(200, '\0'));
    dir.write("BROKEN.DLL", "not a library at all");
    open("NotExec=notexec\nWindows=wintool.dll $COM\nBroken=broken.dll\nTool=recprog ok\n");
    for (int i = 0; i < 4; ++i) item(i)->trigger();
    ASSERT_EQ(ui.warnings().size(), 3u);
    EXPECT_EQ(ui.warnings()[0], "Couldn't launch  [NOTEXEC]\r\nError 13 (Permission denied)");
    EXPECT_EQ(ui.warnings()[1], "WINTOOL.DLL\rError n. 8\rThis is a Windows library; it cannot be loaded here.");
    EXPECT_EQ(ui.warnings()[2].rfind("BROKEN.DLL\rError n. 8\r", 0), 0u) << ui.warnings()[2];
    EXPECT_EQ(dir.read("record.txt"), "ok\n");
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(CommDM->ComPort.Open());
}

// A program that never ends: the window says what it waits for, and closing the window ends the wait (the
// program goes on); the close then goes on to its question.
TEST_F(AddOnTest, ClosingTheWindowStopsWaitingForAProgramThatNeverEnds)
{
    const std::string pidFile = dir.file("forever.pid");
    ::chmod(dir.write("forever", "#!/bin/sh\necho $$ > '" + pidFile + "'\nexec sleep 600\n").c_str(), 0755);
    open("Wait=forever\n");
    bool shown = false;
    QTimer watch, rescue;
    rescue.setSingleShot(true);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QString status = window->statusBar()->currentMessage();
        if (status != "Waiting for FOREVER to end; closing Corvane stops the wait" || dir.read("forever.pid").empty())
            return;
        watch.stop();
        shown = !window->isEnabled();
        // A picture for a person to look at.
        window->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/corvane-waiting-for-add-on.png");
        window->close();
        rescue.start(20000);
    });
    // Should the close not end the wait, the program is ended, so that the test fails instead of hanging.
    const auto programId = [&] { return pid_t(std::atoi(dir.read("forever.pid").c_str())); };
    QObject::connect(&rescue, &QTimer::timeout, [&] { ::kill(programId(), SIGKILL); });
    watch.start(10);
    item(0)->trigger();
    watch.stop();
    rescue.stop();
    EXPECT_TRUE(shown) << "the disabled window said what it waits for";
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(CommDM->ComPort.Open());

    ui.answer(false);   // "Exit Corvane?": the close goes on once the wait has ended
    EXPECT_TRUE(PumpUntil([&] { return !ui.questions().empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Exit Corvane?"});

    const pid_t program = programId();
    ASSERT_GT(program, 0);
    EXPECT_EQ(::kill(program, 0), 0) << "the program still runs";
    ::kill(program, SIGKILL);
    // Once it ends, the program is collected: no zombie is left while Corvane goes on.
    EXPECT_TRUE(PumpUntil([&] { return ::kill(program, 0) != 0 && errno == ESRCH; }, std::chrono::seconds(10)))
        << "the ended program was left as a zombie";
}

TEST_F(AddOnTest, AnAddOnWaitsForARunningOperation)
{
    open("Download=record.dll $DEV\n");
    {
        TLinkOperation running(*CommDM);
        item(0)->trigger();
    }
    EXPECT_EQ(dir.read("record.txt"), "");
}

// Whatever a reader reports as its model name, $DEV holds only what a model name can hold: the reader cannot move
// the add-on to another port, add or regroup arguments, or pass an option.
TEST_F(AddOnTest, AReaderCannotSteerAnAddOnThroughItsModelName)
{
    open("Download=record.dll $DEV,$COM\n");
    testsupport::ReaderSim sim;
    testsupport::ReaderSimGuiDriver driver(sim, pty.masterFd());
    struct Case {
        std::string identification, dev;
    };
    const Case cases[] = {
        {"XY100 V1.2", "XY100"},
        {"XY100,COM3,115200,N,8,1 V1.2", "XY100"},
        {"XY100\",COM3 V1.2", "XY100"},
        {"--config=/etc/x V1.2", "config"},
        {"XY100\x01\x7F V1.2", "XY100"},
        {"Gerät V1.2", "Ger"},
        {testsupport::extendedIdentification("XY100#XY100 'a b'", "V1.2", "Hello"), "XY100"},
    };
    for (const Case &c : cases) {
        sim.setIdentification(c.identification);
        ASSERT_TRUE(CommDM->EnterHostMode()) << c.dev;
        CommDM->Identify();
        CommDM->ExitHostMode();
        std::filesystem::remove(dir.file("record.txt"));
        item(0)->trigger();
        EXPECT_EQ(dir.read("record.txt"), "owner|" + c.dev + ",COM2,9600,N,8,1|free\n") << c.identification;
    }
}

TEST(AddOnParams, AQuotedFileMayHoldBlanks)
{
    struct Case {
        const char *value, *file, *params;
    };
    const Case cases[] = {
        {"tool $COM,$DEV", "tool", "$COM,$DEV"},
        {"tool", "tool", ""},
        {"\"/opt/my tools/prog\" $COM,$DEV", "/opt/my tools/prog", "$COM,$DEV"},
        {"\"/opt/my tools/prog\"", "/opt/my tools/prog", ""},
        {"\"/opt/my tools/prog\"   a b", "/opt/my tools/prog", "a b"},
        {"\"/opt/unclosed a", "/opt/unclosed a", ""},
        {"a\"b c\" d", "a\"b", "c\" d"},
    };
    for (const Case &c : cases) {
        const AddOnCommand command = SplitAddOnValue(c.value);
        EXPECT_EQ(command.File, c.file) << c.value;
        EXPECT_EQ(command.Params, c.params) << c.value;
    }
}

TEST(AddOnParams, TokensAreTrimmedCutAndExpanded)
{
    testsupport::Pty pty;
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    setenv("SERIAL_COM2", pty.devicePath().c_str(), 1);
    Settings = TCVSetup {};
    Settings.Port = 2;
    Settings.Baud = 4800;
    Settings.Parity = 2;
    Settings.Data = 7;
    Settings.Stop = 2;
    Settings.ModelName = "M1";
    TCommDM link;
    CommDM = &link;
    LastConfigFile = "/tmp/a.cfg";
    struct Case {
        const char *params, *expanded;
    };
    const Case cases[] = {
        {"$DEV,$COM", "M1,COM2,4800,E,7,2"},
        {" $com , abc,,$xyz1", "COM2,4800,E,7,2,abc,,$XYZ"},
        {"$CFG", "/tmp/a.cfg"},
        {"a,", "a"},
        {"", ""},
        {"$port", "$POR"},
        {"x y", "x y"},
    };
    for (const Case &c : cases) EXPECT_EQ(ExpandParams(c.params), c.expanded) << c.params;
    CommDM = nullptr;
    LastConfigFile.clear();
}
