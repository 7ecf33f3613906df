#pragma once
// Small parsers of settings and template text.

#include <algorithm>
#include <array>
#include <cstddef>
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

// Template lines are read with at most this many characters.
constexpr std::size_t kMaxLineLength = 255;

// Calls `handle` with each line of the text (ended by LF, CR LF or CR), cut to kMaxLineLength.
template <class Handle>
void ForEachLine(const std::string &text, Handle &&handle)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        handle(text.substr(start, std::min(end - start, kMaxLineLength)));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}
