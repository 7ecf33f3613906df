#include "ReaderSimGuiDriver.h"

#include <chrono>

namespace testsupport {

ReaderSimGuiDriver::ReaderSimGuiDriver(ReaderSim &sim, int masterFd)
    : channel_(sim, masterFd)
    , readNotifier_(masterFd, QSocketNotifier::Read)
    , writeNotifier_(masterFd, QSocketNotifier::Write)
{
    writeNotifier_.setEnabled(false);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&readNotifier_, &QSocketNotifier::activated, &readNotifier_, [this] { onReadable(); });
    QObject::connect(&writeNotifier_, &QSocketNotifier::activated, &writeNotifier_, [this] { writeDue(); });
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { writeDue(); });
}

void ReaderSimGuiDriver::send(const std::string &bytes)
{
    channel_.queue(bytes, SimClock::now());
    writeDue();
}

void ReaderSimGuiDriver::onReadable()
{
    if (!channel_.readInput(SimClock::now())) {
        stopWatching();
        return;
    }
    writeDue();
}

void ReaderSimGuiDriver::writeDue()
{
    if (!readNotifier_.isEnabled())
        return;
    const auto now = SimClock::now();
    if (!channel_.writeDue(now)) {
        stopWatching();
        return;
    }
    writeNotifier_.setEnabled(channel_.hasBacklog());
    if (auto due = channel_.nextDue())
        timer_.start(std::chrono::ceil<std::chrono::milliseconds>(*due - now));
    else
        timer_.stop();
}

// The fd is gone: no more reading, writing or timers.
void ReaderSimGuiDriver::stopWatching()
{
    readNotifier_.setEnabled(false);
    writeNotifier_.setEnabled(false);
    timer_.stop();
}

} // namespace testsupport
