#pragma once
// The edition this program is built as: 0 here. Edition 2 speaks of a "Reader" where others say "Device".

#include <cstdint>

constexpr uint8_t EditionCode = 0;

inline const char *DeviceWord() { return EditionCode == 2 ? "Reader" : "Device"; }
