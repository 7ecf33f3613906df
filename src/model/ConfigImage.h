#pragma once
// The configuration image: the records last applied to a template, each 3 code bytes and a value byte.

#include "platform/ShortStr.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A configuration as it travels through the program: one record per line, code bytes followed by the value byte.
using ConfigRecords = std::vector<std::string>;

constexpr int32_t kCfgMaxRecords = 1024;

class TTplCfg {
public:
    ShortStr<50> TemplateName;   // upper-case, blank-padded file name of the loaded template
    int32_t Count = 0;
    std::array<ShortStr<4>, kCfgMaxRecords> Records;

    // Takes the records, each cut to 4 bytes; records beyond kCfgMaxRecords are dropped.
    void Load(const ConfigRecords &records);
    // The value byte of the first record of at least 4 bytes whose first 3 bytes equal the code (at most 4 bytes
    // taken, so only 3-byte codes can be found).
    bool Find(std::string_view code, uint8_t &value) const;
};
