#pragma once
// Readable display of reader byte strings and hexadecimal byte text.

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

// Names of the bytes 0..32: "NUL" ... "US", then "Space".
extern const std::array<std::string_view, 33> ControlCharNames;

// Control bytes as "<NAME>", 127 as "<DEL>", bytes from 128 as "<$HH>", the blank as `spaceText` (cut to 10;
// an empty one shows a middle dot, byte B7h). The result is cut to 255 characters.
std::string BytesToDisplay(std::string_view bytes, std::string_view spaceText);

class HexConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Pairs of hex digits, either case, become bytes; an odd last digit is ignored. Raises HexConvertError when a pair
// holds anything else. The result is cut to 255 bytes.
std::string HexToBytes(std::string_view hex);
// Two upper-case hex digits per byte.
std::string BytesToHex(std::string_view bytes);
