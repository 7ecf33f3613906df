// The three threads of an open port: the communications-event thread waits for the device, the dispatcher
// thread moves received bytes into the receive ring and checks the triggers, the output thread writes the
// output ring to the device. Every thread is started and joined by the dispatcher's owner.

#include "SerDispatch.h"
#include "SerWindow.h"

#include <pthread.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int DispatchPeriodMs = 50;

} // namespace

void TSerBaseDispatcher::StartThreads()
{
    std::lock_guard lock(triggerLock_);
    if (ThreadsStarted())
        throw std::runtime_error("Dispatcher already started");
    // Threads that ended by themselves (a hung-up device) are collected before new ones start.
    for (std::thread *t : {&comThread_, &dispThread_, &outThread_})
        if (t->joinable())
            t->join();
    killThreads_ = false;
    dispatchDone_.Reset();
    comEvent_.Reset();
    outputReady_.Reset();
    // Counted before they run, so that the count reaches 0 only when all three have ended.
    runningThreads_ = 3;
    comThread_ = std::thread(&TSerBaseDispatcher::RunThreadBody, this, &TSerBaseDispatcher::ComThreadBody);
    dispThread_ = std::thread(&TSerBaseDispatcher::RunThreadBody, this, &TSerBaseDispatcher::DispThreadBody);
    outThread_ = std::thread(&TSerBaseDispatcher::RunThreadBody, this, &TSerBaseDispatcher::OutThreadBody);
    // Named for debuggers and process listings.
    pthread_setname_np(comThread_.native_handle(), "ser-event");
    pthread_setname_np(dispThread_.native_handle(), "ser-dispatch");
    pthread_setname_np(outThread_.native_handle(), "ser-output");
}

void TSerBaseDispatcher::RequestThreadStop()
{
    killThreads_ = true;
    WakeDeviceWaits();
    dispatchDone_.Set();
    comEvent_.Set();
    outputReady_.Set();
}

void TSerBaseDispatcher::StopThreads()
{
    {
        std::lock_guard lock(triggerLock_);
        if (!comThread_.joinable() && !dispThread_.joinable() && !outThread_.joinable())
            return;
        killThreads_ = true;
    }
    // Waits outside the lock: the dispatcher thread takes it to deliver. A delivery it waits on ends at once.
    RequestThreadStop();
    for (std::thread *t : {&outThread_, &comThread_, &dispThread_})
        if (t->joinable())
            t->join();
}

void TSerBaseDispatcher::ThreadLeaving()
{
    --runningThreads_;
}

void TSerBaseDispatcher::RunThreadBody(void (TSerBaseDispatcher::*body)())
{
    try {
        (this->*body)();
    } catch (const std::exception &e) {
        PostErrorReport(e.what());
    } catch (...) {
        PostErrorReport("Unknown error");
    }
    ThreadLeaving();
}

void TSerBaseDispatcher::ReportDeviceFailure()
{
    deviceFailed_ = true;
    std::lock_guard lock(triggerLock_);
    for (const WindowHandler &h : windowHandlers_)
        if (!h.deleted)
            h.window->PostMessage(SerMsg::DeviceLost, 0, handle_ << 16);
}

void TSerBaseDispatcher::ComThreadBody()
{
    for (;;) {
        uint32_t mask = 0;
        if (!WaitDeviceEvent(mask)) {
            // The device failed (hung up, unplugged): this thread ends; the others keep the timers and drop
            // what cannot be written, and the port's windows are told.
            ReportDeviceFailure();
            break;
        }
        if (killThreads_)
            break;
        if (mask == 0)
            continue;
        eventMask_ = mask;
        comEvent_.Set();
        dispatchDone_.WaitFor(-1);
        if (killThreads_)
            break;
    }
}

void TSerBaseDispatcher::DispThreadBody()
{
    while (!killThreads_ && !closePending_) {
        if (comEvent_.WaitFor(DispatchPeriodMs)) {
            if (killThreads_)
                break;
            HandleDeviceEvent(eventMask_.exchange(0));
            dispatchDone_.Set();
        } else {
            if (driverHasMore_)
                ReadIntoRing();
            if (const uint32_t events = PollDeviceEvents())
                HandleDeviceEvent(events);
        }
        PeriodicCheck();
    }
    // A close during a delivery ends the other threads too; the owner joins them and releases the buffers.
    RequestThreadStop();
}

bool TSerBaseDispatcher::StatusPass()
{
    bool fired = false;
    while (!closePending_ && CheckStatusTriggers())
        fired = true;
    return fired || statusHit_;
}

void TSerBaseDispatcher::HandleDeviceEvent(uint32_t mask)
{
    bool anyStatus = false;
    if (mask & DevEvent::ModemEvents) {
        if (mask & DevEvent::Ring)
            ringSeen_ = true;
        RefreshModemDeltas();
        if (!Dispatching())
            anyStatus |= StatusPass();
    }
    if ((mask & 0xFF) >= DevEvent::Break) {
        RefreshLineErrors();
        if (!Dispatching())
            anyStatus |= StatusPass();
    }
    if (mask & DevEvent::RxChar) {
        ReadIntoRing();
        if (!Dispatching()) {
            anyStatus |= StatusPass();
            while (!closePending_ && CheckDataTriggers()) {
            }
        }
    }
    if (anyStatus)
        ResetStatusHits();
}

void TSerBaseDispatcher::PeriodicCheck()
{
    if (closePending_ || Dispatching())
        return;
    bool dataUndelivered;
    {
        std::lock_guard lock(triggerLock_);
        statusHit_ = false;
        dataUndelivered = std::exchange(dataUndelivered_, false);
    }
    while (dataUndelivered && !closePending_ && CheckDataTriggers()) {
    }
    bool any = false;
    for (;;) {
        bool fired = CheckStatusTriggers();
        if (!fired)
            fired = CheckTimerTriggers();
        if (!fired || closePending_)
            break;
        any = true;
    }
    if (any || statusHit_)
        ResetStatusHits();
}

bool TSerBaseDispatcher::ReadIntoRing()
{
    std::lock_guard lock(inputLock_);
    if (rxRing_.empty())
        return false;
    TSerDeviceStatus status;
    if (RxCount() == RxRingSize) {
        if (!driverHasMore_) {
            lineErrors_.fetch_or(ReadDeviceStatus(status) & LineErr::All);
            driverHasMore_ = status.InQueue > 0;
        }
        return true;
    }
    lineErrors_.fetch_or(ReadDeviceStatus(status) & LineErr::All);
    const uint32_t waiting = status.InQueue;
    if (waiting == 0) {
        driverHasMore_ = false;
        return false;
    }
    const uint32_t free = RxRingSize - RxCount();
    const uint32_t contiguous = rxTail_ > rxHead_ ? free : RxRingSize - rxHead_;
    driverHasMore_ = waiting > free;
    const uint32_t toRead = std::min(waiting, free);
    const uint32_t first = std::min(toRead, contiguous);
    const auto readAtHead = [this](uint32_t count) {
        const int32_t got = ReadDevice(&rxRing_[rxHead_], count);
        if (got > 0) {
            Log(LogType::Dispatch, LogSub::ReadCom, uint32_t(got), &rxRing_[rxHead_], uint32_t(got));
            rxHead_ = (rxHead_ + uint32_t(got)) % RxRingSize;
            rxStored_ += uint32_t(got);
            rxFull_ = rxHead_ == rxTail_;
        }
        return got;
    };
    const int32_t got = readAtHead(first);
    if (got > 0) {
        if (uint32_t(got) == first && toRead > first)
            readAtHead(toRead - first);
        inputArrived_.Set();
    }
    return true;
}

void TSerBaseDispatcher::OutThreadBody()
{
    while (!killThreads_ && !closePending_) {
        outputReady_.WaitFor(-1);
        if (killThreads_)
            break;
        WriteOutput();
    }
}

void TSerBaseDispatcher::WriteOutput()
{
    for (;;) {
        int32_t written;
        {
            std::lock_guard lock(outputLock_);
            const uint32_t count = OutputRingCount();
            if (count == 0)
                return;
            // The pending bytes as one or two runs, written in one call.
            iovec parts[2];
            const uint32_t firstRun = std::min(count, outSize_ - txTail_);
            parts[0] = {&txRing_[txTail_], firstRun};
            parts[1] = {txRing_.data(), count - firstRun};
            written = WriteDevice(parts, count > firstRun ? 2 : 1);
            // A failed write drops the bytes, as a write the device refused.
            const uint32_t done = written < 0 ? count : uint32_t(written);
            if (done > 0) {
                txTail_ = (txTail_ + done) % outSize_;
                txFull_ = false;
                if (txTail_ == txHead_)
                    txTail_ = txHead_ = 0;
            }
        }
        if (written == 0) {
            if (killThreads_)
                return;
            WaitDeviceWritable();
        }
    }
}
