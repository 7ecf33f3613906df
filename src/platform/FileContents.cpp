#include "FileContents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

std::optional<std::string> ReadFileContents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
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

bool WriteFileAtomically(const std::string &path, std::string_view bytes)
{
    const std::string target = WriteTarget(path);
    if (IsReadOnlyFile(target)) {
        errno = EACCES;
        return false;
    }
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;

    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    ::fchmod(fd, existed ? (st.st_mode & 07777) : 0644);
    if (existed && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only the superuser may hand the file back to another owner; the contents are replaced all the same.
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        std::remove(temp.c_str());
        errno = error;
        return false;
    }
    return true;
}
