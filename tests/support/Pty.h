#pragma once
// A pseudo-terminal pair for serial tests: the program opens devicePath() as its port, the test or a
// simulator talks through the master side.

#include <chrono>
#include <string>

namespace testsupport {

class Pty {
public:
    // Whether the slave side is held from the start; a virtual serial port's maker holds only the master.
    enum class Slave { Held, NeverOpened };

    explicit Pty(Slave slave = Slave::Held);   // throws std::runtime_error when no pty can be opened
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    const std::string &devicePath() const { return path_; }
    int masterFd() const { return master_; }

    // Writes all bytes to the master side.
    void write(const std::string &bytes);
    // Reads what arrives within the time-out; stops early once `atLeast` bytes are in.
    std::string read(std::chrono::milliseconds timeout, size_t atLeast = SIZE_MAX);
    // Reads until `expected` has arrived or the time-out passes; returns everything read.
    std::string readUntil(const std::string &expected, std::chrono::milliseconds timeout);

    // Closes the master side, so that the device side sees a hang-up.
    void closeMaster();
    // Whether the master side has seen the last close of the slave side since it was last opened.
    bool masterHungUp() const;

private:
    int master_ = -1;
    int slaveKeeper_ = -1;       // keeps the slave side alive while the program reopens it
    std::string path_;
};

} // namespace testsupport
