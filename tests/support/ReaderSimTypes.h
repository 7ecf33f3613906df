#pragma once
// Value types of the reader simulator: line settings, parsed items and the transcript entries.

#include <chrono>
#include <functional>
#include <string>

namespace testsupport {

using SimClock = std::chrono::steady_clock;

// Serial line settings; parity is one of 'N', 'O', 'E', 'M', 'S'.
struct LineSettings {
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;

    bool operator==(const LineSettings &) const = default;
    std::string toString() const;   // "19200 E71"
};

// Returns the host port's current line settings; sampled whenever bytes arrive.
using LineProbe = std::function<LineSettings()>;

enum class ReaderState { Normal, Host, Program };

// What the simulator made of received bytes.
enum class SimKind {
    Enter,
    Exit,
    ProgramMode,
    Dump,
    Identify,
    RestoreDefaults,
    SaveEeprom,
    SaveRam,
    Custom,
    Record,
    RecordOutsideProgram,
    Unparsed,   // bytes that form no command or record, and partial input that went stale
    Noise,      // bytes received while the host's line settings differ from the reader's
};

const char *toString(SimKind kind);
const char *toString(ReaderState state);

// Bytes as hex pairs separated by blanks: "1B 5B 43".
std::string toHex(const std::string &bytes);

struct SimItem {
    SimClock::time_point time;
    SimKind kind;
    std::string bytes;
};

struct ReceivedChunk {
    SimClock::time_point time;
    LineSettings line;       // the host's line when the bytes were read
    bool understood;
    std::string bytes;
};

struct SentChunk {
    SimClock::time_point time;
    std::string bytes;
};

// Bytes the reader sends once `due` has come.
struct ReaderOutput {
    SimClock::time_point due;
    std::string bytes;
};

} // namespace testsupport
