#pragma once
// When the bytes handed to a serial port can have left it. A driver's queue reports empty long before that
// on USB adapters and pseudo-terminals, so a reply wait counts its time-out from the end of the wire time.

#include "serial/SerPort.h"

#include <cstddef>
#include <cstdint>

// The bits one character takes on the line: a start bit, the data bits, a parity bit unless none, the stop bits.
int BitsPerChar(uint16_t dataBits, TParity parity, uint16_t stopBits);

class TWireTime {
public:
    // `count` bytes handed to the port now, on a line of `baud` with `bitsPerChar` bits a character; they
    // follow whatever is still on the wire.
    void Sent(std::size_t count, int32_t baud, int bitsPerChar);
    // Milliseconds from now until the bytes sent so far can have left.
    double RemainingMs() const;
    // The same in ticks of 55 ms, rounded up.
    int32_t RemainingTicks() const;

private:
    double freeAtMs_ = 0;   // on the clock of SerMsCount
};
