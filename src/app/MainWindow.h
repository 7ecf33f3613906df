#pragma once
// The main window: the MDI frame with menus, toolbar and status bar; it owns the reader link and the template,
// opens the child windows, and governs start-up and shutdown.

#include "link/CommViews.h"
#include "platform/qt/MenuGroups.h"

#include <QMainWindow>

#include <string>
#include <vector>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTimer;
class QToolBar;
class QToolButton;
class TBackgroundArea;

extern const char *const AppTitle;

class TMainForm : public QMainWindow, public IMainView {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // IMainView
    void UpdateMultiMenu(bool useDefault) override;
    void OpenEditView() override;
    void EnableSpecialMenu(bool enabled) override;
    void CommViewCreated() override {}
    // The key's character in upper case: C, E, T, S, X click the toolbar button of that letter and clear the key.
    void ShortcutKey(uint16_t &key);

    void CommBtnClick();
    void EditBtnClick();
    // Opens the Terminal, or brings it to the front.
    void TermBtnClick();
    // Runs the Setup dialog; only a beep while the Device Control window is busy with a transfer.
    void SetupBtnClick();
    void ExitBtnClick();
    void About1Click();
    void Toolbar1Click();
    void TimerTimer();
    void CloseTimerTimer();

    QMdiArea *ClientWnd() const;
    TBackgroundArea *MdiArea;
    QTimer *Timer;
    QTimer *CloseTimer;
    QToolBar *ControlBar;
    QToolButton *CommBtn, *EditBtn, *TermBtn, *SetupBtn, *ExitBtn;
    QAction *Exit1, *Toolbar1, *Edit1, *Control1, *Terminal1, *Setup1, *HelpContents, *HelpSearch, *About1;
    QMenu *File1, *Tools1, *Help1;
    QMenu *MultiMenu = nullptr;     // the Multi menu once a multi-drop section was read
    QMenu *SpecialMenu = nullptr;   // the add-on menu, none while [Special] is empty
    bool AddOnRunning = false;      // an add-on program or library runs; closing waits for it
    bool StopWaitingForAddOn = false;   // set by a close: the launcher stops waiting for its program
    QLabel *StatusPanels[2];

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void SetCV();
    void SetMenu();
    void RebuildMenuBar();
    void MultiItemClick(QAction *item);
    void BuildSpecialMenu();
    void SpecialItemClick(QAction *item);
    void RunAddOnLibrary(const std::string &file, const std::string &params);
    void RunAddOnProgram(const std::string &file, const std::string &params);
    bool LaunchProgramAndWait(const std::string &file, const std::string &params);
    void UpdateCaption();
    // Hides a child window and lets it go once no code of it runs any more.
    static void Release(QMdiSubWindow *child);

    std::vector<TMenuGroup> ownMenus() const;
};

extern TMainForm *MainForm;
