#include "DriverLibrary.h"

#include "TRSBase.h"
#include "platform/Paths.h"

#include <dlfcn.h>

namespace {

std::string LibraryPath(const std::string &name)
{
    if (name.find_first_of("/\\") != std::string::npos)
        return ResolveCaseInsensitive(name);
    for (const std::string &dir : {TarselDir, std::string(".")}) {
        const std::string path = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (FileExistsCi(path))
            return ResolveCaseInsensitive(path);
    }
    return name;
}

} // namespace

TDriverLibrary::TDriverLibrary(const std::string &name)
    : handle_(name.empty() ? nullptr : dlopen(LibraryPath(name).c_str(), RTLD_NOW | RTLD_LOCAL))
{
}

TDriverLibrary::~TDriverLibrary()
{
    if (handle_)
        dlclose(handle_);
}

void *TDriverLibrary::Symbol(const std::string &name) const
{
    return handle_ && !name.empty() ? dlsym(handle_, name.c_str()) : nullptr;
}
