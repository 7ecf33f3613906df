#include "DynamicLibrary.h"

#include "Paths.h"

#include <dlfcn.h>

#include <cerrno>

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
    errno = 0;
    handle_ = dlopen(LibraryPath(name, programDir).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        errorNumber_ = errno ? errno : ENOEXEC;
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
