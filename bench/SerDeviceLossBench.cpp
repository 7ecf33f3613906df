// The longest the GUI thread stalls once the device of an open port is lost: an auto-connect-like sequence of
// line changes, commands and reply waits runs on while the far end of the line goes away.

#include "serial/SerPort.h"

#include "Pty.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

QCoreApplication &App()
{
    static int argc = 1;
    static char name[] = "bench";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

void LongestStallAfterLoss(benchmark::State &state)
{
    App();
    double longestMs = 0;
    for (auto _ : state) {
        testsupport::Pty pty;
        setenv("SERIAL_COM5", pty.devicePath().c_str(), 1);
        TSerCustomComPort port;
        port.SetAutoOpen(false);
        port.SetComNumber(5);
        port.SetOpen(true);

        // The GUI thread's heartbeat: the longest gap between two beats after the loss is the stall.
        std::atomic<Clock::time_point> lost {Clock::time_point {}};
        Clock::time_point lastBeat = Clock::now();
        Clock::duration longest {};
        const auto beatNow = [&] {
            const Clock::time_point now = Clock::now(), lostAt = lost;
            if (lostAt != Clock::time_point {} && now > lostAt)
                longest = std::max(longest, now - std::max(lastBeat, lostAt));
            lastBeat = now;
        };
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, beatNow);
        beat.start(1);
        std::thread unplug([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            lost = Clock::now();
            pty.closeMaster();
        });

        // Until a second after the loss: each setting in turn, its command and a short wait for the reply.
        const int32_t rates[] = {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200, 600, 300};
        const auto running = [&] {
            const Clock::time_point lostAt = lost;
            return lostAt == Clock::time_point {} || Clock::now() - lostAt < std::chrono::seconds(1);
        };
        for (size_t step = 0; running(); ++step) {
            try {
                port.SetBaud(rates[step % 10]);
                port.SetParity(TParity(step / 10 % 3));
                port.PutString("\x1B[C");
                port.WaitForString("\x1BH\r\n", 2, true, true);
            } catch (const std::exception &) {
                // the lost device's error: the sequence goes on as auto-connect does
            }
            QCoreApplication::processEvents();
            beatNow();
        }
        unplug.join();
        longestMs = std::chrono::duration<double, std::milli>(longest).count();
        unsetenv("SERIAL_COM5");
    }
    state.counters["longest_stall_ms"] = longestMs;
}

} // namespace

BENCHMARK(LongestStallAfterLoss)->Iterations(3)->Unit(benchmark::kMillisecond);
