#pragma once
// Small parsers of settings and template text.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct IntList {
    std::array<int32_t, 11> Values {};
    int32_t Count = 0;
};

// Comma-separated integers; a field that is not a number gives 0; at most 11 values are kept.
IntList ParseIntList(std::string_view text);

// The tag of a template line: the text before the first ":", trimmed, upper-cased, its first 3 characters.
std::string LineTag(std::string_view line);
