#pragma once
// An event for threads of the dispatcher: set, reset and waited on, with automatic or manual reset.

#include <chrono>
#include <condition_variable>
#include <mutex>

class TSerEvent {
public:
    explicit TSerEvent(bool manualReset) : manualReset_(manualReset) {}

    void Set()
    {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        changed_.notify_all();
    }
    void Reset()
    {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    // Waits until the event is set or the time-out passes (a negative time-out waits without limit); true
    // when it was set. An automatic-reset event is reset by the wait that sees it.
    bool WaitFor(int timeoutMs)
    {
        std::unique_lock lock(mutex_);
        const auto isSet = [this] { return set_; };
        if (timeoutMs < 0)
            changed_.wait(lock, isSet);
        else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
            return false;
        if (!manualReset_)
            set_ = false;
        return true;
    }

private:
    const bool manualReset_;
    bool set_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
};
