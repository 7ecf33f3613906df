#pragma once
// Byte-text primitives. Texts are single-byte (Windows-1252) strings; case rules are ASCII-only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The first n bytes of a text.
std::string Cut(std::string_view text, std::size_t n);

// Removes bytes 00h-20h at both ends (blanks, tabs, line ends and other control bytes).
std::string Trim(std::string_view text);
// The same without a copy: the part of `text` that Trim keeps.
std::string_view TrimmedView(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
// The text on one line: line breaks (CR, LF) at either end are dropped, each run of them inside becomes a blank.
std::string OneLine(std::string_view text);

std::string UpperCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
bool StartsWithText(std::string_view text, std::string_view prefix);   // without regard to case

// Integer text as the settings and template files write it: optional blanks before, optional sign, then
// decimal digits or "$" and hex digits; nothing may follow. Hex may use all 32 bits ("$FFFFFFFF" is -1).
std::optional<int32_t> ParseInt(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// A real number with "." as the decimal separator, optional sign and exponent; blanks around are allowed.
std::optional<double> ParseReal(std::string_view text);

// The decimal separator used when real numbers are shown (the user's locale; "." until the program sets it).
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// General number text with 15 significant digits and the decimal separator ("0.3", "1.5", "12"); an exponent
// has no "+" and no leading zeros ("1E-5", "2E15").
std::string FloatToStr(double value);
