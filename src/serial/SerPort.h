#pragma once
// The serial port component: keeps the line settings while the port is closed, opens and closes the device
// through a dispatcher, re-applies every setting to a freshly opened one, turns the dispatcher's trigger
// messages into events through a hidden window, and offers the blocking string wait.

#include "SerDispatch.h"
#include "SerMisc.h"
#include "SerTrigger.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class TSerWindow;

enum class TDeviceLayer : uint8_t { dlWin16, dlFossil, dlWin32, dlWinsock };   // dlWin32: the native tty layer
enum class TParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };
// The parity's letter in line-setting texts ("9600,N81"); `unknown` for a value outside the five.
constexpr char ParityLetter(TParity parity, char unknown = 'N')
{
    return uint8_t(parity) < 5 ? "NOEMS"[uint8_t(parity)] : unknown;
}
enum class TTraceLogState : uint8_t { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum class TTapiMode : uint8_t { tmNone, tmAuto, tmOn, tmOff };
enum class TSWFlowOptions : uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };

// Hardware flow options, combined as bits.
using THWFlowOptionSet = uint8_t;
namespace THWFlowOption {
constexpr THWFlowOptionSet hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8;
}

enum class TPortState : uint8_t { PortClosed, PortShuttingDown, PortOpen };

class TSerCustomComPort : public TSerBaseComponent {
public:
    using TTriggerEvent = std::function<void(TSerCustomComPort &, uint16_t msg, uint16_t handle, uint16_t data)>;
    using TTriggerAvailEvent = std::function<void(TSerCustomComPort &, uint16_t count)>;
    using TTriggerHandleEvent = std::function<void(TSerCustomComPort &, uint16_t handle)>;
    using TTriggerDataEvent = TTriggerHandleEvent;
    using TTriggerStatusEvent = TTriggerHandleEvent;
    using TTriggerTimerEvent = TTriggerHandleEvent;
    using TTriggerLineErrorEvent = std::function<void(TSerCustomComPort &, uint16_t error, bool lineBreak)>;
    using TNotifyEvent = std::function<void(TSerCustomComPort &)>;
    using TWaitCharEvent = std::function<void(TSerCustomComPort &, char c)>;
    using TPortUserCallback = std::function<void(TSerCustomComPort &, bool opening)>;

    TSerCustomComPort();
    ~TSerCustomComPort() override;
    TSerCustomComPort(const TSerCustomComPort &) = delete;
    TSerCustomComPort &operator=(const TSerCustomComPort &) = delete;

    // Properties. Each setter stores its value and, while the port is open, applies it at once.
    TDeviceLayer DeviceLayer() const { return deviceLayer_; }
    void SetDeviceLayer(TDeviceLayer value);
    uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(uint16_t value);
    int32_t Baud() const { return baud_; }
    void SetBaud(int32_t value);
    bool PromptForPort() const { return promptForPort_; }
    void SetPromptForPort(bool value) { promptForPort_ = value; }
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    uint16_t DataBits() const { return dataBits_; }
    void SetDataBits(uint16_t value);
    uint16_t StopBits() const { return stopBits_; }
    void SetStopBits(uint16_t value);
    uint16_t InSize() const { return inSize_; }
    void SetInSize(uint16_t value);
    uint16_t OutSize() const { return outSize_; }
    void SetOutSize(uint16_t value);
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    bool Open() const { return open_; }
    void SetOpen(bool value);
    bool DTR() const { return dtr_; }
    void SetDTR(bool value);
    bool RTS() const { return rts_; }
    void SetRTS(bool value);
    THWFlowOptionSet HWFlowOptions() const { return hwFlowOptions_; }
    void SetHWFlowOptions(THWFlowOptionSet value);
    TSWFlowOptions SWFlowOptions() const { return swFlowOptions_; }
    void SetSWFlowOptions(TSWFlowOptions value);
    char XOnChar() const { return xOnChar_; }
    void SetXOnChar(char value);
    char XOffChar() const { return xOffChar_; }
    void SetXOffChar(char value);
    uint16_t BufferFull() const { return bufferFull_; }
    void SetBufferFull(uint16_t value);
    uint16_t BufferResume() const { return bufferResume_; }
    void SetBufferResume(uint16_t value);
    TTraceLogState Tracing() const { return tracing_; }
    void SetTracing(TTraceLogState value);
    uint32_t TraceSize() const { return traceSize_; }
    void SetTraceSize(uint32_t value);
    const std::string &TraceName() const { return traceName_; }
    void SetTraceName(const std::string &value) { traceName_ = value.substr(0, 255); }
    bool TraceHex() const { return traceHex_; }
    void SetTraceHex(bool value) { traceHex_ = value; }
    TTraceLogState Logging() const { return logging_; }
    void SetLogging(TTraceLogState value);
    uint32_t LogSize() const { return logSize_; }
    void SetLogSize(uint32_t value);
    const std::string &LogName() const { return logName_; }
    void SetLogName(const std::string &value) { logName_ = value.substr(0, 255); }
    bool LogHex() const { return logHex_; }
    void SetLogHex(bool value) { logHex_ = value; }
    bool UseMSRShadow() const { return useMSRShadow_; }
    virtual void SetUseMSRShadow(bool value);
    bool UseEventWord() const { return useEventWord_; }
    void SetUseEventWord(bool value);
    uint16_t CommNotificationLevel() const { return commNotificationLevel_; }
    void SetCommNotificationLevel(uint16_t value) { commNotificationLevel_ = value; }
    TTapiMode TapiMode() const { return tapiMode_; }
    void SetTapiMode(TTapiMode value) { tapiMode_ = value; }
    bool RS485Mode() const { return rs485Mode_; }
    void SetRS485Mode(bool value);
    uint16_t TriggerLength() const { return triggerLength_; }
    void SetTriggerLength(uint16_t value);
    uint8_t ThreadBoost() const { return threadBoost_; }
    void SetThreadBoost(uint8_t value);
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t value) { tag_ = value; }

    // Events. Assigning a trigger event tells the dispatcher whether the port wants trigger messages.
    void SetOnTrigger(TTriggerEvent handler);
    void SetOnTriggerAvail(TTriggerAvailEvent handler);
    const TTriggerAvailEvent &OnTriggerAvail() const { return onTriggerAvail_; }
    void SetOnTriggerData(TTriggerDataEvent handler);
    void SetOnTriggerStatus(TTriggerStatusEvent handler);
    const TTriggerStatusEvent &OnTriggerStatus() const { return onTriggerStatus_; }
    void SetOnTriggerTimer(TTriggerTimerEvent handler);
    const TTriggerTimerEvent &OnTriggerTimer() const { return onTriggerTimer_; }
    void SetOnTriggerLineError(TTriggerLineErrorEvent handler);
    void SetOnTriggerModemStatus(TNotifyEvent handler);
    void SetOnTriggerOutbuffFree(TNotifyEvent handler);
    void SetOnTriggerOutbuffUsed(TNotifyEvent handler);
    void SetOnTriggerOutSent(TNotifyEvent handler);
    void SetOnWaitChar(TWaitCharEvent handler) { onWaitChar_ = std::move(handler); }
    void SetOnPortOpened(TNotifyEvent handler) { onPortOpened_ = std::move(handler); }
    void SetOnPortClosing(TNotifyEvent handler) { onPortClosing_ = std::move(handler); }

    // Runs on the GUI thread as each close is about to close the device; tests hold the GUI thread there while
    // the dispatcher's threads go on.
    static std::function<void()> CloseHook;

    TPortState PortState() const { return portState_; }
    // The port whose device failed while it was open ("COM17, /dev/ttyUSB0"): the port then closed itself, and
    // every I/O call raises ECommNotOpen naming it, until the port is opened again. Empty when none was lost.
    const std::string &LostDevice() const { return lostDevice_; }
    // The line settings the port runs with: baud, parity, data bits and stop bits as the dispatcher keeps them
    // while open, the stored values otherwise.
    void GetLine(int32_t &baud, TParity &parity, uint16_t &dataBits, uint16_t &stopBits);

    // The dispatcher; opens the port first when it is closed and AutoOpen is set.
    TSerBaseDispatcher *Dispatcher();
    // The dispatcher, or ECommNotOpen.
    TSerBaseDispatcher &RequireDispatcher();

    // Input and output. On a port that is closing, or whose device was lost, they raise ECommNotOpen saying so.
    bool CharReady();
    char GetChar();
    void PutChar(char c);
    void PutString(const std::string &s);
    void FlushInBuffer();
    void FlushOutBuffer();
    // Waits until the received bytes end with s (or the time-out in ticks passes); reads the bytes itself,
    // reporting each to the wait-character event. With yield the GUI keeps running meanwhile, and a stop
    // condition that comes true meanwhile ends the wait as a time-out does; so does a port closed or lost
    // meanwhile.
    bool WaitForString(const std::string &s, int32_t timeout, bool yield, bool ignoreCase,
                       const std::function<bool()> &stop = {});
    uint32_t InBuffUsed();
    uint32_t OutBuffUsed();
    bool CTS();
    bool DSR();
    bool DCD();
    bool DeltaRI();
    uint16_t LineError();
    bool LineBreak();
    void Yield();

    // Triggers.
    int32_t AddTimerTrigger();
    int32_t AddStatusTrigger(uint8_t kind);
    // Works while the dispatcher exists, so a user told of the close can still remove its triggers.
    void RemoveTrigger(int32_t handle);
    void SetTimerTrigger(int32_t handle, int32_t ticks, bool activate);
    void SetStatusTrigger(int32_t handle, uint16_t value, bool activate);

    // Trace of the bytes received and sent, and the dispatch log of internal events; each operation sets
    // Tracing or Logging to match. A size of 0 keeps TraceSize or LogSize.
    void InitTracing(uint32_t size);
    void DumpTrace(const std::string &name, bool hex);
    void AppendTrace(const std::string &name, bool hex);
    void ClearTracing();
    void AbortTracing();
    void ResumeTracing();
    void PauseTracing();
    void InitLogging(uint32_t size);
    void DumpLog(const std::string &name, bool hex);
    void AppendLog(const std::string &name, bool hex);
    void ClearLogging();
    void AbortLogging();
    void ResumeLogging();
    void PauseLogging();

    // Port users: told after the port opened and before it closes. A window gets message 0x7E08 or 0x7E09;
    // a callback is called with opening true or false. The key identifies the callback's owner.
    void RegisterUserCallback(const void *key, TPortUserCallback callback);
    void DeregisterUserCallback(const void *key);
    void RegisterUserWindow(QObject *window);
    void DeregisterUserWindow(QObject *window);
    // Told once, first thing when the port is destroyed, while it still works. The key identifies the
    // callback's owner.
    void RegisterFreeNotification(const void *key, TNotifyEvent callback);
    void DeregisterFreeNotification(const void *key);

    // Copies the settings and events of another port; this port is left closed.
    void Assign(const TSerCustomComPort &source);
    void Loaded() override;

protected:
    virtual std::unique_ptr<TSerBaseDispatcher> CreateDispatcher();
    virtual void PromptForPortIfNeeded();
    // Asks the user for a port number; 0 when none was chosen. Without a dialog nothing can be chosen.
    virtual int ShowPortPrompt();

    // Event dispatch, one per event.
    virtual void DoTrigger(uint16_t msg, uint16_t handle, uint16_t data);
    virtual void DoTriggerAvail(uint16_t count);
    virtual void DoTriggerData(uint16_t handle);
    virtual void DoTriggerStatus(uint16_t handle);
    virtual void DoTriggerTimer(uint16_t handle);
    virtual void DoTriggerLineError(uint16_t error, bool lineBreak);
    virtual void DoTriggerModemStatus();
    virtual void DoTriggerOutbuffFree();
    virtual void DoTriggerOutbuffUsed();
    virtual void DoTriggerOutSent();
    virtual void DoWaitChar(char c);

private:
    struct PortUser {
        QObject *window;
        const void *key;
        TPortUserCallback callback;
    };
    struct FreeNotification {
        const void *key;
        TNotifyEvent callback;
    };
    // The trace and the dispatch log follow the same rules: their fields and dispatcher operations.
    struct TraceLogChannel;
    static const TraceLogChannel TraceChannel;
    static const TraceLogChannel LogChannel;
    using TChannelWrite = int32_t (TSerBaseDispatcher::*)(const std::string &, bool);
    using TChannelOp = void (TSerBaseDispatcher::*)();

    void DoOpen();
    void DoClose();
    // The device failed: the port closes as any close does and remembers the device for the next I/O call.
    void LoseDevice();
    void InitPort();
    void FinishClose();
    void NotifyUsers(bool opening);
    void UpdateHandlerFlags();
    // Sets the line to these values while open and stores them once the dispatcher took them: a refused setting
    // leaves the port as it was.
    void ApplyLine(int32_t baud, TParity parity, uint16_t dataBits, uint16_t stopBits);
    void ApplyHWFlow();
    void ApplySWFlow();
    bool Applies(bool unchanged) const { return !unchanged || reapplying_; }
    bool IsOpen() const { return portState_ == TPortState::PortOpen; }
    void WindowProc(uint32_t message, uint32_t wParam, int32_t lParam);
    void SetChannelState(const TraceLogChannel &channel, TTraceLogState value);
    void SetChannelSize(const TraceLogChannel &channel, uint32_t value);
    void StartChannel(const TraceLogChannel &channel, uint32_t size);
    void WriteChannel(const TraceLogChannel &channel, TChannelWrite write, const std::string &name, bool hex);
    // Runs the dispatcher's operation and sets the channel's state.
    void RunChannel(const TraceLogChannel &channel, TChannelOp op, TTraceLogState state);

    TDeviceLayer deviceLayer_ = TDeviceLayer::dlWin32;
    uint16_t comNumber_ = 0;
    int32_t baud_ = 19200;
    bool promptForPort_ = true;
    TParity parity_ = TParity::pNone;
    uint16_t dataBits_ = 8;
    uint16_t stopBits_ = 1;
    uint16_t inSize_ = 4096;
    uint16_t outSize_ = 4096;
    bool autoOpen_ = true;
    bool open_ = false;
    bool dtr_ = true;
    bool rts_ = true;
    THWFlowOptionSet hwFlowOptions_ = 0;
    TSWFlowOptions swFlowOptions_ = TSWFlowOptions::swfNone;
    char xOnChar_ = 17;
    char xOffChar_ = 19;
    uint16_t bufferFull_ = 0;
    uint16_t bufferResume_ = 0;
    TTraceLogState tracing_ = TTraceLogState::tlOff;
    uint32_t traceSize_ = 10000;
    std::string traceName_ = "SERIAL.TRC";
    bool traceHex_ = true;
    TTraceLogState logging_ = TTraceLogState::tlOff;
    uint32_t logSize_ = 10000;
    std::string logName_ = "SERIAL.LOG";
    bool logHex_ = true;
    bool useMSRShadow_ = true;
    bool useEventWord_ = true;
    uint16_t commNotificationLevel_ = 10;
    TTapiMode tapiMode_ = TTapiMode::tmAuto;
    bool rs485Mode_ = false;
    int32_t tag_ = 0;

    TTriggerEvent onTrigger_;
    TTriggerAvailEvent onTriggerAvail_;
    TTriggerDataEvent onTriggerData_;
    TTriggerStatusEvent onTriggerStatus_;
    TTriggerTimerEvent onTriggerTimer_;
    TTriggerLineErrorEvent onTriggerLineError_;
    TNotifyEvent onTriggerModemStatus_;
    TNotifyEvent onTriggerOutbuffFree_;
    TNotifyEvent onTriggerOutbuffUsed_;
    TNotifyEvent onTriggerOutSent_;
    TWaitCharEvent onWaitChar_;
    TNotifyEvent onPortOpened_;
    TNotifyEvent onPortClosing_;

    bool reapplying_ = false;
    TPortState portState_ = TPortState::PortClosed;
    bool reopenPending_ = false;
    bool openAfterLoad_ = false;
    std::vector<PortUser> portUsers_;
    std::vector<FreeNotification> freeNotifications_;
    bool triggersSaved_ = false;
    TTriggerSave savedTriggers_;
    TSerWindow *notifyWindow_ = nullptr;
    const uint32_t allowedDeviceLayers_ = 1u << unsigned(TDeviceLayer::dlWin32);
    std::unique_ptr<TSerBaseDispatcher> dispatcher_;
    uint16_t tapiDevice_ = 0;
    uint8_t threadBoost_ = 0;
    uint16_t triggerLength_ = 1;
    int busyDepth_ = 0;   // trigger events and string waits running further up the GUI thread's stack
    std::string lostDevice_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
