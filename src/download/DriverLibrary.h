#pragma once
// A shared library loaded for as long as the object lives.

#include <string>

class TDriverLibrary {
public:
    // A name with a separator is used as written; a bare name is looked for in the library's program
    // directory, then in the current directory, each without regard to case, and last by the system's search.
    explicit TDriverLibrary(const std::string &name);
    ~TDriverLibrary();
    TDriverLibrary(const TDriverLibrary &) = delete;
    TDriverLibrary &operator=(const TDriverLibrary &) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // The exported symbol, or nullptr when there is none (or no name).
    void *Symbol(const std::string &name) const;

private:
    void *handle_;
};
