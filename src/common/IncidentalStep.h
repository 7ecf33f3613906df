#pragma once
// Steps that serve an action without being its purpose (saving settings, writing a dump). Their failure is
// reported, once per distinct message for the whole run, and the action goes on.

#include <functional>
#include <string>

// Runs `step`; when it raises, warns with `what` and the error's text (unless that very warning was shown
// before) and returns false.
bool RunIncidentalStep(const std::string &what, const std::function<void()> &step);

// The same in two halves, for an action that may not wait for the user while the step runs: runs `step` and
// returns the warning its failure calls for (empty when it succeeded), which ReportIncidentalFailure shows later.
std::string RunIncidentalStepQuietly(const std::string &what, const std::function<void()> &step);
void ReportIncidentalFailure(const std::string &warning);
