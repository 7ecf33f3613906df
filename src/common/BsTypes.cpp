#include "BsTypes.h"

#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string FillStr(char c, int count) { return std::string(std::size_t(std::clamp(count, 0, 255)), c); }

std::string PadRight(std::string_view text, char fill, int width)
{
    std::string out(text);
    if (int(out.size()) < width) out.append(std::size_t(width) - out.size(), fill);
    return Cut(out, kShortMax);
}

std::string PadLeft(std::string_view text, char fill, int width)
{
    std::string out(text);
    if (int(out.size()) < width) out.insert(0, std::size_t(width) - out.size(), fill);
    return Cut(out, kShortMax);
}

std::string LongStrBefore(std::string_view text, std::string_view delimiter)
{
    auto pos = delimiter.empty() ? std::string_view::npos : text.find(delimiter);
    return std::string(pos == std::string_view::npos ? text : text.substr(0, pos));
}

std::string LongStrAfter(std::string_view text, std::string_view delimiter)
{
    auto pos = delimiter.empty() ? std::string_view::npos : text.find(delimiter);
    return pos == std::string_view::npos ? std::string() : std::string(text.substr(pos + delimiter.size()));
}

std::string SplitLongStr(std::string &text, std::string_view delimiter)
{
    std::string head = LongStrBefore(text, delimiter);
    text = LongStrAfter(text, delimiter);
    return head;
}

std::string StrBefore(std::string_view text, std::string_view delimiter)
{
    return Cut(LongStrBefore(text, delimiter), kShortMax);
}

std::string StrAfter(std::string_view text, std::string_view delimiter)
{
    return Cut(LongStrAfter(text, delimiter), kShortMax);
}

std::string SplitStr(std::string &text, std::size_t maxLength, std::string_view delimiter)
{
    std::string head = StrBefore(text, delimiter);
    text = Cut(LongStrAfter(text, delimiter), maxLength);
    return head;
}

void PutStr(char *buffer, std::size_t bufferSize, std::string_view text, std::size_t index)
{
    for (std::size_t i = 0; i < text.size() && index + i < bufferSize; ++i) buffer[index + i] = text[i];
}

std::string ZeroPad(int64_t value, int width) { return Cut(PadLeft(std::to_string(value), '0', width), 20); }

int64_t RoundUp(double x) { return int64_t(x == std::trunc(x) ? x : std::trunc(x + 1)); }

double StrToRealDef(std::string_view text, double fallback)
{
    std::string t(text);
    std::replace(t.begin(), t.end(), ',', '.');
    return ParseReal(t).value_or(fallback);
}

namespace {

// Adds one unit to the last digit of a run of decimal digits (with an optional point), carrying leftwards.
void incrementDigits(std::string &digits)
{
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.') continue;
        if (digits[i] < '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(0, 1, '1');
}

} // namespace

std::string RealToStr(double x, int decimals, bool wholeAsInteger)
{
    if (!std::isfinite(x)) return FloatToStr(x);
    decimals = std::clamp(decimals, 0, 18);
    if (wholeAsInteger && x == std::trunc(x)) decimals = 0;

    // 18 significant digits first, then round that decimal text half away from zero.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(x));
    std::string text(buf);
    const int exponent = std::stoi(text.substr(text.find('e') + 1));
    std::string digits = text.substr(0, 1) + text.substr(2, text.find('e') - 2);   // 18 digits, no point

    // Place the point: integer part and fraction as decimal digit strings.
    std::string intPart, fraction;
    if (exponent >= 0) {
        if (std::size_t(exponent) + 1 >= digits.size()) {
            intPart = digits + std::string(std::size_t(exponent) + 1 - digits.size(), '0');
        } else {
            intPart = digits.substr(0, std::size_t(exponent) + 1);
            fraction = digits.substr(std::size_t(exponent) + 1);
        }
    } else {
        intPart = "0";
        fraction = std::string(std::size_t(-exponent - 1), '0') + digits;
    }

    bool roundUp = fraction.size() > std::size_t(decimals) && fraction[std::size_t(decimals)] >= '5';
    fraction.resize(std::size_t(decimals), '0');
    std::string number = decimals > 0 ? intPart + "." + fraction : intPart;
    if (roundUp) incrementDigits(number);

    bool zero = number.find_first_not_of("0.") == std::string::npos;
    if (x < 0 && !zero) number.insert(0, 1, '-');
    std::replace(number.begin(), number.end(), '.', DecimalSeparator());
    return number;
}
