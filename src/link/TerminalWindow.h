#pragma once
// The Terminal: shows every byte the reader sends and every line sent to it, sends raw bytes typed on a command
// line, chosen from the byte table, taken from the macros, the Serial Start and Stop bytes and the host-mode
// commands, and writes a plain or an extended log file.

#include "CommViews.h"
#include "TermLog.h"
#include "platform/qt/MenuGroups.h"

#include <QMdiSubWindow>

#include <string>

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QTimer;
class QToolButton;
class TByteLineEdit;
class TTermLines;

class TTermForm : public QMdiSubWindow, public ITermView, public IMergedMenus {
    Q_OBJECT
public:
    explicit TTermForm(QWidget *parent = nullptr);
    ~TTermForm() override;   // saves the window's bounds and the INI

    // ITermView: a byte received on the link.
    void ShowRxChar(uint8_t ch) override;
    // A line sent on the link: it replaces the last display line.
    void ShowSentLine(const std::string &bytes);
    // Shows the bytes as a sent line, sends them and shows what the reader answers within 9 ticks. False when
    // another operation holds the link: nothing is sent then.
    bool SendBytes(const std::string &bytes);

    // "C&ommands" and "&Macro" join the main menu bar as group 1.
    std::vector<TMenuGroup> MenuGroups() const override { return {{1, CommandsMenu}, {1, MacroMenu}}; }

    void EnterBtnClick();
    void ExitBtnClick();
    void PrgBtnClick();
    void RAMBtnClick();
    void EEPROMBtnClick();
    void STXBtnClick();
    void ETXBtnClick();
    void ClrScrnBtnClick();
    void LogBtnClick();
    void ExLogBtnClick();
    void MacroBtnClick();
    void MacroComboChange(int index);
    void ChrComboChange(int index);
    // Rebuilds the macro combo and menu from the terminal macro list.
    void FillMacros();

    TTermLog Log;
    TTermLines *Lines;

    QWidget *BtnPanel, *CmdPanel;
    QToolButton *EnterBtn, *ExitBtn, *PrgBtn, *RAMBtn, *EEPROMBtn, *ClrScrnBtn, *LogBtn, *ExLogBtn, *MacroBtn;
    QLabel *MacroLab;
    QComboBox *MacroCombo, *ChrCombo;
    QListView *CmdGrid;
    TByteLineEdit *CmdEdit;
    QToolButton *STXBtn, *ETXBtn;
    QMenu *CommandsMenu, *MacroMenu;
    QTimer *Timer;   // gives the command line the focus once, 100 ms after creation

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void BtnPanelResize();
    void CmdPanelResize();
    void CmdEditEnter();
    void sendHostCommand(int entry);
    // Sends with the panel disabled meanwhile.
    void sendFrom(QWidget *panel, const std::string &bytes);
    // Starts the log of the button's kind when it went down, stops it when it went up.
    void toggleLog(TTermLog::TKind kind);
    void showLogClosed(TTermLog::TKind kind);
    void unregister();

    bool sending_ = false;
    bool placed_ = false;
};

// The Terminal while it is open (test `CommDM->HasTermView()` first).
extern TTermForm *TermForm;
