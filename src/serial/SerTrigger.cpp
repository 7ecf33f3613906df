// Triggers of the dispatcher: the registry, the checks made by the dispatcher thread, and their delivery
// to the registered windows.

#include "SerDispatch.h"
#include "SerWindow.h"

#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr int DeliveryTimeoutMs = 3000;
constexpr uint32_t CountedHandles = 4096;
constexpr int32_t LastHandle = 32760;
constexpr char Deactivated[] = "Deactivated";

uint32_t WindowValue(const TSerWindow *window)
{
    return uint32_t(reinterpret_cast<uintptr_t>(window));
}

} // namespace

int32_t TSerBaseDispatcher::NewTriggerHandle()
{
    if (nextTriggerHandle_ < CountedHandles)
        return int32_t(nextTriggerHandle_++ * 8);
    for (int32_t handle = 8; handle <= LastHandle; handle += 8) {
        const auto uses = [handle](const auto &t) { return (t.TriggerHandle & ~7) == handle; };
        if (std::none_of(timerTriggers_.begin(), timerTriggers_.end(), uses)
            && std::none_of(statusTriggers_.begin(), statusTriggers_.end(), uses)
            && std::none_of(dataTriggers_.begin(), dataTriggers_.end(), uses))
            return handle;
    }
    return SerCode::NoMoreTriggerSlots;
}

int32_t TSerBaseDispatcher::SetLengthTrigger(uint32_t count)
{
    std::lock_guard lock(triggerLock_);
    lengthTrigger_ = count;
    Log(LogType::TrDatChg, LogSub::LengthTrigger, count);
    return 0;
}

int32_t TSerBaseDispatcher::AddTimerTrigger()
{
    std::lock_guard lock(triggerLock_);
    const int32_t handle = NewTriggerHandle();
    if (handle > 0) {
        TTimerTrigger trigger;
        trigger.TriggerHandle = handle;
        timerTriggers_.push_back(trigger);
        Log(LogType::TrigAllc, LogSub::TimerTrigger, uint32_t(handle));
    }
    return handle;
}

int32_t TSerBaseDispatcher::AddStatusTrigger(uint8_t kind)
{
    if (kind > StatusKind::OutSent)
        return SerCode::BadArgument;
    std::lock_guard lock(triggerLock_);
    const int32_t handle = NewTriggerHandle();
    if (handle > 0) {
        TStatusTrigger trigger;
        trigger.TriggerHandle = handle + kind;
        trigger.Kind = kind;
        statusTriggers_.push_back(trigger);
        Log(LogType::TrigAllc, LogSub::StatusTrigger, uint32_t(trigger.TriggerHandle), &kind, 1);
        return trigger.TriggerHandle;
    }
    return handle;
}

int32_t TSerBaseDispatcher::SetTimerTrigger(int32_t handle, int32_t ticks, bool activate)
{
    std::lock_guard lock(triggerLock_);
    for (TTimerTrigger &trigger : timerTriggers_)
        if (trigger.TriggerHandle == handle) {
            if (activate) {
                if (ticks != 0)
                    trigger.Ticks = ticks;
                NewTimer(trigger.Timer, trigger.Ticks);
                Log(LogType::TrDatChg, LogSub::TimerTrigger, uint32_t(handle), &ticks, sizeof ticks);
            } else {
                Log(LogType::TrDatChg, LogSub::TimerTrigger, uint32_t(handle), Deactivated, sizeof Deactivated - 1);
            }
            trigger.Active = activate;
            ForgetFiring(handle);
            return 0;
        }
    return SerCode::BadTriggerHandle;
}

int32_t TSerBaseDispatcher::SetStatusTrigger(int32_t handle, uint16_t value, bool activate)
{
    std::lock_guard lock(triggerLock_);
    for (TStatusTrigger &trigger : statusTriggers_)
        if (trigger.TriggerHandle == handle) {
            if (activate) {
                switch (trigger.Kind) {
                case StatusKind::ModemStatus: {
                    const uint8_t mask = uint8_t(value);
                    trigger.Value = uint16_t(mask << 8 | (mask & uint8_t(modemStatus_)));
                    break;
                }
                case StatusKind::LineError:
                    trigger.Value = uint16_t((value & 1 ? LineErr::Overrun : 0) | (value & 2 ? LineErr::Parity : 0)
                                             | (value & 4 ? LineErr::Frame : 0) | (value & 8 ? LineErr::Break : 0));
                    break;
                default:
                    trigger.Value = value;
                    break;
                }
            }
            const uint32_t logged = trigger.Value;
            Log(LogType::TrDatChg, LogSub::StatusTrigger, uint32_t(handle), &logged, sizeof logged);
            trigger.Armed = activate;
            ForgetFiring(handle);
            return 0;
        }
    return SerCode::BadTriggerHandle;
}

int32_t TSerBaseDispatcher::RemoveTrigger(int32_t handle)
{
    std::lock_guard lock(triggerLock_);
    if (handle == LengthTriggerHandle) {
        lengthTrigger_ = 0;
        return 0;
    }
    const auto find = [handle](auto &list) {
        return std::find_if(list.begin(), list.end(), [handle](const auto &t) { return t.TriggerHandle == handle; });
    };
    if (handle < 2)
        return SerCode::BadTriggerHandle;
    if (const auto timer = find(timerTriggers_); timer != timerTriggers_.end()) {
        timerTriggers_.erase(timer);
        Log(LogType::TrigDisp, LogSub::Timer, uint32_t(handle));
    } else if (const auto status = find(statusTriggers_); status != statusTriggers_.end()) {
        const uint8_t kind = status->Kind;
        statusTriggers_.erase(status);
        Log(LogType::TrigDisp, LogSub::StatusTrigger, uint32_t(handle), &kind, 1);
    } else if (const auto data = find(dataTriggers_); data != dataTriggers_.end()) {
        dataTriggers_.erase(data);
        Log(LogType::TrigDisp, LogSub::Data, uint32_t(handle));
    } else {
        return SerCode::BadTriggerHandle;
    }
    ForgetFiring(handle);
    return 0;
}

void TSerBaseDispatcher::ClearTriggers()
{
    std::lock_guard lock(triggerLock_);
    lengthTrigger_ = 0;
    timerTriggers_.clear();
    statusTriggers_.clear();
    dataTriggers_.clear();
    nextTriggerHandle_ = 1;
}

void TSerBaseDispatcher::SaveTriggers(TTriggerSave &saved)
{
    std::lock_guard lock(triggerLock_);
    saved = TTriggerSave {lengthTrigger_, timerTriggers_, dataTriggers_, statusTriggers_};
}

void TSerBaseDispatcher::RestoreTriggers(const TTriggerSave &saved)
{
    std::lock_guard lock(triggerLock_);
    lengthTrigger_ = saved.LengthTrigger;
    timerTriggers_ = saved.Timers;
    dataTriggers_ = saved.Data;
    statusTriggers_ = saved.Status;
    // New handles go past the restored ones, so no two triggers share one.
    const auto passHandles = [this](const auto &list) {
        for (const auto &trigger : list)
            nextTriggerHandle_ = std::max(nextTriggerHandle_, uint32_t(trigger.TriggerHandle / 8) + 1);
    };
    passHandles(timerTriggers_);
    passHandles(dataTriggers_);
    passHandles(statusTriggers_);
}

void TSerBaseDispatcher::FreeSavedTriggers(TTriggerSave &saved)
{
    saved = TTriggerSave {};
}

void TSerBaseDispatcher::RegisterWindowHandler(TSerWindow *window)
{
    std::lock_guard lock(triggerLock_);
    windowHandlers_.push_back({window, false});
    handlerServiceNeeded_ = true;
    Log(LogType::TrgHdAlc, LogSub::Window, WindowValue(window));
}

void TSerBaseDispatcher::DeregisterWindowHandler(TSerWindow *window)
{
    std::lock_guard lock(triggerLock_);
    const auto found = std::find_if(windowHandlers_.begin(), windowHandlers_.end(),
                                    [window](const WindowHandler &h) { return h.window == window && !h.deleted; });
    if (found != windowHandlers_.end()) {
        Log(LogType::TrgHdDsp, LogSub::Window, WindowValue(window));
        if (dispatching_) {
            found->deleted = true;
            handlerDeleted_ = true;
        } else {
            windowHandlers_.erase(found);
        }
    }
    UpdateHandlerService(0);
}

void TSerBaseDispatcher::UpdateHandlerService(uint8_t mode)
{
    std::lock_guard lock(triggerLock_);
    const bool others = windowHandlers_.size() > 1;
    switch (mode) {
    case 0: handlerServiceNeeded_ = others || portHandlerInstalled_; break;
    case 1: portHandlerInstalled_ = handlerServiceNeeded_ = true; break;
    case 2:
        portHandlerInstalled_ = false;
        handlerServiceNeeded_ = others;
        break;
    default: break;
    }
}

bool TSerBaseDispatcher::SwapDispatching(bool value)
{
    std::lock_guard lock(triggerLock_);
    const bool old = dispatching_;
    dispatching_ = value;
    return old;
}

bool TSerBaseDispatcher::Dispatching()
{
    std::lock_guard lock(triggerLock_);
    return dispatching_;
}

bool TSerBaseDispatcher::BeginDelivery(std::vector<TSerWindow *> &windows)
{
    windows.clear();
    if (dispatching_ || closePending_ || killThreads_)
        return false;
    if (handlerServiceNeeded_ && (windowHandlers_.size() > 1 || portHandlerInstalled_))
        for (const WindowHandler &h : windowHandlers_)
            if (!h.deleted)
                windows.push_back(h.window);
    dispatching_ = !windows.empty();
    return true;
}

bool TSerBaseDispatcher::DeliverTrigger(const std::vector<TSerWindow *> &windows, uint32_t message, uint32_t wParam,
                                        uint32_t value, bool &handled)
{
    handled = windows.empty();
    if (windows.empty())
        return true;
    const bool availMessage = message == SerMsg::Avail || message == SerMsg::Data;
    {
        std::lock_guard lock(inputLock_);
        availMaxTaken_ = 0;
        availTaken_ = 0;
        inAvailDispatch_ = availMessage;
    }
    const int32_t lParam = int32_t((uint32_t(handle_) << 16) + value);
    bool result = true;
    for (TSerWindow *window : windows) {
        {
            std::lock_guard lock(inputLock_);
            availTaken_ = 0;
        }
        std::shared_ptr<TSerDelivery> delivery;
        {
            // A close that found no message on its way has stopped the threads: nothing more is sent.
            std::lock_guard lock(triggerLock_);
            if (killThreads_) {
                result = false;
                break;
            }
            delivery = delivery_ = std::make_shared<TSerDelivery>();
        }
        if (window->SendMessageTimeout(message, wParam, lParam, DeliveryTimeoutMs, killThreads_, delivery))
            handled = true;
        {
            std::lock_guard lock(triggerLock_);
            delivery_.reset();
        }
        {
            std::lock_guard lock(inputLock_);
            availMaxTaken_ = std::max(availMaxTaken_, uint32_t(availTaken_));
        }
        if (closePending_) {
            result = false;
            break;
        }
    }
    {
        std::lock_guard lock(inputLock_);
        if (inAvailDispatch_) {
            inAvailDispatch_ = false;
            // A handler still running after a time-out may have read on since its share was taken.
            const uint32_t furthest = std::max(availMaxTaken_, uint32_t(availTaken_));
            const uint32_t taken = std::min(furthest, RxCount());
            rxTail_ = (rxTail_ + taken) % RxRingSize;
            if (taken != 0)
                rxFull_ = false;
            if (message == SerMsg::Avail && taken != wParam)
                result = false;
        }
        availTaken_ = 0;
    }
    std::lock_guard lock(triggerLock_);
    dispatching_ = false;
    if (handlerDeleted_) {
        std::erase_if(windowHandlers_, [](const WindowHandler &h) { return h.deleted; });
        handlerDeleted_ = false;
        UpdateHandlerService(0);
    }
    return result && handled;
}

void TSerBaseDispatcher::EndFiring(uint32_t message, int32_t handle, bool handled)
{
    if (std::exchange(firing_, 0) != handle || handled)
        return;
    if (message == SerMsg::Timer) {
        for (TTimerTrigger &trigger : timerTriggers_)
            if (trigger.TriggerHandle == handle)
                trigger.Active = true;   // its time is over: it fires at the next check
        return;
    }
    for (TStatusTrigger &trigger : statusTriggers_)
        if (trigger.TriggerHandle == handle) {
            trigger.Armed = true;
            if (trigger.Kind == StatusKind::OutSent)
                outputSent_ = true;
        }
}

bool TSerBaseDispatcher::MatchDataChar(TDataTrigger &trigger, uint8_t c)
{
    if (trigger.IgnoreCase)
        c = uint8_t(UpperCase(std::string_view(reinterpret_cast<const char *>(&c), 1))[0]);
    const auto text = [&trigger](int32_t k) { return uint8_t(trigger.Text[k]); };
    const int32_t length = std::min(trigger.Length, int32_t(MaxDataTriggerLength));
    bool started = false;
    for (int32_t slot = 0; slot < length; ++slot) {
        int32_t &state = trigger.MatchState[slot];
        if (slot > 0 && state == 0 && (started || c != text(0)))
            continue;
        if (text(state) == c) {
            if (state + 1 == length) {
                std::fill(std::begin(trigger.MatchState), std::end(trigger.MatchState), 0);
                return true;
            }
            ++state;
        } else {
            state = text(0) == c ? 1 : 0;
        }
        if (state == 1)
            started = true;
    }
    return false;
}

void TSerBaseDispatcher::ResetDataMatches()
{
    std::lock_guard lock(triggerLock_);
    for (TDataTrigger &trigger : dataTriggers_) {
        std::fill(std::begin(trigger.MatchState), std::end(trigger.MatchState), 0);
        trigger.Matched = false;
    }
}

bool TSerBaseDispatcher::CheckDataTriggers()
{
    // Unread bytes from the scan position on, taken under the input lock alone.
    uint64_t head, tail;
    std::vector<uint8_t> fresh;
    {
        std::lock_guard lock(inputLock_);
        if (rxRing_.empty())
            return false;
        head = rxStored_;
        tail = head - RxCount();
        if (scanPos_ < tail) {
            // Reads or a flush took bytes the triggers had not seen; a match found in them is gone with them.
            scanPos_ = tail;
            std::lock_guard triggers(triggerLock_);
            for (TDataTrigger &trigger : dataTriggers_)
                trigger.Matched = false;
        }
        for (uint64_t p = scanPos_; p < head; ++p)
            fresh.push_back(rxRing_[p % RxRingSize]);
    }
    std::unique_lock lock(triggerLock_);
    std::vector<TSerWindow *> windows;
    // A match whose messages were refused ends at the scan position: its byte is not matched again.
    bool pending = std::any_of(dataTriggers_.begin(), dataTriggers_.end(), [](const auto &t) { return t.Matched; });
    for (size_t i = 0; i < fresh.size(); ++i) {
        const uint64_t p = scanPos_ + i;
        int32_t longest = 0;
        bool any = false;
        for (TDataTrigger &trigger : dataTriggers_)
            if (trigger.Length != 0) {
                if (!pending)
                    trigger.Matched = trigger.Matched || MatchDataChar(trigger, fresh[i]);
                if (trigger.Matched) {
                    any = true;
                    longest = std::max(longest, trigger.Length);
                }
            }
        pending = false;
        if (!any)
            continue;
        // Each message begins while the scan still stands at the match, so that a refused one is sent later.
        scanPos_ = p;
        bool result = true;
        const uint64_t upToMatch = p - tail + 1;
        if (lengthTrigger_ != 0 && p != notifyPos_ && int64_t(upToMatch) - longest >= int64_t(lengthTrigger_)) {
            if (!BeginDelivery(windows))
                return false;
            const uint32_t before = uint32_t(upToMatch) - uint32_t(longest);
            const uint64_t notified = notifyPos_;
            notifyPos_ = p;
            Log(LogType::Trigger, LogSub::Avail, before);
            lock.unlock();
            bool handled;
            result = DeliverTrigger(windows, SerMsg::Avail, before, 0, handled);
            lock.lock();
            if (!handled) {
                // Offered again, before the matched string, at the next check.
                notifyPos_ = notified;
                dataUndelivered_ = true;
                return false;
            }
        }
        // Matched triggers from the last to the first; the list may change while a delivery runs.
        for (size_t n = dataTriggers_.size(); n-- > 0;) {
            if (n >= dataTriggers_.size() || !dataTriggers_[n].Matched)
                continue;
            if (!BeginDelivery(windows))
                return false;
            dataTriggers_[n].Matched = false;
            const int32_t handle = dataTriggers_[n].TriggerHandle;
            const int32_t length = dataTriggers_[n].Length;
            Log(LogType::Trigger, LogSub::Data, uint32_t(handle));
            lock.unlock();
            bool handled;
            result = DeliverTrigger(windows, SerMsg::Data, uint32_t(handle), uint32_t(length), handled);
            lock.lock();
            if (!handled) {
                // Still matched at the scan position: sent again at the next check.
                for (TDataTrigger &trigger : dataTriggers_)
                    if (trigger.TriggerHandle == handle)
                        trigger.Matched = true;
                dataUndelivered_ = true;
                return false;
            }
        }
        scanPos_ = p + 1;
        return result;
    }
    scanPos_ = head;
    const uint32_t unread = uint32_t(head - tail);
    if (lengthTrigger_ != 0 && scanPos_ != notifyPos_ && unread >= lengthTrigger_) {
        if (!BeginDelivery(windows))
            return false;
        const uint64_t notified = notifyPos_;
        notifyPos_ = scanPos_;
        Log(LogType::Trigger, LogSub::Avail, unread);
        lock.unlock();
        bool handled;
        const bool result = DeliverTrigger(windows, SerMsg::Avail, unread, 0, handled);
        if (!handled) {
            lock.lock();
            notifyPos_ = notified;
            dataUndelivered_ = true;
        }
        return result;
    }
    return false;
}

bool TSerBaseDispatcher::CheckTimerTriggers()
{
    std::unique_lock lock(triggerLock_);
    for (TTimerTrigger &trigger : timerTriggers_)
        if (trigger.Active && TimerExpired(trigger.Timer)) {
            std::vector<TSerWindow *> windows;
            if (!BeginDelivery(windows))
                return false;
            trigger.Active = false;
            const int32_t handle = firing_ = trigger.TriggerHandle;
            Log(LogType::Trigger, LogSub::Timer, uint32_t(handle));
            lock.unlock();
            bool handled;
            const bool result = DeliverTrigger(windows, SerMsg::Timer, uint32_t(handle), 0, handled);
            lock.lock();
            EndFiring(SerMsg::Timer, handle, handled);
            return result;
        }
    return false;
}

bool TSerBaseDispatcher::CheckStatusTriggers()
{
    std::unique_lock lock(triggerLock_);
    for (TStatusTrigger &trigger : statusTriggers_) {
        if (!trigger.Armed || trigger.HitThisPass)
            continue;
        bool holds = false;
        uint32_t count = 0;
        switch (trigger.Kind) {
        case StatusKind::ModemStatus:
            holds = ((trigger.Value & 0xFF) ^ (modemStatus_ & 0xFF)) & (trigger.Value >> 8);
            break;
        case StatusKind::LineError: holds = trigger.Value & lineErrors_; break;
        case StatusKind::OutBuffFree:
            count = OutBuffFree();
            holds = count >= trigger.Value;
            break;
        case StatusKind::OutBuffUsed:
            count = OutBuffUsed();
            holds = count <= trigger.Value;
            break;
        case StatusKind::OutSent: holds = outputSent_; break;
        default: break;
        }
        if (!holds)
            continue;
        std::vector<TSerWindow *> windows;
        if (!BeginDelivery(windows))
            return false;
        if (trigger.Kind == StatusKind::OutSent)
            outputSent_ = false;
        trigger.Armed = false;
        trigger.HitThisPass = true;
        statusHit_ = true;
        const int32_t handle = firing_ = trigger.TriggerHandle;
        Log(LogType::Trigger, LogSub::Status, uint32_t(handle));
        lock.unlock();
        bool handled;
        const bool result = DeliverTrigger(windows, SerMsg::Status, uint32_t(handle), count, handled);
        lock.lock();
        EndFiring(SerMsg::Status, handle, handled);
        return result;
    }
    return false;
}

void TSerBaseDispatcher::ResetStatusHits()
{
    std::lock_guard lock(triggerLock_);
    for (TStatusTrigger &trigger : statusTriggers_)
        trigger.HitThisPass = false;
    statusHit_ = false;
}
