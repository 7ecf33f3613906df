// CPU time an open port with no traffic uses: its three threads should sleep, not poll busily.

#include "serial/SerTtyDispatcher.h"

#include "Pty.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

double ProcessCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

void IdleOpenPort(benchmark::State &state)
{
    testsupport::Pty pty;
    TSerWin32Dispatcher port(nullptr);
    TSerOpenParams params;
    params.DeviceName = pty.devicePath();
    if (port.OpenPort(params) != 0) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    double cpuMs = 0;
    for (auto _ : state) {
        const double before = ProcessCpuMs();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        cpuMs = ProcessCpuMs() - before;
    }
    state.counters["cpu_ms_in_5s"] = cpuMs;
    state.counters["cpu_percent"] = cpuMs / 50.0;
}

} // namespace

BENCHMARK(IdleOpenPort)->Iterations(1)->Unit(benchmark::kSecond);
