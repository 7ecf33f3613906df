#include "SerMisc.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr int64_t MsPerTick = 55;
constexpr const char *QuitProperty = "serQuitRequested";

int64_t SystemMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::atomic<TSerMsClock> msClock {&SystemMs};
std::atomic<bool> quitRequested {false};

bool OnApplicationThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

void SetSerMsClock(TSerMsClock clock)
{
    msClock = clock ? clock : &SystemMs;
}

int64_t SerMsCount()
{
    return msClock.load()();
}

int64_t SerTickCount()
{
    return SerMsCount() / MsPerTick;
}

void NewTimer(TTickTimer &timer, int32_t ticks)
{
    timer.StartTicks = SerTickCount();
    timer.ExpireTicks = timer.StartTicks + std::min(ticks, MaxTimerTicks);
}

bool TimerExpired(const TTickTimer &timer)
{
    return SerTickCount() > timer.ExpireTicks;
}

int64_t TimerRemainingMs(const TTickTimer &timer)
{
    // The timer runs out once the tick after ExpireTicks has begun.
    return std::max<int64_t>(0, (timer.ExpireTicks + 1) * MsPerTick - SerMsCount());
}

void RequestQuit(int exitCode)
{
    quitRequested = true;
    if (OnApplicationThread()) {
        QCoreApplication::instance()->setProperty(QuitProperty, true);
        QCoreApplication::exit(exitCode);
    }
}

bool QuitRequested()
{
    if (quitRequested)
        return true;
    return OnApplicationThread() && QCoreApplication::instance()->property(QuitProperty).toBool();
}

void ClearQuitRequest()
{
    quitRequested = false;
    if (OnApplicationThread())
        QCoreApplication::instance()->setProperty(QuitProperty, false);
}

uint32_t PumpSingleMessage()
{
    if (OnApplicationThread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return QuitRequested() ? QuitMessage : 0;
}

uint32_t DelayTicks(int32_t ticks, bool yield)
{
    if (ticks < 1)
        return 0;
    TTickTimer timer;
    NewTimer(timer, ticks);
    if (!yield || !OnApplicationThread()) {
        while (!TimerExpired(timer))
            std::this_thread::sleep_for(std::chrono::milliseconds(TimerRemainingMs(timer) + 1));
        return 0;
    }
    // Sleep in the event loop; the wake timer ends the wait for events when the delay is over.
    QTimer wake;
    wake.setSingleShot(true);
    for (;;) {
        if (PumpSingleMessage() == QuitMessage)
            return QuitMessage;
        if (TimerExpired(timer))
            return 0;
        wake.start(int(std::min<int64_t>(TimerRemainingMs(timer) + 1, 1000)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

bool FlagSet(uint32_t value, uint32_t mask)
{
    return (value & mask) != 0;
}
