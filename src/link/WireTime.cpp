#include "WireTime.h"

#include "serial/SerMisc.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMsPerTick = 55;
}

int BitsPerChar(uint16_t dataBits, TParity parity, uint16_t stopBits)
{
    return 1 + dataBits + (parity == TParity::pNone ? 0 : 1) + stopBits;
}

void TWireTime::Sent(std::size_t count, int32_t baud, int bitsPerChar)
{
    if (baud <= 0) return;
    const double now = double(SerMsCount());
    freeAtMs_ = std::max(freeAtMs_, now) + double(count) * bitsPerChar * 1000.0 / baud;
}

double TWireTime::RemainingMs() const
{
    return std::max(0.0, freeAtMs_ - double(SerMsCount()));
}

int32_t TWireTime::RemainingTicks() const
{
    return int32_t(std::ceil(RemainingMs() / kMsPerTick));
}
