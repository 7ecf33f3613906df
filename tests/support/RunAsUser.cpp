#include "RunAsUser.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool CanSwitchUser() { return ::geteuid() == 0; }

int RunInChild(const std::function<int()> &action)
{
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        try {
            ::_exit(action() & 0xFF);
        } catch (...) {   // not into the test runner that the child was forked from
            ::_exit(255);
        }
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

int RunAsUser(const UserIds &user, const std::function<int()> &action)
{
    return RunInChild([&] {
        if (::setgroups(user.groups.size(), user.groups.data()) != 0 || ::setgid(user.gid) != 0 ||
            ::setuid(user.uid) != 0)
            return 255;
        return action();
    });
}

} // namespace testsupport
