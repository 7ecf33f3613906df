#include "TermLog.h"

#include "platform/FileContents.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

std::string systemError(const std::string &what, const std::string &path, int error)
{
    return what + " " + path + ": " + std::strerror(error);
}

} // namespace

TTermLog::~TTermLog()
{
    if (file_) std::fclose(file_);
}

void TTermLog::Open(TKind kind, const std::string &path)
{
    if (file_) Close();
    if (IsReadOnlyFile(path)) throw std::runtime_error(systemError("Cannot create log file", path, EACCES));
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error(systemError("Cannot create log file", path, errno));
    kind_ = kind;
    path_ = path;
}

void TTermLog::Close()
{
    if (!file_) return;
    std::FILE *file = file_;
    file_ = nullptr;
    kind_ = TKind::None;
    int error = 0;
    if (std::fflush(file) != 0 || std::ferror(file)) error = errno ? errno : EIO;
    if (std::fclose(file) != 0 && !error) error = errno;
    if (error) throw std::runtime_error(systemError("Cannot close log file", path_, error));
}

void TTermLog::ReceivedByte(uint8_t b)
{
    const char c = char(b);
    write(TKind::Plain, std::string_view(&c, 1));
}

void TTermLog::LineFinished(const std::string &line) { write(TKind::Extended, line + "\r\n"); }

void TTermLog::write(TKind kind, std::string_view bytes)
{
    if (!IsOpen(kind)) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() && std::fflush(file_) == 0) return;
    const std::string message = systemError("Cannot write to log file", path_, errno);
    std::fclose(file_);
    file_ = nullptr;
    kind_ = TKind::None;
    if (OnWriteError) OnWriteError(kind, message);
}
