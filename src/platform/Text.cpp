#include "Text.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::atomic<char> decimalSeparator {'.'};

} // namespace

std::string Cut(std::string_view text, std::size_t n) { return std::string(text.substr(0, n)); }

std::string TrimLeft(std::string_view text)
{
    std::size_t b = 0;
    while (b < text.size() && isBlank(text[b])) ++b;
    return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text)
{
    std::size_t e = text.size();
    while (e > 0 && isBlank(text[e - 1])) --e;
    return std::string(text.substr(0, e));
}

std::string_view TrimmedView(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text) { return std::string(TrimmedView(text)); }

std::string OneLine(std::string_view text)
{
    const auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (!isBreak(text[i])) {
            out += text[i++];
            continue;
        }
        while (i < text.size() && isBreak(text[i])) ++i;
        if (!out.empty() && i < text.size()) out += ' ';
    }
    return out;
}

std::string UpperCase(std::string_view text)
{
    std::string out(text);
    for (char &c : out) c = upper(c);
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

bool StartsWithText(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::optional<int32_t> ParseInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return std::nullopt;

    if (text[i] == '$') {
        ++i;
        if (i >= text.size()) return std::nullopt;
        uint64_t v = 0;
        for (; i < text.size(); ++i) {
            int d = hexDigit(text[i]);
            if (d < 0) return std::nullopt;
            v = v * 16 + uint64_t(d);
            if (v > 0xFFFFFFFFull) return std::nullopt;
        }
        int32_t r = int32_t(uint32_t(v));
        return negative ? int32_t(0u - uint32_t(r)) : r;
    }

    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return int32_t(v);
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) { return ParseInt(text).value_or(fallback); }

std::optional<double> ParseReal(std::string_view text)
{
    std::string t = Trim(text);
    std::string_view v = t;
    if (!v.empty() && v[0] == '+') v.remove_prefix(1);
    if (v.empty()) return std::nullopt;
    // Only digits, one sign, a point and an exponent: no "inf", "nan" or hex floats.
    for (char c : v)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != v.data() + v.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

char DecimalSeparator() { return decimalSeparator.load(); }
void SetDecimalSeparator(char separator) { decimalSeparator.store(separator); }

std::string FloatToStr(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string out(buf);
    for (char &c : out)
        if (c == '.') c = DecimalSeparator();
    // The exponent without "+" and without leading zeros: "1E-5", "2E15".
    if (const std::size_t e = out.find('E'); e != std::string::npos) {
        std::size_t digits = e + 1;
        if (out[digits] == '+')
            out.erase(digits, 1);
        else if (out[digits] == '-')
            ++digits;
        while (digits + 1 < out.size() && out[digits] == '0') out.erase(digits, 1);
    }
    return out;
}
