#include "SerLockFile.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr int CreateAttempts = 2;   // a stale lock removed, then one more try

// The lock file of a device: named after the node the path leads to, so that every name of it shares one lock.
std::string LockPath(const std::string &devicePath)
{
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(devicePath, error);
    if (error)
        return {};
    return SerLockFolder() + "/LCK.." + node.filename().string();
}

// The process id a lock file holds; 0 when it holds none.
pid_t ReadOwner(const std::string &lockPath)
{
    const int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return 0;
    char *end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid_t(pid) : 0;
}

bool Alive(pid_t pid)
{
    return kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

std::string SerLockFolder()
{
    const char *folder = std::getenv("SERIAL_LOCK_DIR");
    return folder && *folder ? folder : "/run/lock";
}

pid_t SerLockOwner(const std::string &devicePath)
{
    const std::string lockPath = LockPath(devicePath);
    const pid_t owner = lockPath.empty() ? 0 : ReadOwner(lockPath);
    return owner != 0 && owner != getpid() && Alive(owner) ? owner : 0;
}

pid_t TSerLockFile::Acquire(const std::string &devicePath)
{
    Release();
    const std::string lockPath = LockPath(devicePath);
    if (lockPath.empty())
        return 0;   // no such device: its open says so
    for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
        const int fd = open(lockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
            const bool written = write(fd, text, size_t(length)) == length;
            close(fd);
            if (written)
                written_ = lockPath;
            else
                unlink(lockPath.c_str());
            return 0;
        }
        if (errno != EEXIST)
            return 0;   // the folder is not ours to write
        const pid_t owner = ReadOwner(lockPath);
        if (owner == getpid())
            return 0;
        if (owner != 0 && Alive(owner))
            return owner;
        unlink(lockPath.c_str());
    }
    return 0;
}

void TSerLockFile::Release()
{
    if (written_.empty())
        return;
    if (ReadOwner(written_) == getpid())
        unlink(written_.c_str());
    written_.clear();
}
