#pragma once
// What the loader protocols share with the rest of the download library: the block images, the speed
// commands of the MTR loader, the result codes and their log lines, and the abort of a running download.

#include <cstdint>
#include <istream>
#include <string>

constexpr int32_t BlockSize = 16384;

// The blocks a protocol sends: first to first + count - 1, without `skipped` (-1 for none). Progress counts
// from the first block, with all count blocks making 100%.
struct TBlockPlan {
    int first;
    int count;
    int skipped;
    const char *protocol;   // its name in messages
};
constexpr TBlockPlan BlockProtocolPlan {0, 8, 3, "the block protocol"};
constexpr TBlockPlan MtrProtocolPlan {4, 24, -1, "the MTR protocol"};

// The bytes of the plan's blocks, the skipped one included, block b at (b - first) x BlockSize: the program file
// `name` is read whole before anything goes to the loader. Raises "Read beyond end of file" with the file's name,
// its size and the size the protocol needs for a file that ends before the plan's last block does, and the
// system's text for a read that fails.
std::string ReadImage(std::istream &file, const std::string &name, const TBlockPlan &plan);

namespace DownloadResult {
constexpr int32_t Ok = 0;
constexpr int32_t CannotOpenFile = 1;
constexpr int32_t Failed = 4;
constexpr int32_t Aborted = 5;
constexpr int32_t CannotLoadDriver = 101;
constexpr int32_t CannotCallDriver = 102;
}

// The log line of a result code; `driver` is the driver library's file name.
std::string ResultLine(int32_t code, const std::string &driver);

// The command that switches the MTR loader to the baud rate; empty for a rate it does not know.
std::string SpeedCommand(int32_t baud);

// "Downloading NAME..." for the file's name without its path: the log line and the progress caption.
std::string DownloadingText(const std::string &fileName);

// True when the device's driver name selects the built-in MTR protocol.
bool IsMtrDriver(const std::string &driver);

// What the progress window's Abort button calls: the built-in protocols' abort or a driver's abort function;
// nullptr when the running download cannot be aborted.
using TAbortProc = void (*)();
extern TAbortProc AbortHook;

// Set by AbortBuiltIn, the abort hook of the built-in protocols; they stop after the current block.
extern bool DownloadAborted;
void AbortBuiltIn();
