#pragma once
// Runs a piece of a test as another user, in a child process, so that file permissions apply as they do to an
// ordinary user (the superuser, who runs CI, passes most permission checks).

#include <sys/types.h>

#include <functional>
#include <vector>

namespace testsupport {

struct UserIds {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;   // supplementary groups
};

// Only the superuser can switch to another user.
bool CanSwitchUser();

// Runs `action` in a child process under `user` and returns its result; -1 when the child could not take on the
// user or did not end normally (an exception too).
int RunAsUser(const UserIds &user, const std::function<int()> &action);

} // namespace testsupport
