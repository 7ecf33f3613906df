#pragma once
// Text and number helpers. "Short" results are cut at 255 characters; the Long variants keep any length.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t kShortMax = 255;
// Two-digit years are placed in the hundred years that begin this many years before the current year.
constexpr int kTwoDigitYearWindow = 50;

std::string FillStr(char c, int count);
// The text followed (PadRight) or preceded (PadLeft) by fill characters up to width; a longer text stays whole.
std::string PadRight(std::string_view text, char fill, int width);
std::string PadLeft(std::string_view text, char fill, int width);

// The part before / after the first occurrence of the delimiter. Without one: the whole text / empty.
std::string StrBefore(std::string_view text, std::string_view delimiter);
std::string StrAfter(std::string_view text, std::string_view delimiter);
// Returns StrBefore and leaves StrAfter, cut to maxLength, in `text`; the last field empties the text.
std::string SplitStr(std::string &text, std::size_t maxLength, std::string_view delimiter);

std::string LongStrBefore(std::string_view text, std::string_view delimiter);
std::string LongStrAfter(std::string_view text, std::string_view delimiter);
std::string SplitLongStr(std::string &text, std::string_view delimiter);

// Writes the text into buffer[index...]; characters that would fall outside the buffer are dropped.
void PutStr(char *buffer, std::size_t bufferSize, std::string_view text, std::size_t index);

// Decimal text of the value, left-padded with "0" to width; at most 20 characters.
std::string ZeroPad(int64_t value, int width);
// The integer part of x + 1 when x has a fractional part, else x (2.1 -> 3, 2.0 -> 2, -1.5 -> 0, -0.5 -> 0).
int64_t RoundUp(double x);
// Reads the text as a real with "," or "." as decimal separator; the fallback when it is not a number.
double StrToRealDef(std::string_view text, double fallback);
// Fixed-point text with the given decimals, rounded half away from zero, with the user's decimal separator;
// with wholeAsInteger set, a value without fractional part is shown without decimals.
std::string RealToStr(double x, int decimals, bool wholeAsInteger);
