// How long sending a configuration of 500 records at 9600 baud takes against the time its bytes need on the
// wire: the reader on the other end takes them at the line's rate, and its save reply ends the send. The send
// should stay within a few percent of the wire time.

#include "Pty.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "TempDir.h"
#include "link/ReaderLink.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace {

constexpr int kRecords = 500;
constexpr int kBaud = 9600;

void SendFiveHundredRecordsAt9600(benchmark::State &state)
{
    testsupport::Pty pty;
    testsupport::TempDir dir;
    setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
    setenv("SERIAL_COM1", pty.devicePath().c_str(), 1);
    dir.write("CORVANE.INI", "[Port]\nPort=1\nBaud=9600\nParity=0\nData=8\nStop=1\n");
    Settings = TCVSetup {};
    SetDefaultHostCommands();
    ExeDir = dir.path().string();
    IniFileName = "CORVANE.INI";
    ReadSettings();

    testsupport::ReaderSim sim;
    sim.setWireTime(true);
    testsupport::ReaderSimGuiDriver driver(sim, pty.masterFd());
    TCommDM link;
    std::vector<std::string> records;
    for (int i = 0; i < kRecords; ++i)
        records.push_back(testsupport::readerRecord(std::string {char('A' + i / 26), char('a' + i % 26)}, uint8_t(i % 64)));
    if (!link.EnterHostMode()) {
        state.SkipWithError("the reader did not enter host mode");
        return;
    }
    // What goes on the wire: the program-mode command, the records, the save command, at 10 bits a byte.
    const double wireSeconds = double(3 + 4 * kRecords + 4) * 10 / kBaud;
    double sendSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!link.SendConfig(records, false)) {
            state.SkipWithError("the send failed");
            return;
        }
        sendSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["send_s"] = sendSeconds;
    state.counters["wire_s"] = wireSeconds;
    state.counters["send_over_wire_percent"] = (sendSeconds / wireSeconds - 1) * 100;
    link.ExitHostMode();
}

} // namespace

BENCHMARK(SendFiveHundredRecordsAt9600)->Iterations(3)->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
