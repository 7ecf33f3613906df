#pragma once
// The field grammar of template lines: code bytes, value lines and the entry line of headers and parameters.

#include "TplValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Keeps the digits 0-9 and upper-case A-F (at most 10), pads a single digit with "0" and turns each pair into one
// byte; an odd last digit is dropped. Lower-case letters do not count as hexadecimal here.
std::string HexFilter(std::string_view text);

// Number of values of a numeric range: the first value is `min`, each next one `step` higher, the last the first
// that reaches `max`. Counted without summing steps, so 0..1 in steps of 0.1 gives 11 values; at most
// kNumValueLimit.
constexpr int32_t kNumValueLimit = 65536;
int32_t NumValueCount(double min, double max, double step);

// A value line of the given kind (trVal, trHex, trNum, trChr) from its body.
TTplVal MakeValueLine(uint8_t kind, std::string_view body, std::string_view question);

// The fields of a header or parameter line: [~]Name[LSB|MSB][[n]] , CODEHEX = ValueName , VALUEHEX [ @condition]
struct TplEntryLine {
    std::string Name;
    bool IsOverflow = false;
    uint8_t ByteOrder = 0;     // 1 name ends in "LSB", 2 in "MSB"
    int32_t ArrayIndex = 0;
    std::string Code;          // 0 to 5 bytes
    std::string ValueText;     // the default value's name
    uint8_t Value = 0;         // the default value's code
    std::optional<std::string> Condition;   // the text after " @", when the line has one that is not empty
};
TplEntryLine ParseEntryLine(std::string_view body);
