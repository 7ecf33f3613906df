#pragma once
// The two diagnostic records of a dispatcher: the trace, a ring of the bytes received and sent, and the
// dispatch log, a byte ring of time-stamped records of internal events.

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

// Kind letters of trace entries.
namespace TraceKind {
constexpr char Received = 'R';
constexpr char Transmitted = 'T';
} // namespace TraceKind

// Types of dispatch-log records (their texts are string ids 15001 + type).
namespace LogType {
constexpr uint8_t Dispatch = 1, Trigger = 2, TrigAllc = 5, TrigDisp = 6, TrgHdAlc = 7, TrgHdDsp = 8,
                  TrDatChg = 9;
} // namespace LogType

// Subtypes of dispatch-log records (their texts are string ids 15100 + subtype; 0 has none).
namespace LogSub {
constexpr uint8_t ReadCom = 1, WriteCom = 2, ModemStatus = 4, Avail = 5, Timer = 6, Data = 7, Status = 8,
                  TimerTrigger = 14, StatusTrigger = 15, LengthTrigger = 16, Window = 17;
} // namespace LogSub

constexpr uint32_t MaxTraceEntries = 4000000;

// Trace entries: a kind letter and a byte each. A ring of 0 entries records nothing.
class TSerTraceRing {
public:
    struct Entry {
        char Kind;
        uint8_t Byte;
    };

    explicit TSerTraceRing(uint32_t size);

    void Clear();
    void Add(char kind, uint8_t byte);
    bool Empty() const { return !wrapped_ && head_ == 0; }
    // The entries, oldest first.
    std::vector<Entry> Entries() const;

private:
    std::vector<Entry> entries_;
    uint32_t head_ = 0;   // the next entry to write
    bool wrapped_ = false;
};

// One dispatch-log record.
struct TSerLogRecord {
    uint8_t Type = 0;
    uint8_t SubType = 0;
    uint32_t Time = 0;    // milliseconds since the port opened
    uint32_t Value = 0;   // a handle, a count, a window
    std::vector<uint8_t> Data;
};

// Records back to back in a byte ring: a 16-byte header (type, subtype, two spare bytes, time, value, data
// length) and the data. Room for a new record is made by dropping the oldest ones.
class TSerLogRing {
public:
    static constexpr uint32_t HeaderSize = 16;

    explicit TSerLogRing(uint32_t size);

    void Clear();
    bool Empty() const { return free_ == buffer_.size(); }
    // Adds a record; one that does not fit in the whole ring is dropped.
    void Add(uint8_t type, uint8_t subType, uint32_t time, uint32_t value, const void *data, uint32_t length);
    // Takes the oldest record out; false when the ring is empty.
    bool Take(TSerLogRecord &record);

private:
    void Write(const void *bytes, uint32_t count);
    void Read(void *bytes, uint32_t count);

    std::vector<uint8_t> buffer_;
    uint32_t head_ = 0;   // where the next record goes
    uint32_t tail_ = 0;   // the oldest record
    uint32_t free_ = 0;
};

// A trace or log ring, present or not, and whether events go into it. The owner guards it with one lock;
// On() may be read without it.
template <class Ring>
class TSerRecording {
public:
    // Clears the present ring, or makes a new one of `size`; false when it cannot be had.
    bool Start(uint32_t size)
    {
        if (ring_) {
            ring_->Clear();
        } else {
            try {
                ring_ = std::make_unique<Ring>(size);
            } catch (const std::bad_alloc &) {
                return false;
            }
        }
        on_ = true;
        return true;
    }
    void Clear()
    {
        if (ring_)
            ring_->Clear();
    }
    void Abort() { End(); }
    void Resume()
    {
        if (ring_)
            on_ = true;
    }
    void Pause() { on_ = false; }
    bool On() const { return on_.load(std::memory_order_relaxed); }
    Ring *Get() const { return ring_.get(); }
    // Switches off and hands the ring over.
    std::unique_ptr<Ring> End()
    {
        on_ = false;
        return std::move(ring_);
    }

private:
    std::unique_ptr<Ring> ring_;
    std::atomic<bool> on_ {false};
};
