#include "SerErrno.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

thread_local uint32_t lastError = 0;
thread_local std::string lastErrorDetail;

// The errno value whose text stands for a platform number.
int ErrnoForCode(uint32_t code)
{
    switch (code) {
    case SerError::FileNotFound: return ENOENT;
    case SerError::PathNotFound: return ENOTDIR;
    case SerError::TooManyOpenFiles: return EMFILE;
    case SerError::AccessDenied: return EBUSY;
    case SerError::InvalidHandle: return EBADF;
    case SerError::NotEnoughMemory: return ENOMEM;
    case SerError::GeneralFailure: return EIO;
    case SerError::PermissionDenied: return EACCES;
    case SerError::InvalidParameter: return EINVAL;
    default: return 0;
    }
}

} // namespace

uint32_t SerErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTTY: return SerError::FileNotFound;
    case ENOTDIR:
    case ELOOP: return SerError::PathNotFound;
    case EMFILE:
    case ENFILE: return SerError::TooManyOpenFiles;
    case EBUSY:
    case EWOULDBLOCK: return SerError::AccessDenied;
    case EACCES:
    case EPERM: return SerError::PermissionDenied;
    case EBADF: return SerError::InvalidHandle;
    case ENOMEM: return SerError::NotEnoughMemory;
    case EINVAL: return SerError::InvalidParameter;
    default: return SerError::GeneralFailure;
    }
}

uint32_t SerLastError()
{
    return lastError;
}

const std::string &SerLastErrorDetail()
{
    return lastErrorDetail;
}

void SetSerLastError(uint32_t code, std::string detail)
{
    lastError = code;
    lastErrorDetail = std::move(detail);
}

std::string NormalizeSystemMessage(std::string text)
{
    text = text.substr(0, 255);
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    for (size_t at = text.find("  "); at != std::string::npos; at = text.find("  "))
        text.erase(at, 1);
    return text;
}

std::string SerSystemMessage(uint32_t code)
{
    const int error = ErrnoForCode(code);
    if (error == 0)
        return {};
    char buffer[256];
    return NormalizeSystemMessage(strerror_r(error, buffer, sizeof buffer));
}
