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

// Runs `action` in a child process and returns its result (0 to 254); -1 when the child did not end normally, an
// exception included.
int RunInChild(const std::function<int()> &action);

// The same under `user`; -1 also when the child could not take on the user.
int RunAsUser(const UserIds &user, const std::function<int()> &action);

} // namespace testsupport
