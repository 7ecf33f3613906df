#include "SerLockFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

namespace {

constexpr int TakeAttempts = 8;          // stale locks removed, or other removers waited for, between tries
constexpr auto RemoverPause = std::chrono::milliseconds(2);
constexpr ssize_t LockTextMax = 64;      // ten digits and a newline; some programs add their name
constexpr time_t EmptyLockStaleSeconds = 10;   // a program of the old style writes its id right after creating

// The lock file of a device: named after the node the path leads to, so that every name of it shares one lock.
std::string LockPath(const std::string &devicePath)
{
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(devicePath, error);
    if (error)
        return {};
    return SerLockFolder() + "/LCK.." + node.filename().string();
}

std::string ErrnoText(int error)
{
    return std::system_category().message(error);
}

bool Alive(pid_t pid)
{
    return kill(pid, 0) == 0 || errno == EPERM;
}

// This process's id in a file of its own in the lock folder, ready to be linked to a lock's name, so that a
// lock never stands without its owner. Removed with the object.
class TPreparedLock {
public:
    TPreparedLock()
    {
        std::string name = SerLockFolder() + "/LTMP.XXXXXX";
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return;
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
        const bool written = fchmod(fd, 0644) == 0 && write(fd, text, size_t(length)) == length;
        close(fd);
        if (written)
            path_ = name;
        else
            unlink(name.c_str());
    }
    ~TPreparedLock()
    {
        if (!path_.empty())
            unlink(path_.c_str());
    }
    TPreparedLock(const TPreparedLock &) = delete;
    TPreparedLock &operator=(const TPreparedLock &) = delete;

    // False when the folder cannot be written.
    bool Ready() const { return !path_.empty(); }
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

// What stands at a lock's name, opened without following a link and without waiting on it, read only when it
// is a regular file and only as far as a lock goes.
class TStandingLock {
public:
    explicit TStandingLock(const std::string &path) : path_(path)
    {
        fd_ = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            exists_ = errno != ENOENT;
            problem_ = errno == ELOOP ? "is a symbolic link" : "cannot be read: " + ErrnoText(errno);
            return;
        }
        struct stat file {};
        if (fstat(fd_, &file) != 0 || !S_ISREG(file.st_mode)) {
            problem_ = "is not a regular file";
            return;
        }
        char text[LockTextMax + 1] = {};
        const ssize_t length = read(fd_, text, LockTextMax);
        if (length < 0) {
            problem_ = "cannot be read: " + ErrnoText(errno);
        } else if (length == 0) {
            problem_ = "is empty: its process id may still be being written";
            emptyTooLong_ = std::time(nullptr) - file.st_mtime > EmptyLockStaleSeconds;
        } else {
            char *end = nullptr;
            const long pid = std::strtol(text, &end, 10);
            if (end != text && pid > 0 && pid <= INT_MAX)
                owner_ = pid_t(pid);
            else
                problem_ = "holds no process id";
        }
    }
    ~TStandingLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    TStandingLock(const TStandingLock &) = delete;
    TStandingLock &operator=(const TStandingLock &) = delete;

    bool Exists() const { return exists_; }
    // The process id the lock holds; 0 when it cannot be read as a lock, and Problem says why.
    pid_t Owner() const { return owner_; }
    const std::string &Problem() const { return problem_; }
    // Its process has ended, or it has stayed empty far longer than a program takes to write its id.
    bool Stale() const { return owner_ != 0 ? !Alive(owner_) : emptyTooLong_; }

    // Removes the lock when the name still holds it: every remover takes the file's flock first, so none removes
    // a lock that another put there meanwhile. Empty, or why it could not be removed.
    std::string Remove() const
    {
        if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            std::this_thread::sleep_for(RemoverPause);   // another program is removing it
            return {};
        }
        struct stat opened {}, named {};
        if (fstat(fd_, &opened) != 0 || lstat(path_.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
            opened.st_ino != named.st_ino)
            return {};
        return unlink(path_.c_str()) == 0 || errno == ENOENT ? std::string() : ErrnoText(errno);
    }

private:
    std::string path_;
    int fd_ = -1;
    bool exists_ = true;
    pid_t owner_ = 0;
    bool emptyTooLong_ = false;
    std::string problem_;
};

} // namespace

std::string SerLockFolder()
{
    const char *folder = std::getenv("SERIAL_LOCK_DIR");
    return folder && *folder ? folder : "/run/lock";
}

std::string TSerLockFile::Acquire(const std::string &devicePath)
{
    Release();
    const std::string lockPath = LockPath(devicePath);
    if (lockPath.empty())
        return {};   // no such device: its open says so
    const TPreparedLock prepared;
    bool canWrite = prepared.Ready();
    for (int attempt = 0; attempt < TakeAttempts; ++attempt) {
        if (canWrite) {
            if (link(prepared.Path().c_str(), lockPath.c_str()) == 0) {
                written_ = lockPath;
                return {};
            }
            canWrite = errno == EEXIST;   // otherwise the folder takes no lock
        }
        const TStandingLock standing(lockPath);
        if (!standing.Exists()) {
            if (!canWrite)
                return {};
            continue;
        }
        const pid_t owner = standing.Owner();
        if (owner == getpid())
            return {};
        if (!standing.Stale()) {
            if (owner != 0)
                return "locked by process " + std::to_string(owner);
            return "the lock file " + lockPath + " " + standing.Problem() + "; remove it if no program uses the device";
        }
        if (!canWrite)
            return {};   // a stale lock this program cannot replace: the device is used without one
        if (const std::string failure = standing.Remove(); !failure.empty())
            return "the lock file " + lockPath + " of an ended program cannot be removed: " + failure;
    }
    return "the lock file " + lockPath + " could not be taken: other programs kept changing it";
}

void TSerLockFile::Release()
{
    if (written_.empty())
        return;
    if (TStandingLock(written_).Owner() == getpid())
        unlink(written_.c_str());
    written_.clear();
}
