#include "Unicode.h"

namespace {

// Unicode of the bytes 80h-9Fh; 0 marks the five bytes that Windows-1252 leaves unassigned.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The character that starts at text[i], advancing i past it; a byte that does not start a valid sequence
// stands for itself as Windows-1252.
char32_t nextUtf8(std::string_view text, std::size_t &i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                                  : lead >= 0xF0 && lead < 0xF5   ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + std::size_t(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
        valid = (byte(i + k) & 0xC0) == 0x80;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    valid = valid && !(length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) &&
            !(length == 4 && (c < 0x10000 || c > 0x10FFFF));
    if (!valid) return Cp1252ToUnicode(byte(i++));
    i += std::size_t(length);
    return c;
}

void appendUtf16(std::string &out, char16_t unit, bool bigEndian)
{
    const char high = char(unit >> 8), low = char(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

} // namespace

char32_t Cp1252ToUnicode(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] ? kHigh[byte - 0x80] : char32_t(byte);
}

std::optional<char> UnicodeToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] ? kHigh[i] == c : c == char32_t(0x80 + i)) return char(0x80 + i);
    return std::nullopt;
}

std::string Cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    for (char b : bytes) appendUtf8(out, Cp1252ToUnicode(static_cast<unsigned char>(b)));
    return out;
}

std::string Utf8ToCp1252(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) out += UnicodeToCp1252(nextUtf8(text, i)).value_or('?');
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return char16_t(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::string out;
    const std::size_t whole = bytes.size() & ~std::size_t(1);
    for (std::size_t i = 0; i < whole; i += 2) {
        const char16_t u = unit(i);
        char32_t c = u;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < whole && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (u >= 0xD800 && u < 0xE000) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    if (whole != bytes.size()) appendUtf8(out, kReplacement);
    return out;
}

std::string Utf8ToUtf16(std::string_view text, bool bigEndian)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = nextUtf8(text, i);
        if (c < 0x10000) {
            appendUtf16(out, char16_t(c), bigEndian);
        } else {
            appendUtf16(out, char16_t(0xD800 + ((c - 0x10000) >> 10)), bigEndian);
            appendUtf16(out, char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)), bigEndian);
        }
    }
    return out;
}
