#include "Process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

extern char **environ;

namespace {

bool isExecutableFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<char *> argPointers(std::vector<std::string> &args)
{
    std::vector<char *> ptrs;
    for (std::string &a : args) ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    return ptrs;
}

} // namespace

std::string FindExecutable(const std::string &name)
{
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    const char *path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return {};
}

bool StartDetached(const std::vector<std::string> &argv)
{
    if (argv.empty()) return false;
    const std::string program = FindExecutable(argv[0]);
    if (program.empty()) return false;
    std::vector<std::string> args = argv;
    std::vector<char *> ptrs = argPointers(args);

    // A short-lived intermediate child starts the program and exits at once, so no zombie is left behind.
    pid_t middle = ::fork();
    if (middle < 0) return false;
    if (middle == 0) {
        ::setsid();
        pid_t grandchild = 0;
        int rc = ::posix_spawn(&grandchild, program.c_str(), nullptr, nullptr, ptrs.data(), environ);
        ::_exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
