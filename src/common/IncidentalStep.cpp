#include "IncidentalStep.h"

#include "Wrn.h"

#include <exception>
#include <mutex>
#include <set>

bool RunIncidentalStep(const std::string &what, const std::function<void()> &step)
{
    std::string message;
    try {
        step();
        return true;
    } catch (const std::exception &e) {
        message = what + "\r" + e.what();
    } catch (...) {
        message = what;
    }
    static std::mutex mutex;
    static std::set<std::string> shown;
    bool first = false;
    {
        std::lock_guard lock(mutex);
        first = shown.insert(message).second;
    }
    if (first) ShowWarning(message);
    return false;
}
