#pragma once
// Windows-1252 bytes, UTF-8 and UTF-16 text, for files that come in a Unicode form.

#include <optional>
#include <string>
#include <string_view>

// The character a Windows-1252 byte stands for; the five bytes the code page leaves free stand for the C1
// controls of the same number.
char32_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte of a character; nothing when the code page has none.
std::optional<char> UnicodeToCp1252(char32_t c);

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters outside Windows-1252 become "?"; a byte that is not part of valid UTF-8 is taken as Windows-1252.
std::string Utf8ToCp1252(std::string_view text);

// UTF-16 bytes (without a byte-order mark) to UTF-8 and back. An unpaired surrogate or an odd last byte becomes
// U+FFFD; a byte that is not part of valid UTF-8 is taken as Windows-1252.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
std::string Utf8ToUtf16(std::string_view text, bool bigEndian);
