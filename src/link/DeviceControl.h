#pragma once
// The Device Control window: connect to the reader, read and send its configuration, restore its defaults, run
// custom commands, switch interactive mode, the log and RAM/EEPROM, and watch the port.

#include "CommViews.h"
#include "platform/qt/MenuGroups.h"
#include "serial/SerSignalLights.h"

#include <QMdiSubWindow>

#include <array>
#include <functional>
#include <string>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

class TCommForm : public QMdiSubWindow, public ICommView, public IMergedMenus {
    Q_OBJECT
public:
    explicit TCommForm(QWidget *parent = nullptr);
    ~TCommForm() override;

    // ICommView
    void ShowStatus(const std::string &msg) override;
    void AddLog(const std::string &line, bool force) override;
    void UpdatePort() override;

    // The "Co&mmands" menu joins the main menu bar as group 1.
    std::vector<TMenuGroup> MenuGroups() const override { return {{1, CommandsMenu}}; }

    // The window's commands; each runs its operation alone and leaves the window enabled and the reader out of
    // host mode, whatever happens.
    void ConnBtnClick();
    void GetCfgBtnClick();
    void SendCfgBtnClick();
    void DefaultBtnClick();
    void CustBtnClick(int n);
    void InterBtnClick();
    void LogBtnClick();
    void EEPROMBtnClick();
    void ConnTimerTimer();

    // The window's controls; disabled while an operation runs.
    QWidget *body() const { return body_; }

    QMenu *CommandsMenu;   // merged into the main window's menu bar while this window is active
    QTimer *ConnTimer;     // one-shot connect, started by the main window for a connect at start

    QGroupBox *HostGroup, *PortGroup, *CmdGroup, *LogGroup;
    QLabel *DisplayPanel, *PortLabel;
    TSerStatusLight *PortLed, *TxLed, *RxLed;
    QPushButton *ConnBtn;
    QToolButton *GetCfgBtn, *SendCfgBtn, *DefaultBtn, *InterBtn, *LogBtn, *EEPROMBtn;
    std::array<QToolButton *, 3> CustBtn {};
    QPlainTextEdit *LogMemo;
    QAction *ConnectItem, *GetItem, *SendItem, *RestoreItem, *InterItem, *LogItem, *EEPROMItem, *ExitItem, *Sep3;
    std::array<QAction *, 3> CustItem {};
    TSerSLController Lights;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenu();
    void SetupCustomButtons();
    void EnableCommands();
    void DisableCommands();
    void SetCommandsEnabled(bool enabled);
    void ShowPortCaption();
    void ShowIdentification();
    // A failed Connect: no identification, no model, commands disabled.
    void ShowNotConnected();
    void SetWindowEnabled(bool enabled);
    // Get without the operation guard: also run by Connect and after Default.
    void GetConfiguration();
    // Runs `work` with the window disabled and the reader in host mode; false when host mode could not be
    // entered. Whatever happens the window is enabled again and the reader leaves host mode; after an error
    // `failure` is shown and the error goes on to the default report.
    bool RunInHostMode(const std::function<bool()> &work, const std::string &failure);

    QWidget *body_;
};

// The window while it is open, else nullptr; the main window sets ClientRight, the MDI client's width, before
// creating it, and the window aligns its right edge to it.
extern TCommForm *CommForm;
extern int ClientRight;
