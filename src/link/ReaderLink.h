#pragma once
// The reader link: owns the serial port, keeps the state of the link and speaks the reader's host-mode protocol.
// It reaches the windows only through their registered views.

#include "CommViews.h"
#include "WireTime.h"
#include "platform/ShortStr.h"
#include "serial/SerComPort.h"

#include <cstdint>
#include <string>
#include <vector>

class TCommDM {
public:
    TCommDM();    // applies the [Port] settings and opens the port
    ~TCommDM();   // closes the port
    TCommDM(const TCommDM &) = delete;
    TCommDM &operator=(const TCommDM &) = delete;

    TSerComPort ComPort;

    std::string ReplyBuffer;   // bytes of the current reply wait
    std::string LineBuffer;    // unsolicited bytes of the line being collected
    ICommView *CommView = nullptr;
    ITermView *TermView = nullptr;
    IEditView *EditView = nullptr;
    IMainView *MainView = nullptr;
    bool Monitoring = false;
    bool InHostMode = false;
    bool Interactive = false;
    bool Connected = false;
    bool Busy = false;
    bool AbortConnect = false;
    bool OperationRunning = false;   // a user operation holds the link (see TLinkOperation)
    ShortStr<255> DeviceId;
    ShortStr<255> DeviceInfo;

    // View forwarders: each does nothing while its view is not registered.
    void ShowStatus(const std::string &msg);
    void AddLog(const std::string &line, bool force);
    void UpdatePort();
    void ShowRxChar(uint8_t ch);
    void RefreshEditView();
    void UpdateMultiMenu(bool useDefault);
    void OpenEditView();
    void EnableSpecialMenu(bool enabled);
    bool HasCommView() const { return CommView != nullptr; }
    bool HasTermView() const { return TermView != nullptr; }
    bool HasEditView() const { return EditView != nullptr; }

    void OpenPort();
    void ClosePort();
    // Opens afresh a port whose device was lost: the same port number, the device found again by its path. When
    // it is still missing, the open's error is raised and the port stays lost.
    void ReopenLostPort();
    void ApplyPortSettings();
    void SetLine(int32_t baud, TParity parity, uint16_t dataBits, uint16_t stopBits);

    uint8_t ReadChar();
    void SendString(const std::string &data, bool log);
    // Waits `timeout` ticks for the reply once the bytes sent can have left the port.
    bool WaitReply(const std::string &expected, int32_t timeout, const std::string &errorText);

    // Single steps of the host-mode protocol.
    bool EnterHostCmd(int32_t timeout);
    bool ExitHostCmd(int32_t timeout);
    bool ProgramModeCmd(int32_t timeout);
    bool SaveCmd(int32_t timeout, bool toEEPROM);

    // Composite operations.
    bool EnterHostMode();
    bool ExitHostMode();
    // After an error: leaves host mode when the link is in it; a failure of that is not reported again, the
    // first error is the one that counts.
    void LeaveHostModeAfterError();
    void Identify();
    bool ReadConfig(std::vector<std::string> &list);
    bool SendConfig(const std::vector<std::string> &list, bool toEEPROM);
    bool SendCommand(const std::string &cmd, bool toEEPROM);
    bool SendSingleCommand(const std::string &cmd);
    // In host mode: restore the factory defaults, save to RAM, and with toEEPROM also to EEPROM; false when any
    // of these failed.
    bool RestoreDefaults(bool toEEPROM);
    // In host mode: send custom command n (1..3) and wait for CR LF.
    bool CustomCommand(int n);
    bool AutoConnect();

private:
    void ComPortTriggerAvail(uint16_t count);
    void ComPortWaitChar(char c);
    void ComPortDeviceLost();

    TWireTime wire_;   // when the bytes sent can have left the port
    // Waits until the port's output has gone out, the port closes, or nothing leaves for a reply time-out.
    void DrainOutput();
    bool SlowLine() const;   // 300 baud or less
};

// A user operation on the reader (a Device Control command, an interactive send): while one runs, a second
// one is refused, since every reply wait lets other commands of the user run.
class TLinkOperation {
public:
    explicit TLinkOperation(TCommDM &link) : link_(link), owner_(!link.OperationRunning)
    {
        link_.OperationRunning = true;
    }
    ~TLinkOperation()
    {
        if (owner_) link_.OperationRunning = false;
    }
    TLinkOperation(const TLinkOperation &) = delete;
    TLinkOperation &operator=(const TLinkOperation &) = delete;

    // False when another operation was already running.
    explicit operator bool() const { return owner_; }

private:
    TCommDM &link_;
    bool owner_;
};

// The one reader link, created and freed by the main window.
extern TCommDM *CommDM;
