#pragma once
// The matching of the port's string wait: received bytes against the awaited string. After a byte that does not
// fit, matching starts again only when that byte is the string's first one, so "aab" is not found in "aaab".

#include <cstddef>
#include <string>
#include <string_view>

class TSerStringMatch {
public:
    static constexpr std::size_t MaxLength = 255;   // bytes of the awaited string that count

    // `wanted` must not be empty.
    TSerStringMatch(std::string_view wanted, bool ignoreCase);

    // True when the byte completes the awaited string.
    bool Take(char c);

private:
    std::string wanted_;
    bool ignoreCase_;
    std::size_t index_ = 0;
};
