#pragma once
// Lock files that mark a serial device in use among Linux programs: LCK.. and the device's name in the lock
// folder, holding the owner's process id as ten ASCII digits and a newline. Honoured only by programs that
// look for them; the device's own lock (flock) still decides between programs that take it. The folder is
// writable by every user, so what stands in it is read without following a link or waiting on it.

#include <string>

// The lock folder: /run/lock, or the folder that SERIAL_LOCK_DIR names.
std::string SerLockFolder();

class TSerLockFile {
public:
    TSerLockFile() = default;
    ~TSerLockFile() { Release(); }
    TSerLockFile(const TSerLockFile &) = delete;
    TSerLockFile &operator=(const TSerLockFile &) = delete;

    // Marks the device as this program's. Empty when the device may be used: the lock is written whole at
    // once, or one of this program's stands (it stays its first opener's), or the folder cannot be written
    // (the device is used without a lock). Otherwise why not: the live process whose lock holds the device, or
    // the lock file that cannot be read as a lock (it is left as it is). A lock whose process is gone is removed.
    std::string Acquire(const std::string &devicePath);
    // Removes the lock that Acquire wrote, when it is still this program's.
    void Release();

private:
    std::string written_;   // the lock file this object wrote; empty when none
};
