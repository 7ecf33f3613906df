#include "DynamicLibrary.h"

#include "Paths.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string LibraryPath(const std::string &name, const std::string &programDir)
{
    if (name.find_first_of("/\\") != std::string::npos) return ResolveCaseInsensitive(name);
    for (const std::string &dir : {programDir, std::string(".")}) {
        const std::string path = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (FileExistsCi(path)) return ResolveCaseInsensitive(path);
    }
    return name;
}

} // namespace

TDynamicLibrary::TDynamicLibrary(const std::string &name, const std::string &programDir)
{
    if (name.empty()) {
        error_ = "No library name";
        errorNumber_ = ENOENT;
        return;
    }
    const std::string path = LibraryPath(name, programDir);
    // A file that is there is opened first, so that a failure names what failed: opening it, or what it holds.
    if (path.find('/') != std::string::npos) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            errorNumber_ = errno;
            error_ = path + ": " + std::strerror(errorNumber_);
            return;
        }
        char mark[2] = {};
        const bool windows = ::read(fd, mark, 2) == 2 && mark[0] == 'M' && mark[1] == 'Z';
        ::close(fd);
        if (windows) {
            errorNumber_ = ENOEXEC;
            error_ = "This is a Windows library; it cannot be loaded here.";
            return;
        }
    }
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        // Not found by the system's search, or found but not a library that loads here.
        errorNumber_ = path.find('/') != std::string::npos ? ENOEXEC : ENOENT;
        const char *why = dlerror();
        error_ = why ? why : "Unable to load " + name;
    }
}

TDynamicLibrary::~TDynamicLibrary()
{
    if (handle_) dlclose(handle_);
}

void *TDynamicLibrary::Symbol(const std::string &name) const
{
    return handle_ && !name.empty() ? dlsym(handle_, name.c_str()) : nullptr;
}
