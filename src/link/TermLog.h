#pragma once
// The Terminal's log file: either the plain log (every received byte, unchanged) or the extended log (each
// finished display line followed by CR LF), one at a time.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

class TTermLog {
public:
    enum class TKind { None, Plain, Extended };

    TTermLog() = default;
    ~TTermLog();   // closes an open file without reporting
    TTermLog(const TTermLog &) = delete;
    TTermLog &operator=(const TTermLog &) = delete;

    TKind Kind() const { return kind_; }
    bool IsOpen(TKind kind) const { return kind_ == kind && kind != TKind::None; }

    // Creates the file anew; raises when it cannot be created, and no log is open then.
    void Open(TKind kind, const std::string &path);
    // Closes the open log; raises when the file could not be written out, closed all the same.
    void Close();

    // Written at once, so the file always holds everything received so far.
    void ReceivedByte(uint8_t b);
    void LineFinished(const std::string &line);

    // Runs after a write failed; the log is closed by then. It must not raise: writes happen while bytes arrive,
    // also inside other windows' reply waits.
    std::function<void(TKind kind, const std::string &message)> OnWriteError;

private:
    void write(TKind kind, std::string_view bytes);

    std::FILE *file_ = nullptr;
    TKind kind_ = TKind::None;
    std::string path_;
};
