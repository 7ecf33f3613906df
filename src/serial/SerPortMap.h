#pragma once
// Port numbers to device paths. SERIAL_COM<n> names the device of COM n; otherwise COM1-16 are
// /dev/ttyS0-15, COM17-32 /dev/ttyUSB0-15 and COM33-48 /dev/ttyACM0-15, unless SERIAL_NO_DEFAULT_PORTS=1.

#include <string>

// The device path of a port number; empty when the number has none.
std::string SerDevicePath(int comNumber);
