#pragma once
// Sets a flag for the lifetime of a scope and clears it when the scope ends, whichever way it ends.

class ScopedFlag {
public:
    explicit ScopedFlag(bool &flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag &) = delete;
    ScopedFlag &operator=(const ScopedFlag &) = delete;

private:
    bool &flag_;
};
