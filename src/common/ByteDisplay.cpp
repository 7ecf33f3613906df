#include "ByteDisplay.h"

#include "BsTypes.h"
#include "platform/Text.h"

const std::array<std::string_view, 33> ControlCharNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",  "Space",
};

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string BytesToDisplay(std::string_view bytes, std::string_view spaceText)
{
    const std::string space = spaceText.empty() ? std::string(1, '\xB7') : Cut(spaceText, 10);
    std::string out;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 32)
            out += "<" + std::string(ControlCharNames[b]) + ">";
        else if (b == 32)
            out += space;
        else if (b < 127)
            out += c;
        else if (b == 127)
            out += "<DEL>";
        else
            out += std::string("<$") + kHexDigits[b >> 4] + kHexDigits[b & 15] + ">";
        if (out.size() >= kShortMax) return Cut(out, kShortMax);
    }
    return out;
}

std::string HexToBytes(std::string_view hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        int hi = hexValue(hex[i]), lo = hexValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            throw HexConvertError("'" + std::string(hex.substr(i, 2)) + "' is not a valid hexadecimal byte in '" +
                                  std::string(hex) + "'");
        out += char(hi * 16 + lo);
    }
    return Cut(out, kShortMax);
}

std::string BytesToHex(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 15];
    }
    return out;
}
