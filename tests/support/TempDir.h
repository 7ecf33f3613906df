#pragma once
// A fresh temporary folder, removed with everything in it when the object goes.

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // The path of a file in the folder.
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    // Writes bytes to a file in the folder and returns its path.
    std::string write(const std::string &name, const std::string &bytes) const;
    // The bytes of a file in the folder ("" when it is missing).
    std::string read(const std::string &name) const;
    // Mounts a file system on the folder, unmounted when the object goes; only the superuser may. False with errno
    // telling why it was refused.
    bool mount(const char *type, const char *options);

private:
    std::filesystem::path path_;
    bool mounted_ = false;
};

// Makes the folder the current directory for its lifetime.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path &dir);
    ~ScopedCwd();

private:
    std::filesystem::path previous_;
};

} // namespace testsupport
