#pragma once
// What the kernel's tty drivers answer about a device node: which driver serves it, the UART a serial-core
// driver found, and the line settings the driver really carries. The library asks the running kernel; tests
// put a driver of their own in its place, to answer over a pseudo-terminal as an adapter or a UART would.

#include "SerLine.h"

#include <sys/types.h>

#include <cstdint>
#include <string>

class TSerTtyDriver {
public:
    virtual ~TSerTtyDriver() = default;

    // The name of the driver behind the open node, as sysfs gives it ("serial8250", "ftdi_sio", "cdc_acm");
    // empty for a pseudo-terminal or when it cannot be found.
    virtual std::string DriverName(int fd);
    // The UART type the driver reports for the node (0: none, the slot is empty); -1 when it does not say.
    virtual int UartType(int fd);
    // Whether the node is a pseudo-terminal's slave, which carries what it can of the line settings (8 data bits,
    // no parity) without complaint.
    virtual bool PseudoTerminal(dev_t node);
    // Line settings written to the driver and read back from it; 0 or the negated platform error.
    virtual int WriteSettings(int fd, const TSerLineSettings &settings);
    virtual int ReadSettings(int fd, TSerLineSettings &settings);
    // The bytes the driver holds for output that have not left on the line yet.
    virtual uint32_t OutQueue(int fd);
    // Discards the bytes the driver holds for output; 0 or the negated error.
    virtual int FlushOutput(int fd);
    // The folder of the stable names of serial devices: symbolic links to their nodes.
    virtual std::string StableNameFolder();
    // Where the kernel's device attributes are mounted.
    virtual std::string SysfsRoot();

    // Whether the node is a serial device, told without touching its settings or modem lines: from sysfs where
    // the node has a device there (a serial-core slot with UART type 0 is empty), a pseudo-terminal's slave
    // from its node alone, else from an open that changes nothing. A node that exists but is held or forbidden
    // counts as present.
    bool NodePresent(const std::string &path);
};

// The driver answers in use.
TSerTtyDriver &SerTtyDriver();
// Puts `driver` in place of the kernel's answers; nullptr puts the kernel back. The caller keeps it alive.
void SetSerTtyDriver(TSerTtyDriver *driver);

// Whether the driver is the serial core's, where a node without a UART is an empty slot, not a device.
bool IsUartDriver(const std::string &driverName);
// Whether the open node is a serial-core slot without a UART.
bool EmptyUartSlot(TSerTtyDriver &driver, int fd);
