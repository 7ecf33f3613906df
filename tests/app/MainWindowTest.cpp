#include "AppFont.h"
#include "Pty.h"
#include "Pump.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "app/About.h"
#include "app/BackgroundArea.h"
#include "app/MainWindow.h"
#include "link/ReaderLink.h"
#include "editor/EditForm.h"
#include "link/DeviceControl.h"
#include "link/TerminalWindow.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QMdiSubWindow>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;

namespace {

QStringList menuTitles(QMainWindow &window)
{
    QStringList titles;
    for (QAction *a : window.menuBar()->actions()) titles << a->text();
    return titles;
}

// Message boxes that note, for each warning, whether the start-up timer was running while it stood.
class TimerWatchUi final : public UiServices {
public:
    explicit TimerWatchUi(const QTimer &timer) : timer_(timer), previous_(&Ui()) { SetUi(this); }
    ~TimerWatchUi() override { SetUi(previous_); }
    bool AskYesNo(const std::string &) override { return false; }
    void ShowWarning(const std::string &) override { timerRunning.push_back(timer_.isActive()); }
    void ShowInformation(const std::string &) override {}
    std::optional<std::string> SaveFileName(const FileDialogRequest &) override { return {}; }
    std::optional<std::string> OpenFileName(const FileDialogRequest &) override { return {}; }
    std::vector<bool> timerRunning;

private:
    const QTimer &timer_;
    UiServices *previous_;
};

} // namespace

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM1", dir.file("no-such-device").c_str(), 1);
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
    }
    void open(const std::string &ini)
    {
        dir.write("CORVANE.INI", ini);
        ReadSettings();
        window = new TMainForm;
        window->show();
        ui.clear();   // the missing port's error
    }
    void TearDown() override { delete window.data(); }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    QPointer<TMainForm> window;
};

TEST(MenuMerge, AChildReplacesTheFramesMenusOfItsGroup)
{
    QMenu file, windows, multi, special, help, commands, editorHelp;
    const std::vector<TMenuGroup> frame {{0, &file}, {0, &windows}, {2, &multi}, {2, &special}, {3, &help}};
    EXPECT_EQ(MergeMenus(frame, {{1, &commands}, {3, &editorHelp}}),
              (std::vector<QMenu *> {&file, &windows, &commands, &multi, &special, &editorHelp}));
    EXPECT_EQ(MergeMenus(frame, {}), (std::vector<QMenu *> {&file, &windows, &multi, &special, &help}));
}

TEST(Background, PictureIsCentredOnTheFrameEvenWhenLarger)
{
    EXPECT_EQ(TBackgroundArea::BackgroundOrigin({1034, 1036}), QPoint(100, 100));
    EXPECT_EQ(TBackgroundArea::BackgroundOrigin({610, 400}), QPoint(-112, -218));
    const QImage bar = TBackgroundArea::BigBar();
    EXPECT_EQ(bar.size(), QSize(834, 836));
    EXPECT_EQ(bar.format(), QImage::Format_Mono);
}

TEST_F(MainWindowTest, StartsWithItsMenusCaptionAndStatus)
{
    open("");
    EXPECT_EQ(window->windowTitle(), "Corvane");
    EXPECT_EQ(menuTitles(*window), (QStringList {"&File", "&Windows", "&Help"}));
    EXPECT_EQ(window->StatusPanels[0]->text(), "v. 2.03 - March 28, 2007");
    EXPECT_TRUE(window->ControlBar->isVisible());
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    if (screen.width() > 640) {
        EXPECT_EQ(window->size(), QSize(screen.width() - 120, screen.height() - 100));
    }
    EXPECT_EQ(window->frameGeometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    EXPECT_NE(CommDM, nullptr);
    EXPECT_EQ(CommDM->MainView, window.data());
}

TEST_F(MainWindowTest, ControlOpensTheDeviceControlWindowOnceAndMergesItsMenu)
{
    open("");
    uint16_t key = 'c';
    window->ShortcutKey(key);
    EXPECT_EQ(key, 0);
    ASSERT_NE(CommForm, nullptr);
    PumpFor(50ms);
    window->MdiArea->setActiveSubWindow(CommForm);
    EXPECT_EQ(menuTitles(*window), (QStringList {"&File", "&Windows", "Co&mmands", "&Help"}));
    TCommForm *first = CommForm;
    window->CommBtnClick();
    EXPECT_EQ(CommForm, first);
    EXPECT_EQ(window->MdiArea->subWindowList().size(), 1);
    EXPECT_EQ(CommForm->x() + CommForm->width(), window->MdiArea->viewport()->width() - 2);

    key = 'q';
    window->ShortcutKey(key);
    EXPECT_EQ(key, 'q');

    // Save a picture of the window for a person to look at.
    PumpFor(100ms);
    window->grab().save(QString(CORVANE_ARTIFACT_DIR) + "/corvane-main-window.png");
}

TEST_F(MainWindowTest, ToolbarSwitchIsSaved)
{
    open("[Misc]\nToolbar=1\n");
    window->Toolbar1->trigger();
    EXPECT_FALSE(Settings.Toolbar);
    EXPECT_FALSE(window->ControlBar->isVisible());
    EXPECT_NE(dir.read("CORVANE.INI").find("Toolbar=0"), std::string::npos);
}

TEST_F(MainWindowTest, MultiMenuSelectsTheReaderOnTheLine)
{
    std::string section = "[Remoted]\nDefMulti=Bus\nMultiPersistent=0\n[Bus]\nTitle=Line A\n";
    for (int i = 1; i <= 30; ++i) section += (i == 2 ? std::string("R&2") : "R" + std::to_string(i)) + "=1B30" + (i < 10 ? "0" : "") + std::to_string(i) + "\n";
    section += "Twin=1B3030\n";
    open(section);

    ASSERT_NE(window->MultiMenu, nullptr);
    EXPECT_EQ(menuTitles(*window), (QStringList {"&File", "&Windows", "Line A", "&Help"}));
    const QList<QAction *> items = window->MultiMenu->actions();
    ASSERT_EQ(items.size(), 31 + 2);   // 31 readers and two column breaks
    EXPECT_TRUE(items[12]->isSeparator());
    EXPECT_TRUE(items[24]->isSeparator());
    EXPECT_EQ(window->windowTitle(), "Corvane");   // entry 0 is still the default: nothing checked

    items[1]->trigger();   // R&2
    EXPECT_EQ(HostCommands[hcEnterHost].str(), "\x1B" "0\x02");
    EXPECT_EQ(window->windowTitle(), "Corvane - R2");
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(items[0]->isChecked());

    items[0]->trigger();   // R1
    EXPECT_EQ(window->windowTitle(), "Corvane - R1");

    HostCommands[hcEnterHost] = "\x1B" "00";   // "1B3030": the address of R30 and of Twin
    window->UpdateMultiMenu(true);
    EXPECT_EQ(window->windowTitle(), "Corvane - Twin");   // the later line names the reader
    const QList<QAction *> rebuilt = window->MultiMenu->actions();
    EXPECT_TRUE(rebuilt[rebuilt.size() - 2]->isChecked());
    EXPECT_TRUE(rebuilt.back()->isChecked());

    HostCommands[hcEnterHost] = "\x1B[C";
    window->UpdateMultiMenu(true);
    EXPECT_EQ(window->windowTitle(), "Corvane");
}

TEST_F(MainWindowTest, AnEmptyMultiSectionKeepsTheMenu)
{
    open("[Remoted]\nDefMulti=Bus\nMultiPersistent=0\n[Bus]\nA=1B3031\n");
    ASSERT_NE(window->MultiMenu, nullptr);
    Settings.ModelName = "M9";
    window->UpdateMultiMenu(false);   // no [M9-Multi] section
    ASSERT_NE(window->MultiMenu, nullptr);
    EXPECT_EQ(window->MultiMenu->title(), "Multi");
    ASSERT_EQ(window->MultiMenu->actions().size(), 1);
    EXPECT_EQ(window->MultiMenu->actions()[0]->text(), "A");
}

TEST_F(MainWindowTest, ABadMultiLineLeavesTheRebuiltMenuInTheMenuBar)
{
    open("[Remoted]\nMultiPersistent=0\n[M9-Multi]\nA=1B3031\nB=1B3G\nC=1B3033\n");
    Settings.ModelName = "M9";
    EXPECT_ANY_THROW(window->UpdateMultiMenu(false));   // as after a connect
    ASSERT_NE(window->MultiMenu, nullptr);
    EXPECT_EQ(menuTitles(*window), (QStringList {"&File", "&Windows", "Multi", "&Help"}));
    ASSERT_FALSE(window->MultiMenu->actions().isEmpty());
    EXPECT_EQ(window->MultiMenu->actions()[0]->text(), "A");
}

TEST_F(MainWindowTest, TheStartupTimerShowsWhyControlFailedBeforeTryingAgain)
{
    testsupport::Pty pty;
    setenv("SERIAL_COM1", pty.devicePath().c_str(), 1);
    open("");
    // The port has no trigger left for the Device Control window's lights: the window cannot be made.
    std::vector<int32_t> triggers;
    try {
        for (;;) triggers.push_back(CommDM->ComPort.AddTimerTrigger());
    } catch (...) {
    }
    TimerWatchUi watch(*window->Timer);
    window->TimerTimer();
    EXPECT_EQ(watch.timerRunning, std::vector<bool> {false});   // no second box while the first one stands
    EXPECT_TRUE(window->Timer->isActive());
    EXPECT_FALSE(CommDM->HasCommView());

    for (int32_t handle : triggers) CommDM->ComPort.RemoveTrigger(handle);
    window->TimerTimer();
    EXPECT_TRUE(CommDM->HasCommView());
    EXPECT_FALSE(window->Timer->isActive());
    EXPECT_EQ(watch.timerRunning.size(), 1u);
}

TEST_F(MainWindowTest, ChildrenThatStickOutAreMovedIn)
{
    open("");
    window->CommBtnClick();
    CommForm->move(window->MdiArea->width(), 10);
    window->resize(window->width() - 50, window->height());
    PumpFor(50ms);
    EXPECT_EQ(CommForm->x(), window->MdiArea->width() - 2 - CommForm->width());
    EXPECT_EQ(CommForm->y(), 10);
}

TEST_F(MainWindowTest, TerminalOpensOnceAndMergesItsMenus)
{
    open("");
    EXPECT_TRUE(window->TermBtn->isEnabled());
    EXPECT_TRUE(window->Terminal1->isEnabled());
    window->Terminal1->trigger();
    ASSERT_TRUE(CommDM->HasTermView());
    TTermForm *first = TermForm;
    EXPECT_EQ(first->pos(), QPoint(20, 20));
    PumpFor(50ms);
    window->MdiArea->setActiveSubWindow(TermForm);
    EXPECT_EQ(menuTitles(*window), (QStringList {"&File", "&Windows", "C&ommands", "&Macro", "&Help"}));
    window->TermBtn->click();
    EXPECT_EQ(TermForm, first);
    EXPECT_EQ(window->MdiArea->subWindowList().size(), 1);
}

// Scrolls the area toward a point of the child as far as its bars go; whether the point then lies in view.
bool ScrollsTo(QMdiArea &area, QMdiSubWindow &child, QPoint corner)
{
    for (int pass = 0; pass < 2; ++pass) {   // a bar that appears narrows the view: measure again
        const QRect view = area.viewport()->rect();
        const QPoint at = child.mapTo(area.viewport(), corner);
        QScrollBar &h = *area.horizontalScrollBar(), &v = *area.verticalScrollBar();
        if (!view.contains(at)) {
            h.setValue(h.value() + std::max(0, at.x() - view.right()) + std::min(0, at.x()));
            v.setValue(v.value() + std::max(0, at.y() - view.bottom()) + std::min(0, at.y()));
        }
        PumpFor(20ms);
    }
    return area.viewport()->rect().contains(child.mapTo(area.viewport(), corner));
}

TEST_F(MainWindowTest, OnALaptopScreenTheAreaScrollsToEveryChildWindow)
{
    const testsupport::AppFont font(11);
    open("");
    window->resize(1024, 600);
    window->CommBtnClick();
    window->EditBtnClick();
    window->TermBtnClick();
    PumpFor(50ms);
    QMdiArea &area = *window->MdiArea;
    // The terminal dragged partly past the bottom right corner.
    TermForm->move(area.viewport()->width() - 100, area.viewport()->height() - 60);
    PumpFor(50ms);
    EXPECT_TRUE(area.horizontalScrollBar()->isVisible());
    EXPECT_TRUE(area.verticalScrollBar()->isVisible());
    const std::pair<const char *, QMdiSubWindow *> children[] {
        {"terminal", TermForm}, {"editor", EditForm}, {"device control", CommForm}, {"terminal", TermForm}};
    for (const auto &[name, child] : children)
        for (const QPoint corner : {child->rect().topLeft(), child->rect().bottomRight(), child->rect().topRight(),
                                    child->rect().bottomLeft()})
            EXPECT_TRUE(ScrollsTo(area, *child, corner)) << name << " at " << corner.x() << "," << corner.y();
}

TEST(AboutBox, ShowsTheEditionsNameVersionAndDate)
{
    TAboutBox own(nullptr, 0);
    EXPECT_EQ(own.windowTitle(), "About Corvane");
    EXPECT_EQ(own.VersionLabel->text(), "Version 2.03");
    EXPECT_EQ(own.VerDateLabel->text(), "March 28, 2007");
    EXPECT_TRUE(own.VerDateLabel->alignment() & Qt::AlignRight);
    TAboutBox partner(nullptr, 2);
    EXPECT_EQ(partner.windowTitle(), "About");
    EXPECT_EQ(partner.VersionLabel->text(), "Version 2.03");
    TAboutBox unknown(nullptr, 9);
    EXPECT_EQ(unknown.windowTitle(), "About Corvane");
}
