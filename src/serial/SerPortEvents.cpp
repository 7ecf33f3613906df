// The port's events: assigning the handlers, calling them, and the hidden window that turns the
// dispatcher's trigger messages into them.

#include "SerPort.h"

#include "SerWindow.h"

#include <QTimer>

namespace {

constexpr int FinishRetryMs = 10;

} // namespace

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
