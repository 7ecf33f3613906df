#include "DownloadFixture.h"

#include "TestDriver.h"
#include "download/DropButtons.h"
#include "download/ProgressWindow.h"

#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

#include <dlfcn.h>

#include <filesystem>

using namespace std::chrono_literals;

namespace {

// The test's own handle on the driver, so that its record outlives each download's load and unload.
class TestDriver {
public:
    TestDriver() : handle_(dlopen(TEST_DRIVER, RTLD_NOW | RTLD_LOCAL))
    {
        if (!handle_)
            throw std::runtime_error(dlerror());
        record_ = reinterpret_cast<TestDriverRecordProc>(dlsym(handle_, "TestDriverRecord"));
        setup_ = reinterpret_cast<TestDriverSetupProc>(dlsym(handle_, "TestDriverSetup"));
    }
    ~TestDriver() { dlclose(handle_); }
    const TestDriverRecord &record() const { return *record_(); }
    void setup(int32_t result, int32_t steps, int32_t stepMs) { setup_(result, steps, stepMs); }

private:
    void *handle_;
    TestDriverRecordProc record_;
    TestDriverSetupProc setup_;
};

} // namespace

class DriverTest : public DownloadFixture {
protected:
    void SetUp() override
    {
        DownloadFixture::SetUp();
        sim.setStartInLoader(true);
        driverLib.setup(0, 4, 0);
    }
    void openWithDriver(const std::string &keys)
    {
        writeDevice("DefSettings=19200,N,8,1\r\nNoConnect=1\r\n" + keys);
        openForm();
    }
    void download(const std::string &file)
    {
        ui.chooseFile(file);
        ui.answer(true);
        form->DownLoadBtn->click();
    }
    std::string program() { return dir.write("prog.bin", "image"); }
    QString lastLog() const { return LogOf(*form).last(); }
    void expectReconnected()
    {
        EXPECT_TRUE(form->Loader.Connected);
        EXPECT_TRUE(form->ComPort.Open());
        EXPECT_EQ(form->ComPort.Baud(), 19200);   // the loader settings again
        EXPECT_EQ(ProgForm, nullptr);
        EXPECT_EQ(AbortHook, nullptr);
    }

    TestDriver driverLib;
};

TEST_F(DriverTest, TheDriverGetsThePortTheFileAndProgressWhileThePortIsFree)
{
    driverLib.setup(0, 4, 20);
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\nTRAbort=TestAbort\r\n");
    const std::string file = program();
    QStringList labels;
    bool abortEnabled = false;
    WhenReady watch([] { return ProgForm != nullptr && ProgForm->TitLabel->text() == "2000/4000"; }, [&] {
        labels << ProgForm->TitLabel->text() << QString::number(ProgForm->Bar->value());
        abortEnabled = ProgForm->AbortBtn->isEnabled();
    });
    download(file);

    const TestDriverRecord &r = driverLib.record();
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.port, 3);
    EXPECT_STREQ(r.file, file.c_str());
    EXPECT_TRUE(r.portWasFree);
    EXPECT_EQ(r.progressCalls, 4);
    EXPECT_EQ(labels, (QStringList {"2000/4000", "50"}));
    EXPECT_TRUE(abortEnabled);
    EXPECT_EQ(lastLog(), "  OK: Download completed");
    EXPECT_EQ(status(), " DOWNLOAD SUCCESSFUL");
    expectReconnected();
}

TEST_F(DriverTest, AMaximumBaudRateIsPassedAsTheFourthArgument)
{
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\nMaxBaud=115200\r\n");
    download(program());
    EXPECT_EQ(driverLib.record().maxBaud, 115200);
}

TEST_F(DriverTest, TheDriversResultCodesBecomeTheirLogLines)
{
    const std::pair<int32_t, const char *> codes[] = {
        {1, "  ERR: 1.Unable to open file"},       {2, "  ERR: 2.Unable to open com port"},
        {3, "  ERR: 3.Unable to connect"},         {4, "  ERR: 4.Download failed"},
        {5, "  ERR: 5.Aborted by user"},           {6, "  ERR: 6.Download already running"},
        {-7, "  ERR: -7.Unknown error"},
    };
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\n");
    const std::string file = program();
    for (const auto &[code, line] : codes) {
        driverLib.setup(code, 1, 0);
        download(file);
        EXPECT_EQ(lastLog(), line);
        EXPECT_EQ(status(), " DOWNLOAD FAILED!") << code;
        expectReconnected();
    }
}

TEST_F(DriverTest, ALibraryThatCannotBeLoadedOrCalledFails)
{
    const std::string missing = dir.file("NOSUCH.DLL");
    const std::pair<std::string, std::string> cases[] = {
        {missing, "  ERR: Unable to load " + missing},
        {BARE_DRIVER, std::string("  ERR: Unable to call ") + BARE_DRIVER},
    };
    for (const auto &[library, line] : cases) {
        openWithDriver("TRDLL=" + library + "\r\nTRCall=TestDownload\r\nTRAbort=TestAbort\r\n");
        download(program());
        EXPECT_EQ(lastLog().toStdString(), line);
        EXPECT_EQ(status(), " DOWNLOAD FAILED!");
        expectReconnected();
    }
    EXPECT_EQ(driverLib.record().calls, 0);
}

TEST_F(DriverTest, AbortInTheProgressWindowCallsTheDriversAbort)
{
    driverLib.setup(0, 200, 5);
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\nTRAbort=TestAbort\r\n");
    WhenReady abort([] { return ProgForm != nullptr && ProgForm->AbortBtn->isEnabled(); },
                    [] { ProgForm->AbortBtn->click(); });
    download(program());
    EXPECT_TRUE(abort.done);
    EXPECT_EQ(driverLib.record().abortCalls, 1);
    EXPECT_LT(driverLib.record().progressCalls, 200);
    EXPECT_EQ(lastLog(), "  ERR: 5.Aborted by user");
}

TEST_F(DriverTest, WithoutAnAbortFunctionTheAbortButtonStaysDisabled)
{
    driverLib.setup(0, 20, 5);
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\nTRAbort=NoSuchFunction\r\n");
    int looks = 0;
    bool everEnabled = false;
    WhenReady watch([&] {
        if (ProgForm) {
            ++looks;
            everEnabled |= ProgForm->AbortBtn->isEnabled();
        }
        return false;
    }, [] {});
    download(program());
    EXPECT_GT(looks, 0);
    EXPECT_FALSE(everEnabled);
    EXPECT_EQ(lastLog(), "  OK: Download completed");
}

TEST_F(DriverTest, ABareNameIsFoundInTheCurrentFolderWithoutRegardToCase)
{
    const std::filesystem::path driverPath(TEST_DRIVER);
    testsupport::ScopedCwd cwd(driverPath.parent_path());
    openWithDriver("TRDLL=testdrv.dll\r\nTRCall=TestDownload\r\n");
    download(program());
    EXPECT_EQ(driverLib.record().calls, 1);
    EXPECT_EQ(lastLog(), "  OK: Download completed");
}

// The recent-files menu, with the quick test driver doing the downloads.
class RecentFilesTest : public DriverTest {
protected:
    // Drops the menu with the mouse, lets `choose` act on it while it is open, and lets the choice run.
    void dropMenu(std::function<void(TPopupMenu &)> choose)
    {
        WhenReady act([&] { return form->MRUMenu->isVisible(); }, [&] {
            choose(*form->MRUMenu);
            form->MRUMenu->close();
        });
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 4), form->MRUBtn->mapToGlobal(QPointF(4, 4)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->MRUBtn, &press);
        EXPECT_TRUE(act.done);
        PumpFor(50ms);
    }
    QStringList items() const
    {
        QStringList texts;
        for (QAction *action : form->MRUMenu->actions())
            texts << action->text();
        return texts;
    }
};

TEST_F(RecentFilesTest, TheMenuListsTheRecentFilesAndAPickedOneKeepsItsPlace)
{
    const std::string a = dir.write("a.bin", "a"), b = dir.write("b&c.bin", "b");
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\n");
    download(a);
    download(b);
    QStringList shown;
    dropMenu([&](TPopupMenu &menu) {
        shown = items();
        ui.answer(true);
        menu.actions().at(1)->trigger();   // a.bin
    });
    EXPECT_EQ(shown, (QStringList {QString::fromStdString(b).replace("&", "&&"), QString::fromStdString(a)}));
    EXPECT_EQ(driverLib.record().calls, 3);
    EXPECT_STREQ(driverLib.record().file, a.c_str());
    TTRSSetup setup;
    setup.LoadMRU();
    EXPECT_EQ(setup.MRUList, (std::vector<std::string> {b, a}));
}

TEST_F(RecentFilesTest, AFileThatIsGoneIsReportedAndStaysListed)
{
    writeDevice("DefSettings=19200\r\nNoConnect=1\r\n", "[MRU]\r\n01=" + dir.file("gone.bin") + "\r\n");
    openForm();
    dropMenu([](TPopupMenu &menu) { menu.actions().at(0)->trigger(); });
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"File " + dir.file("gone.bin") + " not found!"});
    TTRSSetup setup;
    setup.LoadMRU();
    EXPECT_EQ(setup.MRUList.size(), 1u);
    EXPECT_TRUE(sim.receivedBytes().empty());
}

TEST_F(RecentFilesTest, TheButtonStaysDisabledUntilTheWindowIsConnected)
{
    writeDevice("DefSettings=19200\r\nCRAnswer=>\r\n", "[MRU]\r\n01=/x.bin\r\n");
    openForm();
    EXPECT_FALSE(form->MRUBtn->isEnabled());
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 4), form->MRUBtn->mapToGlobal(QPointF(4, 4)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->MRUBtn, &press);
    EXPECT_FALSE(form->MRUMenu->isVisible());
    EXPECT_TRUE(form->MRUMenu->actions().isEmpty());   // never rebuilt
}

TEST_F(DriverTest, TheProgressWindowIsPaintedBeforeTheDriversFirstCallback)
{
    // The label each time the progress window's Abort button was painted.
    class AbortPaints : public QObject {
    public:
        AbortPaints() { qApp->installEventFilter(this); }
        ~AbortPaints() override { qApp->removeEventFilter(this); }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && ProgForm && watched == ProgForm->AbortBtn)
                labels << ProgForm->TitLabel->text();
            return false;
        }
        QStringList labels;
    } paints;
    driverLib.setup(0, 2, 0);
    openWithDriver(std::string("TRDLL=") + TEST_DRIVER + "\r\nTRCall=TestDownload\r\nTRAbort=TestAbort\r\n");
    AbortHook = &AbortBuiltIn;   // as while a transfer with an abort runs
    form->ShowProgress("Downloading prog.bin...");
    ProgForm->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/tarsel-progress-before-transfer.png");
    form->HideProgress();
    AbortHook = nullptr;
    paints.labels.clear();
    download(program());

    ASSERT_FALSE(paints.labels.isEmpty());
    EXPECT_EQ(paints.labels.first(), "");   // before the driver reported anything
    EXPECT_EQ(lastLog(), "  OK: Download completed");
}
