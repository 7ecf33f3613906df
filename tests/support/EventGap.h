#pragma once

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace testsupport {

// The longest time the thread went without handling its events, from start() on.
class EventGap {
public:
    using Clock = std::chrono::steady_clock;

    EventGap()
    {
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, Clock::now() - last_);
            last_ = Clock::now();
        });
    }
    void start()
    {
        started_ = last_ = Clock::now();
        tick_.start(5);
    }
    Clock::time_point started() const { return started_; }
    Clock::duration longest() const { return std::max(longest_, Clock::now() - last_); }

private:
    QTimer tick_;
    Clock::time_point started_, last_;
    Clock::duration longest_ {};
};

} // namespace testsupport
