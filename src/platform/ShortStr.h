#pragma once
// A byte string with a fixed maximum length: a longer text is cut on construction and assignment.

#include <cstddef>
#include <string>
#include <string_view>

template <std::size_t N>
class ShortStr {
public:
    static constexpr std::size_t capacity = N;

    ShortStr() = default;
    ShortStr(std::string_view text) : text_(text.substr(0, N)) {}
    ShortStr(const std::string &text) : ShortStr(std::string_view(text)) {}
    ShortStr(const char *text) : ShortStr(std::string_view(text)) {}

    ShortStr &operator=(std::string_view text)
    {
        text_.assign(text.substr(0, N));
        return *this;
    }
    ShortStr &operator=(const std::string &text) { return *this = std::string_view(text); }
    ShortStr &operator=(const char *text) { return *this = std::string_view(text); }

    const std::string &str() const { return text_; }
    operator const std::string &() const { return text_; }
    operator std::string_view() const { return text_; }

    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    char operator[](std::size_t i) const { return text_[i]; }

    friend bool operator==(const ShortStr &a, const ShortStr &b) { return a.text_ == b.text_; }
    friend bool operator==(const ShortStr &a, std::string_view b) { return a.text_ == b; }

private:
    std::string text_;
};
