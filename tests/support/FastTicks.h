#pragma once

#include "serial/SerMisc.h"

#include <chrono>
#include <cstdint>

// Runs the serial library's tick clock faster, for tests of long time-outs.
class FastTicks {
public:
    explicit FastTicks(int factor)
    {
        Factor() = factor;
        Base() = Real();
        SetSerMsClock(&Now);
    }
    ~FastTicks() { SetSerMsClock(nullptr); }
    FastTicks(const FastTicks &) = delete;
    FastTicks &operator=(const FastTicks &) = delete;

private:
    static int64_t Real()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    static int64_t Now() { return Base() + (Real() - Base()) * Factor(); }
    static int &Factor()
    {
        static int factor = 1;
        return factor;
    }
    static int64_t &Base()
    {
        static int64_t base = 0;
        return base;
    }
};
