#pragma once
// A shared library loaded for as long as the object lives.

#include <string>

class TDynamicLibrary {
public:
    // A name with a separator is used as written (resolved without regard to case); a bare name is looked for in
    // `programDir`, then in the current directory, each without regard to case, and last by the system's search.
    TDynamicLibrary(const std::string &name, const std::string &programDir);
    ~TDynamicLibrary();
    TDynamicLibrary(const TDynamicLibrary &) = delete;
    TDynamicLibrary &operator=(const TDynamicLibrary &) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // Why loading failed (empty when it did not) and the error number of what failed: opening the file (ENOENT
    // when it is not there), or ENOEXEC for a file that is no library for this system, a Windows library included.
    const std::string &Error() const { return error_; }
    int ErrorNumber() const { return errorNumber_; }
    // The exported symbol, or nullptr when there is none (or no name).
    void *Symbol(const std::string &name) const;

private:
    void *handle_ = nullptr;
    std::string error_;
    int errorNumber_ = 0;
};
