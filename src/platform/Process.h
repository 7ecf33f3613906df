#pragma once
// Starting other programs: always with an argument vector, never through a shell.

#include <string>
#include <vector>

// The full path of an executable found on PATH (a name with "/" is checked as it stands); empty when none.
std::string FindExecutable(const std::string &name);

// Starts the program in the background without waiting for it; false when it could not be started.
bool StartDetached(const std::vector<std::string> &argv);
