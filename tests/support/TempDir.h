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

private:
    std::filesystem::path path_;
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
