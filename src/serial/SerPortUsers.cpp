// The port's users and free notifications, told of its opening, closing and end, and the copy of one
// port's settings into another.

#include "SerPort.h"

#include "SerWindow.h"

#include <QCoreApplication>

// ---- Port users ----

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
