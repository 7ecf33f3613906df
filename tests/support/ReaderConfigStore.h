#pragma once
// A reader's configuration: 4-byte records (ESC, two code bytes, value byte) in the order they were first
// set. Setting a code that is already present replaces its value in place.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// ESC + the two code bytes + the value byte.
std::string readerRecord(std::string_view code, uint8_t value);

class ReaderConfigStore {
public:
    ReaderConfigStore() = default;
    ReaderConfigStore(std::initializer_list<std::string> records);

    // Takes a 4-byte record; its first three bytes are the code.
    void apply(const std::string &record);
    void applyAll(const ReaderConfigStore &other);
    // The value stored for a 3-byte code (ESC and the two code bytes).
    std::optional<uint8_t> value(std::string_view code) const;

    const std::vector<std::string> &records() const { return records_; }
    bool empty() const { return records_.empty(); }
    void clear() { records_.clear(); }

    bool operator==(const ReaderConfigStore &) const = default;

private:
    std::vector<std::string> records_;
};

// For test failure messages: "{1B 41 42 00, 1B 41 43 01}".
std::string toString(const ReaderConfigStore &store);

} // namespace testsupport
