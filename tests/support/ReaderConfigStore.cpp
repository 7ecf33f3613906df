#include "ReaderConfigStore.h"

#include "ReaderSimTypes.h"

#include <algorithm>
#include <stdexcept>

namespace testsupport {

std::string readerRecord(std::string_view code, uint8_t value)
{
    if (code.size() != 2)
        throw std::invalid_argument("a record code has two bytes");
    std::string record("\x1b");
    record += code;
    record += char(value);
    return record;
}

ReaderConfigStore::ReaderConfigStore(std::initializer_list<std::string> records)
{
    for (const std::string &record : records)
        apply(record);
}

void ReaderConfigStore::apply(const std::string &record)
{
    if (record.size() != 4)
        throw std::invalid_argument("a record has four bytes");
    auto same = std::find_if(records_.begin(), records_.end(),
                             [&](const std::string &r) { return r.compare(0, 3, record, 0, 3) == 0; });
    if (same != records_.end())
        *same = record;
    else
        records_.push_back(record);
}

void ReaderConfigStore::applyAll(const ReaderConfigStore &other)
{
    for (const std::string &record : other.records_)
        apply(record);
}

std::optional<uint8_t> ReaderConfigStore::value(std::string_view code) const
{
    for (const std::string &record : records_) {
        if (std::string_view(record).substr(0, 3) == code)
            return uint8_t(record[3]);
    }
    return std::nullopt;
}

std::string toString(const ReaderConfigStore &store)
{
    std::string out = "{";
    for (const std::string &record : store.records()) {
        if (out.size() > 1)
            out += ", ";
        out += toHex(record);
    }
    return out + "}";
}

} // namespace testsupport
