#include "IncidentalStep.h"

#include "Wrn.h"

#include <exception>
#include <mutex>
#include <set>

bool RunIncidentalStep(const std::string &what, const std::function<void()> &step)
{
    const std::string warning = RunIncidentalStepQuietly(what, step);
    ReportIncidentalFailure(warning);
    return warning.empty();
}

std::string RunIncidentalStepQuietly(const std::string &what, const std::function<void()> &step)
{
    try {
        step();
        return "";
    } catch (const std::exception &e) {
        return what + "\r" + e.what();
    } catch (...) {
        return what;
    }
}

void ReportIncidentalFailure(const std::string &warning)
{
    if (warning.empty()) return;
    static std::mutex mutex;
    static std::set<std::string> shown;
    bool first = false;
    {
        std::lock_guard lock(mutex);
        first = shown.insert(warning).second;
    }
    if (first) ShowWarning(warning);
}
