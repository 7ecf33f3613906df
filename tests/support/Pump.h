#pragma once
// Runs the GUI thread's events until a condition holds or the time-out passes.

#include <QCoreApplication>

#include <chrono>
#include <thread>

template <class Pred>
bool PumpUntil(Pred pred, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void PumpFor(std::chrono::milliseconds time)
{
    PumpUntil([] { return false; }, time);
}
