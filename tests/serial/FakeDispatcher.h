#pragma once
// A dispatcher over an in-memory device, for tests of the rings and the line control without threads.

#include "serial/SerDispatch.h"

#include <deque>
#include <utility>
#include <string>
#include <string_view>

class TSerDispatcherProbe {
public:
    static bool ReadIntoRing(TSerBaseDispatcher &d) { return d.ReadIntoRing(); }
    static void WriteOutput(TSerBaseDispatcher &d) { d.WriteOutput(); }
    static bool TxFull(TSerBaseDispatcher &d) { return d.txFull_; }
    static uint32_t TxHead(TSerBaseDispatcher &d) { return d.txHead_; }
    static uint32_t TxTail(TSerBaseDispatcher &d) { return d.txTail_; }
    static bool DriverHasMore(TSerBaseDispatcher &d) { return d.driverHasMore_; }
    // The rate the drain before a line change times the characters still leaving with.
    static uint32_t LastBaud(TSerBaseDispatcher &d) { return d.lastBaud_; }
    static bool CheckDataTriggers(TSerBaseDispatcher &d) { return d.CheckDataTriggers(); }
    static bool CheckTimerTriggers(TSerBaseDispatcher &d) { return d.CheckTimerTriggers(); }
    static bool CheckStatusTriggers(TSerBaseDispatcher &d) { return d.CheckStatusTriggers(); }
    // What the dispatcher thread does at each tick.
    static void PeriodicCheck(TSerBaseDispatcher &d) { d.PeriodicCheck(); }
    // What the dispatcher thread does when the device reports events.
    static void HandleDeviceEvent(TSerBaseDispatcher &d, uint32_t mask) { d.HandleDeviceEvent(mask); }
};

// A trigger set to restore: the length trigger and one data trigger, handle 8, for the text.
inline TTriggerSave DataTriggerSet(uint32_t lengthTrigger, std::string_view text)
{
    TTriggerSave saved;
    saved.LengthTrigger = lengthTrigger;
    TDataTrigger trigger;
    trigger.TriggerHandle = 8;
    trigger.Length = int32_t(text.size());
    text.copy(trigger.Text, sizeof trigger.Text);
    saved.Data.push_back(trigger);
    return saved;
}

class FakeDispatcher : public TSerBaseDispatcher {
public:
    FakeDispatcher() : TSerBaseDispatcher(nullptr) {}
    ~FakeDispatcher() override { ClosePort(); }

    std::deque<uint8_t> input;      // bytes the device has received
    std::string output;             // bytes the device has sent
    size_t budget = 0;              // bytes the device takes before it stalls
    uint32_t errorBits = 0;         // line errors the next status read reports
    int settingsWrites = 0;
    TSerLineSettings settings;
    uint8_t modem = 0;

    // Lets the device take up to n more bytes of pending output.
    void Drain(size_t n)
    {
        budget = n;
        killThreads_ = false;
        TSerDispatcherProbe::WriteOutput(*this);
        killThreads_ = false;
    }

protected:
    int32_t LineFunction(int32_t) override { return 0; }
    int32_t PurgeDevice(int32_t which) override
    {
        if (which == 0)
            ResetOutputRing();
        else
            input.clear();
        return 0;
    }
    uint32_t ReadDeviceStatus(TSerDeviceStatus &status) override
    {
        status.InQueue = uint32_t(input.size());
        std::lock_guard lock(outputLock_);
        status.OutQueue = OutputRingCount();
        return std::exchange(errorBits, 0);
    }
    int32_t ReadLineSettings(TSerLineSettings &s) override
    {
        s = settings;
        return 0;
    }
    uint8_t ReadModemStatus() override { return modem; }
    void SetRs485Device(bool) override {}
    int32_t ReadDevice(void *buffer, uint32_t count) override
    {
        uint32_t n = 0;
        for (; n < count && !input.empty(); ++n) {
            static_cast<uint8_t *>(buffer)[n] = input.front();
            input.pop_front();
        }
        return int32_t(n);
    }
    int32_t WriteLineSettings(const TSerLineSettings &s) override
    {
        ++settingsWrites;
        settings = s;
        return 0;
    }
    int32_t QueueOutput(const void *bytes, uint32_t count) override
    {
        std::lock_guard lock(outputLock_);
        for (uint32_t i = 0; i < count; ++i) {
            txRing_[txHead_] = static_cast<const uint8_t *>(bytes)[i];
            txHead_ = (txHead_ + 1) % outSize_;
        }
        return int32_t(count);
    }
    bool WaitDeviceEvent(uint32_t &mask) override
    {
        mask = 0;
        return true;
    }
    bool SizeDeviceQueues(uint32_t, uint32_t) override { return true; }
    void StartThreads() override {}
    int32_t OpenDevice(const std::string &, uint32_t, uint32_t) override { return 3; }
    int32_t CloseDevice() override { return 0; }
    int32_t YieldSlice() override { return 0; }
    int32_t WriteDevice(const iovec *parts, int count) override
    {
        size_t taken = 0;
        for (int i = 0; i < count; ++i)
            for (size_t b = 0; b < parts[i].iov_len && budget > 0; ++b, ++taken, --budget)
                output += static_cast<const char *>(parts[i].iov_base)[b];
        return int32_t(taken);
    }
    // A stalled device ends the write as a stop request would.
    void WaitDeviceWritable() override { killThreads_ = true; }
    void WakeDeviceWaits() override {}
    uint32_t PollDeviceEvents() override { return 0; }
};
