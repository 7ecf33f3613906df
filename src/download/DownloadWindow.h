#pragma once
// The download window: brings the reader from its resident program into its loader, reads the resident
// program's version, erases the reader's EEPROM on request, downloads a program file by a built-in loader
// protocol or an outside driver, and starts the downloaded program when it closes while connected. Every step
// goes to the log pane and is summed up in the status line.

#include "TarselSettings.h"
#include "platform/ShortStr.h"
#include "serial/SerComPort.h"

#include <QDialog>

#include <cstdint>
#include <memory>
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
struct TBlockPlan;

class TTRSForm : public QDialog {
    Q_OBJECT
public:
    explicit TTRSForm(QWidget *owner);
    ~TTRSForm() override;

    // Reads the device's settings when the name differs from the one held; shows its name and the title.
    void SelectDevice(const std::string &name);
    // The caller's port number and line settings ("9600,N,8,1").
    void SetPort(int32_t number, const std::string &settings);

    void ShowStatus(const std::string &text);
    // One line in byte display form; the oldest line goes once the log holds 200.
    void Log(const std::string &line);
    // Several lines separated by CR.
    void LogLines(const std::string &text);

    // The port at the caller's number and settings.
    void OpenPort();
    void ClosePort();
    // The loader's line settings on the port.
    void ApplyDefSettings();

    void SendString(const std::string &bytes);
    // Waits for the expected bytes (ignoring case); the bytes read meanwhile, at most maxLength of them, go to
    // reply. True when they came in time.
    bool WaitAnswer(const std::string &expected, int32_t ticks, std::size_t maxLength = 255,
                    std::string *reply = nullptr);

    // The connect procedure and its steps.
    bool EnterHostMode(int32_t ticks);
    bool LeaveHostMode(int32_t ticks);
    bool TryHostMode();
    bool SendCRs();
    void Connect();
    void GetVersion();
    void EraseEEPROM();
    void Terminate();

    // Downloads the file after the user's confirmation and logs the result.
    void DownloadFile(const std::string &fileName);
    // The transfers; each answers a result code.
    int32_t DownloadBlocks(const std::string &fileName);
    int32_t DownloadMtr(const std::string &fileName);
    int32_t DownloadByDriver(const std::string &fileName);

    // Event handlers.
    void ConnBtnClick();
    void EraseBtnClick();
    void DownLoadBtnClick();
    void ExitBtnClick();
    void AbortBtnClick();
    void PortCheckClick();
    void MRUMenuPopup();
    void MRUItemClick(const std::string &caption);
    void ComPortWaitChar(char c);
    // The port lost its device and closed itself: the window shows it and counts as not connected.
    void ComPortDeviceLost();

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

    std::unique_ptr<TTRSSetup> Setup;
    ShortStr<255> RxText;   // bytes received since the current wait began
    int32_t PortNumber = 0;
    int32_t CallerBaud = 0;
    uint8_t CallerParity = 0;
    uint8_t CallerDataBits = 0;
    uint8_t CallerStopBits = 0;
    bool AbortRequested = false;
    bool Connected = false;
    ShortStr<255> VersionText;

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
    // Waits until the port has sent its queued output: in steps of one tick, or processing messages between
    // quick checks.
    void WaitOutputSent(bool tickSteps);
    // Closing the port discards the output still on its way: waits until it has left the port.
    void LetOutputLeave();
    void AppendToLogLine(const std::string &text);
    void AddLogLine(const std::string &line);
    void DropOldestLogLine();
    void LimitLog();
    // Sends a loader command and answers its reply line, or what arrived of it within a second; an echo of the
    // command comes first when the loader echoes.
    std::string LoaderCommand(const std::string &command);
    int32_t RunBuiltIn(const std::string &fileName, bool mtr);
    // Sends the plan's blocks, each confirmed by its sum; false after a failed confirmation.
    bool TransferBlocks(const std::string &image, const TBlockPlan &plan);
    // Sends block `block` of the image that starts with block `first`; answers the block's sum.
    int32_t SendBlock(const std::string &image, int block, int first, int count);
    bool WaitBlockSum(int32_t sum);
    bool WaitMtr();
    void SetSpeed(int32_t baud);
    int32_t CallDriver(const std::string &fileName);

    QWidget *body_;
    int logLines_ = 0;
    int operations_ = 0;
    bool shown_ = false;
    bool closing_ = false;
    std::optional<int> pendingClose_;
};
