#pragma once
// Another program on a serial device: a child process that holds the node open in canonical mode with echo,
// as a terminal program does, and a snapshot of what such a program would see change on its line.

#include <sys/types.h>

#include <string>

namespace testsupport {

// The settings and modem lines of a tty, as any process holding it sees them.
struct TtyLineState {
    unsigned inputFlags = 0, outputFlags = 0, controlFlags = 0, localFlags = 0;
    std::string controlChars;
    unsigned inputSpeed = 0, outputSpeed = 0;
    int modemBits = 0;
    int modemError = 0;    // errno of the modem-line read (a pseudo-terminal has no modem lines)

    bool operator==(const TtyLineState &) const = default;
};

// Reads the state without changing it; throws std::runtime_error when the node cannot be read.
TtyLineState ReadLineState(const std::string &path);

class ForeignTerminal {
public:
    explicit ForeignTerminal(const std::string &path);   // returns once the child holds the line
    ~ForeignTerminal();
    ForeignTerminal(const ForeignTerminal &) = delete;
    ForeignTerminal &operator=(const ForeignTerminal &) = delete;

private:
    pid_t child_ = -1;
};

} // namespace testsupport
