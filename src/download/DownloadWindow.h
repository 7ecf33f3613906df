#pragma once
// The download window: the commands of the loader protocol (connect, erase, download, recent downloads, exit) and
// what it shows of its work: the status line, the log pane, the lights of the port, the device and the resident
// program, and the progress window of a transfer.

#include "LoaderProtocol.h"
#include "serial/SerComPort.h"

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class TDropSpeedButton;
class TPopupMenu;
class TSerStatusLight;

class TTRSForm : public QDialog, public ILoaderView {
    Q_OBJECT
public:
    explicit TTRSForm(QWidget *owner);
    ~TTRSForm() override;

    // Reads the device's settings when the name differs from the one held; shows its name and the title.
    void SelectDevice(const std::string &name);
    // The caller's port number and line settings ("9600,N,8,1").
    void SetPort(int32_t number, const std::string &settings);

    // Downloads the file after the user's confirmation and logs the result.
    void DownloadFile(const std::string &fileName);

    // Event handlers.
    void ConnBtnClick();
    void EraseBtnClick();
    void DownLoadBtnClick();
    void ExitBtnClick();
    void AbortBtnClick();
    void PortCheckClick();
    void MRUMenuPopup();
    void MRUItemClick(const std::string &caption);

    // What the loader protocol shows.
    void ShowStatus(const std::string &text) override;
    void Log(const std::string &line) override;
    void LogLines(const std::string &text) override;
    void AppendToLogLine(const std::string &text) override;
    void ShowPortOpen(bool open) override;
    void ShowConnecting(bool connecting) override;
    void ShowDeviceAnswered() override;
    void ShowVersion(const std::string &version) override;
    void ShowDeviceLost() override;
    void ShowTransferRunning(bool running) override;
    void ShowDownloadEnded() override;
    void ShowProgress(const std::string &caption) override;
    void ReportProgress(int64_t done, int64_t all) override;
    void HideProgress() override;

    // Ends the modal run; while an operation is running the close waits until it has returned.
    void done(int result) override;

    // Everything but the status bar; disabled during a built-in transfer.
    QWidget *body() const { return body_; }

    QGroupBox *HostGroup;
    QLabel *Display;
    QGroupBox *LogGroup;
    QPlainTextEdit *LogMemo;
    QGroupBox *PortGroup;
    QLabel *PortLabel;
    TSerStatusLight *PortLed;
    QGroupBox *DevGroup;
    QLabel *DevLabel;
    TSerStatusLight *DevLed;
    QGroupBox *GroupBox1;
    QLabel *ResLabel;
    TSerStatusLight *LoaderLed;
    QPushButton *ConnBtn;
    QPushButton *EraseBtn;
    QPushButton *DownLoadBtn;
    TDropSpeedButton *MRUBtn;
    QPushButton *ExitBtn;
    QPushButton *AbortBtn;
    QCheckBox *PortCheck;
    QStatusBar *StatusBar;
    TPopupMenu *MRUMenu;
    TSerComPort ComPort;
    TLoaderProtocol Loader;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Marks an operation as running for its lifetime; a close asked for meanwhile follows when the last ends.
    class TOperation {
    public:
        explicit TOperation(TTRSForm &form);
        ~TOperation();
        TOperation(const TOperation &) = delete;
        TOperation &operator=(const TOperation &) = delete;

    private:
        TTRSForm &form_;
    };

    void buildControls();
    void FormShow();
    void FormClose();
    void SetCommandsEnabled(bool enabled);
    void AddLogLine(const std::string &line);
    void DropOldestLogLine();
    void LimitLog();

    QWidget *body_;
    int logLines_ = 0;
    int operations_ = 0;
    bool shown_ = false;
    bool closing_ = false;
    std::optional<int> pendingClose_;
};
