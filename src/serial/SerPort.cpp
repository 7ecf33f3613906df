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

#include <algorithm>
#include <exception>

namespace {

constexpr int32_t NoPortSelected = -2011;
constexpr int32_t NullApi = -3001;
constexpr int32_t NotOpenedByTapi = -2012;
constexpr int32_t AlreadyOpen = -2008;
constexpr int32_t BadId = -2001;
constexpr uint32_t EventWordOption = 4;

// What an open error adds to its text: the device tried, why its lock file refused it, and for a refused
// permission what the user needs.
std::string OpenFailureDetail(int comNumber, int32_t code)
{
    if (SerDevicePath(comNumber).empty())
        return ": COM" + std::to_string(comNumber) + " names no device";
    std::string detail = ": " + SerPortName(comNumber);
    if (code == AlreadyOpen && !SerLastErrorDetail().empty())
        detail += " (" + SerLastErrorDetail() + ")";
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

} // namespace

std::function<void()> TSerCustomComPort::CloseHook;

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

void TSerCustomComPort::ApplyLine(int32_t baud, TParity parity, uint16_t dataBits, uint16_t stopBits)
{
    if (IsOpen()) {
        const int32_t result = dispatcher_->SetLine(baud, uint8_t(parity), stopBits, dataBits);
        std::string detail;
        if (result == SerCode::BaudRateRefused || result == SerCode::ByteSizeRefused
            || result == SerCode::FormatRefused) {
            detail = ": " + SerPortName(comNumber_) + " cannot take " + std::to_string(baud) + ","
                     + ParityLetter(parity) + std::to_string(dataBits) + std::to_string(stopBits);
        }
        if (CheckException(this, result, detail) != 0)
            return;
    }
    baud_ = baud;
    parity_ = parity;
    dataBits_ = dataBits;
    stopBits_ = stopBits;
}

void TSerCustomComPort::SetBaud(int32_t value)
{
    if (Applies(value == baud_))
        ApplyLine(value, parity_, dataBits_, stopBits_);
}

void TSerCustomComPort::SetParity(TParity value)
{
    if (Applies(value == parity_))
        ApplyLine(baud_, value, dataBits_, stopBits_);
}

void TSerCustomComPort::SetDataBits(uint16_t value)
{
    if (Applies(value == dataBits_))
        ApplyLine(baud_, parity_, value, stopBits_);
}

void TSerCustomComPort::SetStopBits(uint16_t value)
{
    if (Applies(value == stopBits_))
        ApplyLine(baud_, parity_, dataBits_, value);
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
    lostDevice_.clear();
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
    if (CloseHook)
        CloseHook();
    // Saved once the device is closed: a trigger whose message the close cancelled is saved armed again.
    const bool deferred = dispatcher_->ClosePort();
    dispatcher_->SaveTriggers(savedTriggers_);
    triggersSaved_ = true;
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
    if (portState_ == TPortState::PortShuttingDown)
        CheckException(this, SerCode::CommNotOpen, ": " + SerPortName(comNumber_) + " is closing");
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
    return RequireDispatcher().CharReady();
}

char TSerCustomComPort::GetChar()
{
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
    CheckException(this, RequireDispatcher().PutChar(uint8_t(c)));
}

void TSerCustomComPort::PutString(const std::string &s)
{
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

bool TSerCustomComPort::WaitForString(const std::string &s, int32_t timeout, bool yield, bool ignoreCase,
                                      const std::function<bool()> &stop)
{
    TSerBaseDispatcher &dispatcher = RequireDispatcher();
    if (s.empty())
        return true;
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
            return false;   // closed from an event handled meanwhile; the next call raises the port's error
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
        if (!*alive || (stop && stop()))
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
