#pragma once
// Platform error numbers of the serial library. The library reports device failures with the numbers the
// callers test (2 not found, 5 access denied for a port in use, ...); Linux errors are mapped onto them.

#include <cstdint>
#include <string>

namespace SerError {
constexpr uint32_t FileNotFound = 2;
constexpr uint32_t PathNotFound = 3;
constexpr uint32_t TooManyOpenFiles = 4;
constexpr uint32_t AccessDenied = 5;        // the port is held by another user
constexpr uint32_t InvalidHandle = 6;
constexpr uint32_t NotEnoughMemory = 8;
constexpr uint32_t GeneralFailure = 31;
constexpr uint32_t PermissionDenied = 65;   // the user may not open the device
constexpr uint32_t InvalidParameter = 87;
} // namespace SerError

// The platform number for a Linux errno value.
uint32_t SerErrorFromErrno(int error);

// The last platform error of the calling thread, as device operations leave it, and what the number alone does
// not tell (why a lock file refused the device); setting the number clears what was said before.
uint32_t SerLastError();
const std::string &SerLastErrorDetail();
void SetSerLastError(uint32_t code, std::string detail = {});

// The system's message for a platform number, with control characters made blanks and no two blanks in a
// row; empty when the number has no message.
std::string SerSystemMessage(uint32_t code);
std::string NormalizeSystemMessage(std::string text);
