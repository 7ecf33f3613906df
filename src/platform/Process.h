#pragma once
// Starting other programs: always with an argument vector, never through a shell.

#include <string>
#include <vector>

// The full path of an executable found on PATH (a name with "/" is checked as it stands); empty when none.
std::string FindExecutable(const std::string &name);

// Starts the program in the background without waiting for it; false when it could not be started.
bool StartDetached(const std::vector<std::string> &argv);

// A program named the way a settings file names it: a name with a separator as written, a bare name in
// `programDir`, then the current directory, then on PATH; each place without regard to case. The first executable
// file; when there is none, the first file of that name (which then fails to start with its reason); empty when
// there is no such file at all.
std::string FindProgram(const std::string &name, const std::string &programDir);

// Splits a parameter text into arguments at blanks; double quotes keep blanks inside an argument.
std::vector<std::string> SplitArguments(const std::string &text);

// Starts the program (argv[0] is its path); 0 with the process id, or the system error number.
int StartProcess(const std::vector<std::string> &argv, int &pid);
// Waits up to `milliseconds` for the process to end; true once it has ended (or cannot be waited for).
bool WaitProcess(int pid, int milliseconds);
// Collects the process when it ends, without waiting for it here, so that it leaves no zombie behind.
void ReapWhenEnded(int pid);
