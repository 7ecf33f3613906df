#pragma once
// Port numbers to device paths. SERIAL_COM<n> names the device of COM n; otherwise COM1-16 are
// /dev/ttyS0-15, COM17-32 /dev/ttyUSB0-15 and COM33-48 /dev/ttyACM0-15, unless SERIAL_NO_DEFAULT_PORTS=1.

#include <string>

// The device path of a port number; empty when the number has none.
std::string SerDevicePath(int comNumber);

// The port as the user knows it: "COM17, /dev/ttyUSB0", or "COM17" when the number names no device.
std::string SerPortName(int comNumber);

// The group that owns the device node; empty when the node cannot be looked at.
std::string SerDeviceGroup(const std::string &path);

// The stable name of the device (its link in the folder of stable names), or empty when it has none.
std::string SerStableName(const std::string &path);
