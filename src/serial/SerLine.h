#pragma once
// Line settings of a serial device, as the dispatcher keeps and applies them.

#include <cstdint>

enum class TSerDtrControl : uint8_t { Disable, Enable, Handshake };
enum class TSerRtsControl : uint8_t { Disable, Enable, Handshake, Toggle };

struct TSerLineSettings {
    uint32_t BaudRate = 115200;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0;   // 0 one, 1 one and a half, 2 two
    bool OutxCtsFlow = false;
    bool OutxDsrFlow = false;
    TSerDtrControl DtrControl = TSerDtrControl::Enable;
    TSerRtsControl RtsControl = TSerRtsControl::Enable;
    bool OutX = false;      // XON/XOFF on output
    bool InX = false;       // XON/XOFF on input
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    char XonChar = 17;
    char XoffChar = 19;

    friend bool operator==(const TSerLineSettings &, const TSerLineSettings &) = default;
};
