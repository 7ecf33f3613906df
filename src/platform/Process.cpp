#include "Process.h"

#include "Paths.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <sstream>
#include <thread>

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

// The folders of PATH in order ("." for an empty entry).
std::vector<std::string> pathDirs()
{
    std::vector<std::string> dirs;
    const char *path = std::getenv("PATH");
    std::istringstream list(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(list, dir, ':');) dirs.push_back(dir.empty() ? "." : dir);
    return dirs;
}

} // namespace

std::string FindExecutable(const std::string &name)
{
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    for (const std::string &dir : pathDirs())
        if (isExecutableFile(dir + "/" + name)) return dir + "/" + name;
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

std::string FindProgram(const std::string &name, const std::string &programDir)
{
    if (name.empty()) return {};
    std::vector<std::string> candidates;
    if (name.find_first_of("/\\") != std::string::npos) {
        candidates.push_back(name);
    } else {
        for (const std::string &dir : {programDir.empty() ? std::string(".") : programDir, std::string(".")})
            candidates.push_back(dir + "/" + name);
        for (const std::string &dir : pathDirs()) candidates.push_back(dir + "/" + name);
    }
    // As a shell does: the first executable file; failing that, the first file of the name, which then fails
    // to start with the reason.
    std::string existing;
    for (const std::string &candidate : candidates) {
        const std::string resolved = ResolveCaseInsensitive(candidate);
        if (isExecutableFile(resolved)) return resolved;
        struct stat st {};
        if (existing.empty() && ::stat(resolved.c_str(), &st) == 0) existing = resolved;
    }
    return existing;
}

std::vector<std::string> SplitArguments(const std::string &text)
{
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false, pending = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            pending = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (pending) args.push_back(current);
            current.clear();
            pending = false;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending) args.push_back(current);
    return args;
}

int StartProcess(const std::vector<std::string> &argv, int &pid)
{
    if (argv.empty()) return ENOENT;
    std::vector<std::string> args = argv;
    std::vector<char *> ptrs = argPointers(args);
    pid_t child = 0;
    const int rc = ::posix_spawn(&child, args[0].c_str(), nullptr, nullptr, ptrs.data(), environ);
    pid = int(child);
    return rc;
}

bool WaitProcess(int pid, int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int status = 0;
        const pid_t rc = ::waitpid(pid_t(pid), &status, WNOHANG);
        if (rc == pid_t(pid) || (rc < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ReapWhenEnded(int pid)
{
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid_t(pid), &status, 0) < 0 && errno == EINTR) {}
    }).detach();
}
