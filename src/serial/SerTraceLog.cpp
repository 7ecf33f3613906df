#include "SerTraceLog.h"

#include <algorithm>
#include <cstring>

namespace {

// The header as it lies in the log ring.
struct LogHeader {
    uint8_t Type;
    uint8_t SubType;
    uint16_t Spare;
    uint32_t Time;
    uint32_t Value;
    uint32_t Length;
};
static_assert(sizeof(LogHeader) == TSerLogRing::HeaderSize);

} // namespace

TSerTraceRing::TSerTraceRing(uint32_t size) : entries_(size, Entry {0, 0}) {}

void TSerTraceRing::Clear()
{
    head_ = 0;
    wrapped_ = false;
}

void TSerTraceRing::Add(char kind, uint8_t byte)
{
    if (entries_.empty())
        return;
    entries_[head_] = {kind, byte};
    if (++head_ == entries_.size()) {
        head_ = 0;
        wrapped_ = true;
    }
}

std::vector<TSerTraceRing::Entry> TSerTraceRing::Entries() const
{
    std::vector<Entry> oldestFirst;
    if (wrapped_)
        oldestFirst.assign(entries_.begin() + head_, entries_.end());
    oldestFirst.insert(oldestFirst.end(), entries_.begin(), entries_.begin() + head_);
    return oldestFirst;
}

TSerLogRing::TSerLogRing(uint32_t size) : buffer_(size, 0), free_(size) {}

void TSerLogRing::Clear()
{
    head_ = tail_ = 0;
    free_ = uint32_t(buffer_.size());
}

void TSerLogRing::Add(uint8_t type, uint8_t subType, uint32_t time, uint32_t value, const void *data,
                      uint32_t length)
{
    // Header and data go in together, so a record is never left without its data.
    const uint64_t needed = uint64_t(HeaderSize) + length;
    if (needed >= buffer_.size())
        return;
    TSerLogRecord dropped;
    while (free_ < needed && Take(dropped)) {
    }
    const LogHeader header {type, subType, 0, time, value, length};
    Write(&header, HeaderSize);
    Write(data, length);
}

bool TSerLogRing::Take(TSerLogRecord &record)
{
    if (Empty())
        return false;
    LogHeader header;
    Read(&header, HeaderSize);
    record.Type = header.Type;
    record.SubType = header.SubType;
    record.Time = header.Time;
    record.Value = header.Value;
    record.Data.resize(header.Length);
    Read(record.Data.data(), header.Length);
    return true;
}

void TSerLogRing::Write(const void *bytes, uint32_t count)
{
    if (count == 0)
        return;
    const auto *from = static_cast<const uint8_t *>(bytes);
    const uint32_t size = uint32_t(buffer_.size());
    const uint32_t first = std::min(count, size - head_);
    std::memcpy(&buffer_[head_], from, first);
    std::memcpy(buffer_.data(), from + first, count - first);
    head_ = (head_ + count) % size;
    free_ -= count;
}

void TSerLogRing::Read(void *bytes, uint32_t count)
{
    if (count == 0)
        return;
    auto *to = static_cast<uint8_t *>(bytes);
    const uint32_t size = uint32_t(buffer_.size());
    const uint32_t first = std::min(count, size - tail_);
    std::memcpy(to, &buffer_[tail_], first);
    std::memcpy(to + first, buffer_.data(), count - first);
    tail_ = (tail_ + count) % size;
    free_ += count;
}
