#include "FileContents.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// The bytes of an open file from its start; nothing when a read fails.
std::optional<std::string> readAll(int fd)
{
    std::string bytes;
    char chunk[65536];
    while (true) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, off_t(bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        bytes.append(chunk, std::size_t(n));
    }
}

} // namespace

std::optional<std::string> ReadFileContents(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> bytes = readAll(fd);
    ::close(fd);
    return bytes;
}

std::string WriteTarget(const std::string &path)
{
    constexpr int kMaxLinks = 40;   // as the kernel allows, so a loop of links ends
    fs::path target = path;
    std::error_code ec;
    for (int i = 0; i < kMaxLinks && fs::is_symlink(fs::symlink_status(target, ec)); ++i) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

bool IsReadOnlyFile(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

namespace {

bool writeAll(int fd, std::string_view bytes, off_t at = 0)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

// Flushes and closes `fd`; false with errno set when that or the writing before it (`written`) failed.
bool finish(int fd, bool written)
{
    int error = written ? 0 : (errno ? errno : EIO);
    if (::fsync(fd) != 0 && !error) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (error) errno = error;
    return error == 0;
}

constexpr std::string_view kTemporarySuffix = ".tmp";

// A new file beside `target` that no one else has opened, created as any new file is (mode 0666 less the umask).
// Its name is the target's, a dot, this process's id, "-", a number and ".tmp".
int createTemporary(const std::string &target, std::string &name)
{
    static std::atomic<unsigned> counter {0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        name += kTemporarySuffix;
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The replacement takes the old file's group, then its owner (which only the superuser may give away), then its
// mode: a change of owner or group clears the set-id bits. A group that this user does not belong to cannot be
// kept; the contents are replaced all the same.
void takeOwnershipAndMode(int fd, const struct stat &old)
{
    int ignored = ::fchown(fd, uid_t(-1), old.st_gid);
    ignored = ::fchown(fd, old.st_uid, gid_t(-1));
    (void)ignored;
    ::fchmod(fd, old.st_mode & 07777);
}

// Takes room for `bytes` in a file of `oldSize` bytes without changing what it holds; where the file system cannot
// reserve room, the part past the old end is written first, at that end.
bool makeRoom(int fd, std::string_view bytes, std::size_t oldSize)
{
    if (bytes.size() <= oldSize) return true;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) == 0) return true;
    return errno == EOPNOTSUPP && writeAll(fd, bytes.substr(oldSize), off_t(oldSize));
}

// Rewrites the file itself, for a file that may be written in a folder that may not. When the rewrite fails, the
// old bytes and size are put back and errno tells why it failed.
bool rewriteInPlace(const std::string &target, std::string_view bytes)
{
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const std::optional<std::string> old = readAll(fd);
    if (!old) return finish(fd, false);
    const bool ok = makeRoom(fd, bytes, old->size()) && writeAll(fd, bytes) &&
                    ::ftruncate(fd, off_t(bytes.size())) == 0;
    if (!ok) {
        const int error = errno ? errno : EIO;
        if (writeAll(fd, *old)) ::ftruncate(fd, off_t(old->size()));
        errno = error;
    }
    return finish(fd, ok);
}

bool writeWhole(const std::string &path, std::string_view bytes, const std::function<bool(int)> &beforeRename,
                bool mayRewriteInPlace)
{
    const std::string target = WriteTarget(path);
    if (IsReadOnlyFile(target)) {
        errno = EACCES;
        return false;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    std::string temp;
    const int fd = createTemporary(target, temp);
    if (fd < 0) {
        const int error = errno;
        if (mayRewriteInPlace && existed && (error == EACCES || error == EPERM) && ::access(target.c_str(), W_OK) == 0)
            return rewriteInPlace(target, bytes);
        errno = error;
        return false;
    }
    bool ok = writeAll(fd, bytes);
    if (existed) takeOwnershipAndMode(fd, old);
    ok = ok && beforeRename(fd);
    ok = finish(fd, ok);
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        std::remove(temp.c_str());
        errno = error;
        return false;
    }
    return true;
}

} // namespace

bool ReplaceFile(const std::string &path, std::string_view bytes, const std::function<bool(int)> &beforeRename)
{
    return writeWhole(path, bytes, beforeRename, false);
}

bool WriteFileAtomically(const std::string &path, std::string_view bytes)
{
    return writeWhole(path, bytes, [](int) { return true; }, true);
}

void RemoveAbandonedTemporaries(const std::string &path)
{
    const fs::path target = WriteTarget(path);
    const std::string prefix = target.filename().string() + ".";
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(kTemporarySuffix)) continue;
        // The part between is "<process id>-<number>".
        const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - kTemporarySuffix.size());
        const std::size_t dash = middle.find('-');
        if (dash == 0 || dash > 9 || middle.find_first_not_of("0123456789-") != std::string::npos) continue;
        if (::kill(pid_t(std::stol(middle.substr(0, dash))), 0) != 0 && errno == ESRCH) fs::remove(entry.path(), ec);
    }
}
