#include "SerPort.h"

#include "SerErrno.h"
#include "SerExcept.h"
#include "SerPortMap.h"
#include "SerStringMatch.h"
#include "SerTtyDispatcher.h"
#include "SerWindow.h"

#include "platform/ErrorReport.h"
#include "platform/Text.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

constexpr int32_t NoPortSelected = -2011;
constexpr int32_t NullApi = -3001;
constexpr int32_t NotOpenedByTapi = -2012;
constexpr int32_t AlreadyOpen = -2008;
constexpr int32_t BadId = -2001;
constexpr int FinishRetryMs = 10;
constexpr uint32_t MaxTraceSize = 4000000;
constexpr uint32_t MaxLogSize = 16000000;
constexpr uint32_t EventWordOption = 4;

// What an open error adds to its text: the device tried, and for a refused permission what the user needs.
std::string OpenFailureDetail(int comNumber, int32_t code)
{
    if (SerDevicePath(comNumber).empty())
        return ": COM" + std::to_string(comNumber) + " names no device";
    std::string detail = ": " + SerPortName(comNumber);
    if (code == -int32_t(SerError::PermissionDenied)) {
        const std::string group = SerDeviceGroup(SerDevicePath(comNumber));
        if (!group.empty())
            detail += ". The user must belong to the group " + group + ", which owns the device";
    }
    return detail;
}

uint32_t HWFlowBits(THWFlowOptionSet options)
{
    return options & 0x0F;   // the option bits are the dispatcher's: 1 DTR, 2 RTS, 4 DSR, 8 CTS
}

uint32_t SWFlowBits(TSWFlowOptions options)
{
    switch (options) {
    case TSWFlowOptions::swfReceive: return 2;
    case TSWFlowOptions::swfTransmit: return 1;
    case TSWFlowOptions::swfBoth: return 3;
    default: return 0;
    }
}

// While the port is not open, a state other than off and on is kept as off.
TTraceLogState StoredState(TTraceLogState value)
{
    return value == TTraceLogState::tlOn ? value : TTraceLogState::tlOff;
}

} // namespace

TSerCustomComPort::TSerCustomComPort() = default;

TSerCustomComPort::~TSerCustomComPort()
{
    for (const FreeNotification &notification : std::vector(freeNotifications_))   // they deregister meanwhile
        ReportErrors([&] { notification.callback(*this); });
    *alive_ = false;
    ReportErrors([this] {
        if (IsOpen())
            DoClose();
    });
    if (dispatcher_) {
        // A close still under way (or this port freed from inside one of its own events): finish it now.
        dispatcher_->DetachOwner();
        dispatcher_->DeregisterWindowHandler(notifyWindow_);
        dispatcher_.reset();
    }
    if (notifyWindow_) {
        if (busyDepth_ > 0) {
            notifyWindow_->Detach();
            notifyWindow_->deleteLater();   // its event handler is still running further up the stack
        } else {
            delete notifyWindow_;
        }
    }
}

// ---- Properties ----

void TSerCustomComPort::SetDeviceLayer(TDeviceLayer value)
{
    if ((allowedDeviceLayers_ & (1u << unsigned(value))) && portState_ == TPortState::PortClosed)
        deviceLayer_ = value;
}

void TSerCustomComPort::SetComNumber(uint16_t value)
{
    if (value == comNumber_)
        return;
    const bool wasOpen = IsOpen();
    TTraceLogState tracing = tracing_, logging = logging_;
    // The close saves the triggers and the open restores them, before the port users are told: triggers
    // that a user adds when told of the open are kept.
    if (wasOpen)
        SetOpen(false);
    comNumber_ = value;
    if (wasOpen) {
        SetTracing(tracing);
        SetLogging(logging);
        SetOpen(true);
    }
}

void TSerCustomComPort::ApplyLine()
{
    if (!IsOpen())
        return;
    const int32_t result = dispatcher_->SetLine(baud_, uint8_t(parity_), stopBits_, dataBits_);
    std::string detail;
    if (result == SerCode::ByteSizeRefused || result == SerCode::FormatRefused) {
        detail = ": " + SerPortName(comNumber_) + " cannot take " + std::to_string(baud_) + ","
                 + ParityLetter(parity_) + std::to_string(dataBits_) + std::to_string(stopBits_);
    }
    CheckException(this, result, detail);
}

void TSerCustomComPort::SetBaud(int32_t value)
{
    if (!Applies(value == baud_))
        return;
    baud_ = value;
    ApplyLine();
}

void TSerCustomComPort::SetParity(TParity value)
{
    if (!Applies(value == parity_))
        return;
    parity_ = value;
    ApplyLine();
}

void TSerCustomComPort::SetDataBits(uint16_t value)
{
    if (!Applies(value == dataBits_))
        return;
    dataBits_ = value;
    ApplyLine();
}

void TSerCustomComPort::SetStopBits(uint16_t value)
{
    if (!Applies(value == stopBits_))
        return;
    stopBits_ = value;
    ApplyLine();
}

void TSerCustomComPort::SetInSize(uint16_t value)
{
    if (!Applies(value == inSize_))
        return;
    inSize_ = value;
    if (IsOpen())
        dispatcher_->SizeQueues(inSize_, outSize_);
}

void TSerCustomComPort::SetOutSize(uint16_t value)
{
    if (!Applies(value == outSize_))
        return;
    outSize_ = value;
    if (IsOpen())
        dispatcher_->SizeQueues(inSize_, outSize_);
}

void TSerCustomComPort::SetDTR(bool value)
{
    if (!Applies(value == dtr_))
        return;
    if (IsOpen() && CheckException(this, dispatcher_->SetDTR(value)) != 0)
        return;
    dtr_ = value;
}

void TSerCustomComPort::SetRTS(bool value)
{
    if (!Applies(value == rts_))
        return;
    if (IsOpen() && CheckException(this, dispatcher_->SetRTS(value)) != 0)
        return;
    rts_ = value;
}

void TSerCustomComPort::ApplyHWFlow()
{
    const uint32_t bits = HWFlowBits(hwFlowOptions_);
    if (!IsOpen())
        return;
    // Switching flow off needs no limits: the stored ones may lie outside the buffer.
    CheckException(this, bits ? dispatcher_->SetHWFlowOptions(bufferFull_, bufferResume_, bits)
                              : dispatcher_->SetHWFlowOptions(0, 0, 0));
}

void TSerCustomComPort::ApplySWFlow()
{
    const uint32_t bits = SWFlowBits(swFlowOptions_);
    if (!IsOpen())
        return;
    CheckException(this, bits ? dispatcher_->SetSWFlowOptions(bufferFull_, bufferResume_, bits)
                              : dispatcher_->SWFlowDisable());
}

void TSerCustomComPort::SetHWFlowOptions(THWFlowOptionSet value)
{
    if (!Applies(value == hwFlowOptions_))
        return;
    if (HWFlowBits(value) != 0) {
        if (bufferFull_ == 0 || bufferFull_ > inSize_)
            bufferFull_ = uint16_t(inSize_ * 9 / 10);
        if (bufferResume_ == 0 || bufferResume_ > bufferFull_)
            bufferResume_ = uint16_t(inSize_ / 10);
    }
    const THWFlowOptionSet old = hwFlowOptions_;
    hwFlowOptions_ = value;
    try {
        ApplyHWFlow();
    } catch (...) {
        hwFlowOptions_ = old;
        throw;
    }
    if (value & (THWFlowOption::hwfUseRTS | THWFlowOption::hwfRequireCTS))
        SetRS485Mode(false);
}

void TSerCustomComPort::SetSWFlowOptions(TSWFlowOptions value)
{
    if (!Applies(value == swFlowOptions_))
        return;
    if (SWFlowBits(value) != 0) {
        if (bufferFull_ == 0 || bufferFull_ > inSize_)
            bufferFull_ = uint16_t(inSize_ * 3 / 4);
        if (bufferResume_ == 0 || bufferResume_ > bufferFull_)
            bufferResume_ = uint16_t(inSize_ / 4);
    }
    const TSWFlowOptions old = swFlowOptions_;
    swFlowOptions_ = value;
    try {
        ApplySWFlow();
    } catch (...) {
        swFlowOptions_ = old;
        throw;
    }
}

void TSerCustomComPort::SetBufferFull(uint16_t value)
{
    if (!Applies(value == bufferFull_))
        return;
    bufferFull_ = value > inSize_ ? uint16_t(value * 9 / 10) : value;
    const bool old = reapplying_;
    reapplying_ = true;
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
    reapplying_ = old;
}

void TSerCustomComPort::SetBufferResume(uint16_t value)
{
    if (!Applies(value == bufferResume_))
        return;
    bufferResume_ = value > bufferFull_ ? uint16_t(bufferFull_ / 10) : value;
    const bool old = reapplying_;
    reapplying_ = true;
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
    reapplying_ = old;
}

void TSerCustomComPort::SetRS485Mode(bool value)
{
    if (!Applies(value == rs485Mode_))
        return;
    rs485Mode_ = value;
    if (IsOpen())
        dispatcher_->SetRS485Mode(value);
    if (value) {
        SetHWFlowOptions(hwFlowOptions_ & THWFlowOptionSet(~(THWFlowOption::hwfUseRTS | THWFlowOption::hwfRequireCTS)));
        SetRTS(false);
    }
}

void TSerCustomComPort::SetXOnChar(char value)
{
    if (!Applies(value == xOnChar_))
        return;
    xOnChar_ = value;
    if (IsOpen())
        CheckException(this, dispatcher_->SetFlowChars(xOnChar_, xOffChar_));
}

void TSerCustomComPort::SetXOffChar(char value)
{
    if (!Applies(value == xOffChar_))
        return;
    xOffChar_ = value;
    if (IsOpen())
        CheckException(this, dispatcher_->SetFlowChars(xOnChar_, xOffChar_));
}

void TSerCustomComPort::SetTracing(TTraceLogState value)
{
    SetChannelState(TraceChannel, value);
}

void TSerCustomComPort::SetTraceSize(uint32_t value)
{
    SetChannelSize(TraceChannel, value);
}

void TSerCustomComPort::SetLogging(TTraceLogState value)
{
    SetChannelState(LogChannel, value);
}

void TSerCustomComPort::SetLogSize(uint32_t value)
{
    SetChannelSize(LogChannel, value);
}

void TSerCustomComPort::SetUseMSRShadow(bool)
{
    // The modem status is always read from the device; the stored value stays.
}

void TSerCustomComPort::SetUseEventWord(bool value)
{
    if (!Applies(value == useEventWord_))
        return;
    useEventWord_ = value;
    if (IsOpen()) {
        if (value)
            dispatcher_->SetOptionBits(EventWordOption);
        else
            dispatcher_->ClearOptionBits(EventWordOption);
    }
}

void TSerCustomComPort::SetTriggerLength(uint16_t value)
{
    if (!Applies(value == triggerLength_))
        return;
    triggerLength_ = value;
    if (IsOpen())
        CheckException(this, dispatcher_->SetLengthTrigger(value));
}

void TSerCustomComPort::SetThreadBoost(uint8_t value)
{
    if (!Applies(value == threadBoost_))
        return;
    threadBoost_ = value;
    if (IsOpen())
        dispatcher_->SetThreadBoost(value);
}

// ---- Events ----

void TSerCustomComPort::UpdateHandlerFlags()
{
    if (!IsOpen())
        return;
    const bool any = onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_
                     || onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_
                     || onTriggerOutbuffUsed_ || onTriggerOutSent_;
    dispatcher_->UpdateHandlerService(any ? 1 : 2);
}

#define SER_EVENT_SETTER(name, type, field)                                                                  \
    void TSerCustomComPort::name(type handler)                                                               \
    {                                                                                                        \
        field = std::move(handler);                                                                          \
        UpdateHandlerFlags();                                                                                \
    }
SER_EVENT_SETTER(SetOnTrigger, TTriggerEvent, onTrigger_)
SER_EVENT_SETTER(SetOnTriggerAvail, TTriggerAvailEvent, onTriggerAvail_)
SER_EVENT_SETTER(SetOnTriggerData, TTriggerDataEvent, onTriggerData_)
SER_EVENT_SETTER(SetOnTriggerStatus, TTriggerStatusEvent, onTriggerStatus_)
SER_EVENT_SETTER(SetOnTriggerTimer, TTriggerTimerEvent, onTriggerTimer_)
SER_EVENT_SETTER(SetOnTriggerLineError, TTriggerLineErrorEvent, onTriggerLineError_)
SER_EVENT_SETTER(SetOnTriggerModemStatus, TNotifyEvent, onTriggerModemStatus_)
SER_EVENT_SETTER(SetOnTriggerOutbuffFree, TNotifyEvent, onTriggerOutbuffFree_)
SER_EVENT_SETTER(SetOnTriggerOutbuffUsed, TNotifyEvent, onTriggerOutbuffUsed_)
SER_EVENT_SETTER(SetOnTriggerOutSent, TNotifyEvent, onTriggerOutSent_)
#undef SER_EVENT_SETTER

void TSerCustomComPort::DoTrigger(uint16_t msg, uint16_t handle, uint16_t data)
{
    if (onTrigger_)
        onTrigger_(*this, msg, handle, data);
}

void TSerCustomComPort::DoTriggerAvail(uint16_t count)
{
    if (onTriggerAvail_)
        onTriggerAvail_(*this, count);
}

void TSerCustomComPort::DoTriggerData(uint16_t handle)
{
    if (onTriggerData_)
        onTriggerData_(*this, handle);
}

void TSerCustomComPort::DoTriggerStatus(uint16_t handle)
{
    if (onTriggerStatus_)
        onTriggerStatus_(*this, handle);
}

void TSerCustomComPort::DoTriggerTimer(uint16_t handle)
{
    if (onTriggerTimer_)
        onTriggerTimer_(*this, handle);
}

void TSerCustomComPort::DoTriggerLineError(uint16_t error, bool lineBreak)
{
    if (onTriggerLineError_)
        onTriggerLineError_(*this, error, lineBreak);
}

void TSerCustomComPort::DoTriggerModemStatus()
{
    if (onTriggerModemStatus_)
        onTriggerModemStatus_(*this);
}

void TSerCustomComPort::DoTriggerOutbuffFree()
{
    if (onTriggerOutbuffFree_)
        onTriggerOutbuffFree_(*this);
}

void TSerCustomComPort::DoTriggerOutbuffUsed()
{
    if (onTriggerOutbuffUsed_)
        onTriggerOutbuffUsed_(*this);
}

void TSerCustomComPort::DoTriggerOutSent()
{
    if (onTriggerOutSent_)
        onTriggerOutSent_(*this);
}

void TSerCustomComPort::DoWaitChar(char c)
{
    if (onWaitChar_)
        onWaitChar_(*this, c);
}

// ---- Opening and closing ----

void TSerCustomComPort::SetOpen(bool value)
{
    if (value == open_) {
        if (!value && portState_ == TPortState::PortShuttingDown)
            reopenPending_ = false;   // the last request wins over a reopen asked for meanwhile
        return;
    }
    if (ComponentLoading()) {
        open_ = value;
        if (value)
            openAfterLoad_ = true;
        return;
    }
    if (!value)
        DoClose();
    else if (portState_ == TPortState::PortClosed)
        DoOpen();
    else if (portState_ == TPortState::PortShuttingDown)
        reopenPending_ = true;
}

int TSerCustomComPort::ShowPortPrompt()
{
    return 0;
}

void TSerCustomComPort::PromptForPortIfNeeded()
{
    if (comNumber_ != 0)
        return;
    if (!promptForPort_)
        CheckException(this, NoPortSelected);
    const int chosen = ShowPortPrompt();
    if (chosen <= 0)
        CheckException(this, NoPortSelected);
    comNumber_ = uint16_t(chosen);
}

std::unique_ptr<TSerBaseDispatcher> TSerCustomComPort::CreateDispatcher()
{
    if (deviceLayer_ != TDeviceLayer::dlWin32) {
        CheckException(this, NullApi);
        return nullptr;
    }
    if (tapiMode_ == TTapiMode::tmOn)
        return std::make_unique<TSerTAPI32Dispatcher>(this, tapiDevice_);
    return std::make_unique<TSerWin32Dispatcher>(this);
}

void TSerCustomComPort::InitPort()
{
    TSerOpenParams params;
    if (tapiMode_ != TTapiMode::tmOn)
        params.DeviceName = SerDevicePath(comNumber_);
    params.Baud = baud_;
    params.Parity = uint8_t(parity_);
    params.DataBits = dataBits_;
    params.StopBits = stopBits_;
    params.InSize = inSize_;
    params.OutSize = outSize_;
    params.Dtr = dtr_;
    params.Rts = rts_;
    int32_t result = dispatcher_->OpenPort(params);
    if (result == -int32_t(SerError::AccessDenied))
        result = AlreadyOpen;
    else if (result == -int32_t(SerError::FileNotFound) || result == -int32_t(SerError::PathNotFound))
        result = BadId;
    if (result != 0)
        CheckException(this, result, OpenFailureDetail(comNumber_, result));
}

void TSerCustomComPort::DoOpen()
{
    lostDevice_.clear();
    if (tapiMode_ != TTapiMode::tmOn)
        PromptForPortIfNeeded();
    dispatcher_ = CreateDispatcher();
    try {
        if (tapiMode_ == TTapiMode::tmOn) {
            // Nothing in this system opens a telephony handle, so such a dispatcher never has a device.
            const auto *tapi = dynamic_cast<const TSerTAPI32Dispatcher *>(dispatcher_.get());
            if (!tapi || !tapi->HasDeviceHandle())
                CheckException(this, NotOpenedByTapi);
        }
        InitPort();
        portState_ = TPortState::PortOpen;
        UpdateHandlerFlags();
        reapplying_ = true;
        SetTracing(tracing_);
        SetLogging(logging_);
        SetHWFlowOptions(hwFlowOptions_);
        SetSWFlowOptions(swFlowOptions_);
        SetXOnChar(xOnChar_);
        SetXOffChar(xOffChar_);
        SetTriggerLength(triggerLength_);
        if (deviceLayer_ != TDeviceLayer::dlFossil) {
            SetDTR(dtr_);
            SetRTS(rts_);
        }
        SetUseMSRShadow(useMSRShadow_);
        SetUseEventWord(useEventWord_);
        SetCommNotificationLevel(commNotificationLevel_);
        SetRS485Mode(rs485Mode_);
        SetThreadBoost(threadBoost_);
        reapplying_ = false;
    } catch (...) {
        // A failed open leaves the port closed, with nothing half open behind it.
        reapplying_ = false;
        portState_ = TPortState::PortClosed;
        open_ = false;
        dispatcher_.reset();
        throw;
    }
    open_ = true;
    if (!notifyWindow_)
        notifyWindow_ = new TSerWindow([this](uint32_t message, uint32_t wParam, int32_t lParam) {
            WindowProc(message, wParam, lParam);
        });
    dispatcher_->RegisterWindowHandler(notifyWindow_);
    if (triggersSaved_) {
        triggersSaved_ = false;
        dispatcher_->RestoreTriggers(savedTriggers_);
    }
    NotifyUsers(true);
}

void TSerCustomComPort::DoClose()
{
    open_ = false;
    if (!IsOpen())
        return;
    // A dump that fails does not stop the close; its error is raised once the port is closed.
    std::exception_ptr dumpError;
    for (const TraceLogChannel *channel : {&TraceChannel, &LogChannel}) {
        try {
            SetChannelState(*channel, TTraceLogState::tlDump);
        } catch (...) {
            if (!dumpError)
                dumpError = std::current_exception();
        }
    }
    portState_ = TPortState::PortShuttingDown;
    NotifyUsers(false);
    dispatcher_->SaveTriggers(savedTriggers_);
    triggersSaved_ = true;
    const bool deferred = dispatcher_->ClosePort();
    if (deferred || busyDepth_ > 0) {
        // Code further up the stack still uses the dispatcher: the close ends once that has returned.
        notifyWindow_->PostMessage(SerMsg::FinishClose, 0, dispatcher_->Handle() << 16);
    } else {
        FinishClose();
    }
    if (dumpError)
        std::rethrow_exception(dumpError);
}

void TSerCustomComPort::LoseDevice()
{
    lostDevice_ = SerPortName(comNumber_);
    SetOpen(false);
}

void TSerCustomComPort::FinishClose()
{
    dispatcher_->DeregisterWindowHandler(notifyWindow_);
    dispatcher_.reset();
    portState_ = TPortState::PortClosed;
}

void TSerCustomComPort::NotifyUsers(bool opening)
{
    const std::vector<PortUser> users = portUsers_;   // a user may register or deregister meanwhile
    for (auto user = users.rbegin(); user != users.rend(); ++user) {
        if (user->window) {
            TSerMessageEvent message(opening ? SerMsg::PortOpened : SerMsg::PortClosing, 0, 0);
            QCoreApplication::sendEvent(user->window, &message);
        } else if (user->callback) {
            user->callback(*this, opening);
        }
    }
    const TNotifyEvent &event = opening ? onPortOpened_ : onPortClosing_;
    if (event)
        event(*this);
}

void TSerCustomComPort::Loaded()
{
    TSerBaseComponent::Loaded();
    if (openAfterLoad_)
        open_ = true;
    if (!open_)
        return;
    openAfterLoad_ = false;
    open_ = false;
    if (!ReportErrors([this] { DoOpen(); }))
        open_ = false;
}

// ---- The hidden window ----

void TSerCustomComPort::WindowProc(uint32_t message, uint32_t wParam, int32_t lParam)
{
    TSerBaseDispatcher::LockDispatcherList();
    struct Unlock {
        ~Unlock() { TSerBaseDispatcher::UnlockDispatcherList(); }
    } unlock;
    TSerBaseDispatcher *dispatcher = TSerBaseDispatcher::DispatcherAt(int32_t(uint32_t(lParam) >> 16));
    if (!dispatcher || dispatcher->Owner() != this || dispatcher != dispatcher_.get())
        return;
    if (message == SerMsg::DeviceLost) {
        if (IsOpen())
            LoseDevice();
        return;
    }
    if (message == SerMsg::FinishClose) {
        if (dispatcher_->ThreadsStarted() || busyDepth_ > 0) {
            QTimer::singleShot(FinishRetryMs, notifyWindow_, [window = notifyWindow_, message, lParam] {
                window->PostMessage(message, 0, lParam);
            });
            return;
        }
        FinishClose();
        if (reopenPending_) {
            reopenPending_ = false;
            DoOpen();
        }
        return;
    }
    const std::shared_ptr<bool> alive = alive_;
    ++busyDepth_;
    struct Leave {
        TSerCustomComPort *port;
        const std::shared_ptr<bool> &alive;
        ~Leave()
        {
            if (*alive)
                --port->busyDepth_;
        }
    } leave {this, alive};
    const uint16_t data = uint16_t(message == SerMsg::Avail ? wParam : uint32_t(lParam) & 0xFFFF);
    DoTrigger(uint16_t(message), uint16_t(wParam), data);
    if (!*alive)
        return;
    switch (message) {
    case SerMsg::Avail: DoTriggerAvail(uint16_t(wParam)); break;
    case SerMsg::Data: DoTriggerData(uint16_t(wParam)); break;
    case SerMsg::Timer: DoTriggerTimer(uint16_t(wParam)); break;
    case SerMsg::Status:
        DoTriggerStatus(uint16_t(wParam));
        if (!*alive)
            return;
        switch (wParam & 7) {
        case StatusKind::ModemStatus: DoTriggerModemStatus(); break;
        case StatusKind::LineError: {
            const uint16_t error = LineError();
            DoTriggerLineError(error, LineBreak());
            break;
        }
        case StatusKind::OutBuffFree: DoTriggerOutbuffFree(); break;
        case StatusKind::OutBuffUsed: DoTriggerOutbuffUsed(); break;
        case StatusKind::OutSent: DoTriggerOutSent(); break;
        default: break;
        }
        break;
    default: break;
    }
}

// ---- Input and output ----

TSerBaseDispatcher *TSerCustomComPort::Dispatcher()
{
    // Waits and trigger events further up the stack end on the loss themselves, with what they have read.
    if (IsOpen() && busyDepth_ == 0 && dispatcher_->DeviceFailed())
        LoseDevice();
    // A lost device is not opened again behind the caller's back: the caller is told first.
    if (!dispatcher_ && lostDevice_.empty() && !ComponentLoading() && !IsOpen() && autoOpen_)
        SetOpen(true);
    return dispatcher_.get();
}

TSerBaseDispatcher &TSerCustomComPort::RequireDispatcher()
{
    TSerBaseDispatcher *dispatcher = Dispatcher();
    if (!IsOpen() && !lostDevice_.empty())
        CheckException(this, SerCode::CommNotOpen, ": " + lostDevice_ + " was lost (it hung up or was unplugged)");
    if (!dispatcher)
        CheckException(this, SerCode::CommNotOpen);
    return *dispatcher;
}

void TSerCustomComPort::GetLine(int32_t &baud, TParity &parity, uint16_t &dataBits, uint16_t &stopBits)
{
    if (!IsOpen()) {
        baud = baud_;
        parity = parity_;
        dataBits = dataBits_;
        stopBits = stopBits_;
        return;
    }
    uint8_t code;
    dispatcher_->GetLine(baud, code, dataBits, stopBits);
    parity = TParity(code);
}

bool TSerCustomComPort::CharReady()
{
    if (portState_ == TPortState::PortShuttingDown)
        return false;
    return RequireDispatcher().CharReady();
}

char TSerCustomComPort::GetChar()
{
    if (portState_ == TPortState::PortShuttingDown)
        return 0;
    uint8_t c = 0;
    const int32_t result = RequireDispatcher().GetChar(c);
    if (result != 0) {
        CheckException(this, result);
        return 0;
    }
    return char(c);
}

void TSerCustomComPort::PutChar(char c)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    CheckException(this, RequireDispatcher().PutChar(uint8_t(c)));
}

void TSerCustomComPort::PutString(const std::string &s)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    CheckException(this, RequireDispatcher().PutBlock(s.data(), uint32_t(s.size())));
}

void TSerCustomComPort::FlushInBuffer()
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    CheckException(this, RequireDispatcher().FlushInBuffer());
}

void TSerCustomComPort::FlushOutBuffer()
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    CheckException(this, RequireDispatcher().FlushOutBuffer());
}

bool TSerCustomComPort::WaitForString(const std::string &s, int32_t timeout, bool yield, bool ignoreCase)
{
    if (s.empty() || portState_ == TPortState::PortShuttingDown)
        return true;
    TSerBaseDispatcher &dispatcher = RequireDispatcher();
    // No trigger is delivered while the wait reads the port itself; a close meanwhile is deferred. Both are
    // undone however the wait ends.
    ++busyDepth_;
    const bool wasDispatching = dispatcher.SwapDispatching(true);
    const std::shared_ptr<bool> alive = alive_;
    struct Restore {
        TSerCustomComPort *port;
        TSerBaseDispatcher &dispatcher;
        bool wasDispatching;
        const std::shared_ptr<bool> &alive;
        ~Restore()
        {
            if (!*alive)
                return;
            if (!wasDispatching)
                dispatcher.SwapDispatching(false);
            --port->busyDepth_;
        }
    } restore {this, dispatcher, wasDispatching, alive};

    TTickTimer timer;
    NewTimer(timer, timeout);
    TSerStringMatch match(s, ignoreCase);
    bool matched = false;
    for (;;) {
        if (!IsOpen())
            return false;   // closed from an event handled meanwhile
        if (dispatcher.DeviceFailed() && !dispatcher.CharReady()) {
            LoseDevice();   // nothing more can come
            return false;
        }
        if (CharReady()) {
            const char c = GetChar();
            DoWaitChar(c);
            if (!*alive)
                return false;
            matched = match.Take(c);
        } else if (!TimerExpired(timer)) {
            dispatcher.WaitForInput(int(std::min<int64_t>(5, TimerRemainingMs(timer) + 1)));
        }
        if (matched || TimerExpired(timer) || QuitRequested())
            break;
        if (yield)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!*alive)
            return false;
    }
    return matched || QuitRequested();
}

uint32_t TSerCustomComPort::InBuffUsed()
{
    return IsOpen() ? dispatcher_->InBuffUsed() : 0;
}

uint32_t TSerCustomComPort::OutBuffUsed()
{
    return IsOpen() ? dispatcher_->OutBuffUsed() : 0;
}

bool TSerCustomComPort::CTS()
{
    return IsOpen() && (dispatcher_->GetModemStatus(0xFF) & 0x10);
}

bool TSerCustomComPort::DSR()
{
    return IsOpen() && (dispatcher_->GetModemStatus(0xFF) & 0x20);
}

bool TSerCustomComPort::DCD()
{
    return IsOpen() && (dispatcher_->GetModemStatus(0xFF) & 0x80);
}

bool TSerCustomComPort::DeltaRI()
{
    return IsOpen() && (dispatcher_->GetModemStatus(0xFF) & 0x04);
}

uint16_t TSerCustomComPort::LineError()
{
    return IsOpen() ? uint16_t(CheckException(this, dispatcher_->GetLineError())) : 0;
}

bool TSerCustomComPort::LineBreak()
{
    return IsOpen() && dispatcher_->CheckLineBreak();
}

void TSerCustomComPort::Yield()
{
    if (portState_ != TPortState::PortShuttingDown)
        RequireDispatcher().YieldSlice();
}

// ---- Triggers ----

int32_t TSerCustomComPort::AddTimerTrigger()
{
    if (portState_ == TPortState::PortShuttingDown)
        return 0;
    return CheckException(this, RequireDispatcher().AddTimerTrigger());
}

int32_t TSerCustomComPort::AddStatusTrigger(uint8_t kind)
{
    if (portState_ == TPortState::PortShuttingDown)
        return 0;
    return CheckException(this, RequireDispatcher().AddStatusTrigger(kind));
}

void TSerCustomComPort::RemoveTrigger(int32_t handle)
{
    if (dispatcher_)
        CheckException(this, dispatcher_->RemoveTrigger(handle));
}

void TSerCustomComPort::SetTimerTrigger(int32_t handle, int32_t ticks, bool activate)
{
    if (portState_ != TPortState::PortShuttingDown)
        CheckException(this, RequireDispatcher().SetTimerTrigger(handle, ticks, activate));
}

void TSerCustomComPort::SetStatusTrigger(int32_t handle, uint16_t value, bool activate)
{
    if (portState_ != TPortState::PortShuttingDown)
        CheckException(this, RequireDispatcher().SetStatusTrigger(handle, value, activate));
}

// ---- Trace and dispatch log ----

struct TSerCustomComPort::TraceLogChannel {
    TTraceLogState TSerCustomComPort::*state;
    uint32_t TSerCustomComPort::*size;
    uint32_t maxSize;
    std::string TSerCustomComPort::*name;
    bool TSerCustomComPort::*hex;
    bool initChecked;   // the log's start is not checked
    int32_t (TSerBaseDispatcher::*init)(uint32_t);
    TChannelWrite dump;
    TChannelWrite append;
    TChannelOp clear;
    TChannelOp abort;
    TChannelOp resume;
    TChannelOp pause;
};

const TSerCustomComPort::TraceLogChannel TSerCustomComPort::TraceChannel {
    &TSerCustomComPort::tracing_,      &TSerCustomComPort::traceSize_,     MaxTraceSize,
    &TSerCustomComPort::traceName_,    &TSerCustomComPort::traceHex_,      true,
    &TSerBaseDispatcher::InitTracing,  &TSerBaseDispatcher::DumpTrace,     &TSerBaseDispatcher::AppendTrace,
    &TSerBaseDispatcher::ClearTracing, &TSerBaseDispatcher::AbortTracing,  &TSerBaseDispatcher::ResumeTracing,
    &TSerBaseDispatcher::PauseTracing};

const TSerCustomComPort::TraceLogChannel TSerCustomComPort::LogChannel {
    &TSerCustomComPort::logging_,      &TSerCustomComPort::logSize_,       MaxLogSize,
    &TSerCustomComPort::logName_,      &TSerCustomComPort::logHex_,        false,
    &TSerBaseDispatcher::InitLogging,  &TSerBaseDispatcher::DumpLog,       &TSerBaseDispatcher::AppendLog,
    &TSerBaseDispatcher::ClearLogging, &TSerBaseDispatcher::AbortLogging,  &TSerBaseDispatcher::ResumeLogging,
    &TSerBaseDispatcher::PauseLogging};

void TSerCustomComPort::SetChannelState(const TraceLogChannel &channel, TTraceLogState value)
{
    TTraceLogState &state = this->*channel.state;
    if (!Applies(value == state))
        return;
    if (!IsOpen()) {
        state = StoredState(value);
        return;
    }
    // The operations set the state.
    const bool on = state == TTraceLogState::tlOn;
    const bool paused = state == TTraceLogState::tlPause;
    switch (value) {
    case TTraceLogState::tlOff:
        if (on || paused)
            RunChannel(channel, channel.abort, TTraceLogState::tlOff);
        break;
    case TTraceLogState::tlOn:
        if (paused)
            RunChannel(channel, channel.resume, TTraceLogState::tlOn);
        else
            StartChannel(channel, this->*channel.size);
        break;
    case TTraceLogState::tlDump:
    case TTraceLogState::tlAppend:
        if (on || paused) {
            RunChannel(channel, channel.resume, TTraceLogState::tlOn);
            WriteChannel(channel, value == TTraceLogState::tlDump ? channel.dump : channel.append,
                         this->*channel.name, this->*channel.hex);
        }
        break;
    case TTraceLogState::tlClear:
        if (on || paused)
            RunChannel(channel, channel.clear, state);
        break;
    case TTraceLogState::tlPause:
        if (on)
            RunChannel(channel, channel.pause, TTraceLogState::tlPause);
        break;
    }
}

void TSerCustomComPort::SetChannelSize(const TraceLogChannel &channel, uint32_t value)
{
    uint32_t &size = this->*channel.size;
    if (!Applies(value == size))
        return;
    size = std::min(value, channel.maxSize);
    // A running record restarts empty with the new size; a paused one ends.
    const TTraceLogState state = this->*channel.state;
    if (IsOpen() && (state == TTraceLogState::tlOn || state == TTraceLogState::tlPause)) {
        RunChannel(channel, channel.abort, TTraceLogState::tlOff);
        SetChannelState(channel, state);
    }
}

void TSerCustomComPort::StartChannel(const TraceLogChannel &channel, uint32_t size)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    if (size != 0)
        this->*channel.size = size;
    const int32_t result = (RequireDispatcher().*channel.init)(this->*channel.size);
    if (channel.initChecked)
        CheckException(this, result);
    this->*channel.state = TTraceLogState::tlOn;
}

void TSerCustomComPort::WriteChannel(const TraceLogChannel &channel, TChannelWrite write, const std::string &name,
                                     bool hex)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    // The name ends at a zero byte.
    const int32_t result = (RequireDispatcher().*write)(name.c_str(), hex);
    this->*channel.state = TTraceLogState::tlOff;   // the record has ended, written or not
    CheckException(this, result);
}

void TSerCustomComPort::RunChannel(const TraceLogChannel &channel, TChannelOp op, TTraceLogState state)
{
    if (portState_ == TPortState::PortShuttingDown)
        return;
    (RequireDispatcher().*op)();
    this->*channel.state = state;
}

void TSerCustomComPort::InitTracing(uint32_t size)
{
    StartChannel(TraceChannel, size);
}

void TSerCustomComPort::DumpTrace(const std::string &name, bool hex)
{
    WriteChannel(TraceChannel, TraceChannel.dump, name, hex);
}

void TSerCustomComPort::AppendTrace(const std::string &name, bool hex)
{
    WriteChannel(TraceChannel, TraceChannel.append, name, hex);
}

void TSerCustomComPort::ClearTracing()
{
    RunChannel(TraceChannel, TraceChannel.clear, tracing_);
}

void TSerCustomComPort::AbortTracing()
{
    RunChannel(TraceChannel, TraceChannel.abort, TTraceLogState::tlOff);
}

void TSerCustomComPort::ResumeTracing()
{
    RunChannel(TraceChannel, TraceChannel.resume, TTraceLogState::tlOn);
}

void TSerCustomComPort::PauseTracing()
{
    RunChannel(TraceChannel, TraceChannel.pause, TTraceLogState::tlPause);
}

void TSerCustomComPort::InitLogging(uint32_t size)
{
    StartChannel(LogChannel, size);
}

void TSerCustomComPort::DumpLog(const std::string &name, bool hex)
{
    WriteChannel(LogChannel, LogChannel.dump, name, hex);
}

void TSerCustomComPort::AppendLog(const std::string &name, bool hex)
{
    WriteChannel(LogChannel, LogChannel.append, name, hex);
}

void TSerCustomComPort::ClearLogging()
{
    RunChannel(LogChannel, LogChannel.clear, logging_);
}

void TSerCustomComPort::AbortLogging()
{
    RunChannel(LogChannel, LogChannel.abort, TTraceLogState::tlOff);
}

void TSerCustomComPort::ResumeLogging()
{
    RunChannel(LogChannel, LogChannel.resume, TTraceLogState::tlOn);
}

void TSerCustomComPort::PauseLogging()
{
    RunChannel(LogChannel, LogChannel.pause, TTraceLogState::tlPause);
}

// ---- Port users ----

void TSerCustomComPort::RegisterUserCallback(const void *key, TPortUserCallback callback)
{
    portUsers_.push_back({nullptr, key, std::move(callback)});
}

void TSerCustomComPort::DeregisterUserCallback(const void *key)
{
    std::erase_if(portUsers_, [key](const PortUser &u) { return !u.window && u.key == key; });
}

void TSerCustomComPort::RegisterUserWindow(QObject *window)
{
    portUsers_.push_back({window, nullptr, {}});
}

void TSerCustomComPort::DeregisterUserWindow(QObject *window)
{
    std::erase_if(portUsers_, [window](const PortUser &u) { return u.window == window; });
}

void TSerCustomComPort::RegisterFreeNotification(const void *key, TNotifyEvent callback)
{
    freeNotifications_.push_back({key, std::move(callback)});
}

void TSerCustomComPort::DeregisterFreeNotification(const void *key)
{
    std::erase_if(freeNotifications_, [key](const FreeNotification &n) { return n.key == key; });
}

void TSerCustomComPort::Assign(const TSerCustomComPort &source)
{
    portUsers_ = source.portUsers_;
    if (source.portState_ == TPortState::PortOpen) {
        source.dispatcher_->SaveTriggers(savedTriggers_);
        triggersSaved_ = true;
    }
    reapplying_ = source.reapplying_;
    deviceLayer_ = source.deviceLayer_;
    comNumber_ = source.comNumber_;
    baud_ = source.baud_;
    parity_ = source.parity_;
    dataBits_ = source.dataBits_;
    stopBits_ = source.stopBits_;
    inSize_ = source.inSize_;
    outSize_ = source.outSize_;
    dtr_ = source.dtr_;
    rts_ = source.rts_;
    bufferFull_ = source.bufferFull_;
    bufferResume_ = source.bufferResume_;
    hwFlowOptions_ = source.hwFlowOptions_;
    swFlowOptions_ = source.swFlowOptions_;
    xOnChar_ = source.xOnChar_;
    xOffChar_ = source.xOffChar_;
    tracing_ = source.tracing_;
    traceSize_ = source.traceSize_;
    traceName_ = source.traceName_;
    traceHex_ = source.traceHex_;
    logging_ = source.logging_;
    logSize_ = source.logSize_;
    logName_ = source.logName_;
    logHex_ = source.logHex_;
    triggerLength_ = source.triggerLength_;
    SetOnTrigger(source.onTrigger_);
    SetOnTriggerAvail(source.onTriggerAvail_);
    SetOnTriggerData(source.onTriggerData_);
    SetOnTriggerStatus(source.onTriggerStatus_);
    SetOnTriggerTimer(source.onTriggerTimer_);
    onPortOpened_ = source.onPortOpened_;
    onPortClosing_ = source.onPortClosing_;
    tapiMode_ = source.tapiMode_;
    open_ = false;
}
