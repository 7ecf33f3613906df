#pragma once
// Linux tty primitives under the dispatcher. Failures leave the platform error number in SerLastError()
// and give -1, or give the negated number where stated.

#include "SerLine.h"

#include <cstdint>
#include <string>

// Opens a tty for exclusive use: non-blocking, not as controlling terminal, locked with flock, in raw mode.
// A path that is not a tty, or a UART slot without a UART, counts as not found. The driver answers come from
// SerTtyDriver().
int TtyOpen(const std::string &path);
void TtyClose(int fd);

// 0 or the negated platform error.
int TtyReadSettings(int fd, TSerLineSettings &settings);
int TtyWriteSettings(int fd, const TSerLineSettings &settings);

// The termios control and input flags that settings give (on a cleared termios), for inspection.
uint32_t TtyControlFlags(const TSerLineSettings &settings);
uint32_t TtyInputFlags(const TSerLineSettings &settings);

void TtySetDtr(int fd, bool on);
void TtySetRts(int fd, bool on);
// Modem status in the layout of a 16550 modem status register (bits 4-7: CTS, DSR, RI, DCD); 0 when the
// device has no modem lines.
uint8_t TtyModemStatus(int fd);

// Line-event counters of the driver; false when the driver keeps none.
struct TTtyCounters {
    uint32_t bufOverrun = 0, overrun = 0, parity = 0, frame = 0, brk = 0, ring = 0;
};
bool TtyReadCounters(int fd, TTtyCounters &counters);
// Line-error bits (1 receive overflow, 2 overrun, 4 parity, 8 framing, 16 break) between two readings.
uint32_t TtyCounterErrors(const TTtyCounters &before, const TTtyCounters &after);

uint32_t TtyInQueue(int fd);
uint32_t TtyOutQueue(int fd);
// Discards pending input or output of the driver; 0 or the negated platform error.
int TtyFlush(int fd, bool input);
// Lets the driver switch RTS for sending, where it can.
void TtySetRs485(int fd, bool on);
