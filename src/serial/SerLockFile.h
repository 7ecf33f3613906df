#pragma once
// Lock files that mark a serial device in use among Linux programs: LCK.. and the device's name in the lock
// folder, holding the owner's process id as ten ASCII digits and a newline. Honoured only by programs that
// look for them; the device's own lock (flock) still decides between programs that take it.

#include <sys/types.h>

#include <string>

// The lock folder: /run/lock, or the folder that SERIAL_LOCK_DIR names.
std::string SerLockFolder();

// The live process other than this one whose lock marks the device; 0 when there is none.
pid_t SerLockOwner(const std::string &devicePath);

class TSerLockFile {
public:
    TSerLockFile() = default;
    ~TSerLockFile() { Release(); }
    TSerLockFile(const TSerLockFile &) = delete;
    TSerLockFile &operator=(const TSerLockFile &) = delete;

    // Marks the device as this program's: 0, or the id of the live process whose lock holds it. A lock whose
    // process is gone is removed; one of this program's stays its first opener's. Where the folder cannot be
    // written the device is used without a lock.
    pid_t Acquire(const std::string &devicePath);
    // Removes the lock that Acquire wrote.
    void Release();

private:
    std::string written_;   // the lock file this object wrote; empty when none
};
