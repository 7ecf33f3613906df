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

// Calls the event's handler, when one is assigned, with the port and the event's values.
#define SER_EVENT_CALL(name, field, params, ...)                                                             \
    void TSerCustomComPort::name params                                                                      \
    {                                                                                                        \
        if (field)                                                                                           \
            field(*this __VA_OPT__(, ) __VA_ARGS__);                                                         \
    }
SER_EVENT_CALL(DoTrigger, onTrigger_, (uint16_t msg, uint16_t handle, uint16_t data), msg, handle, data)
SER_EVENT_CALL(DoTriggerAvail, onTriggerAvail_, (uint16_t count), count)
SER_EVENT_CALL(DoTriggerData, onTriggerData_, (uint16_t handle), handle)
SER_EVENT_CALL(DoTriggerStatus, onTriggerStatus_, (uint16_t handle), handle)
SER_EVENT_CALL(DoTriggerTimer, onTriggerTimer_, (uint16_t handle), handle)
SER_EVENT_CALL(DoTriggerLineError, onTriggerLineError_, (uint16_t error, bool lineBreak), error, lineBreak)
SER_EVENT_CALL(DoTriggerModemStatus, onTriggerModemStatus_, ())
SER_EVENT_CALL(DoTriggerOutbuffFree, onTriggerOutbuffFree_, ())
SER_EVENT_CALL(DoTriggerOutbuffUsed, onTriggerOutbuffUsed_, ())
SER_EVENT_CALL(DoTriggerOutSent, onTriggerOutSent_, ())
SER_EVENT_CALL(DoWaitChar, onWaitChar_, (char c), c)
#undef SER_EVENT_CALL

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
