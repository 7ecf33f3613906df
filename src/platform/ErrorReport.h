#pragma once
// The default error report: the one guard around every entry point from the event loop. An exception never
// crosses the event loop; its text is shown in a warning box and the program goes on.

#include <exception>
#include <string>

// Shows `text` the way an unhandled error is reported.
void ShowErrorReport(const std::string &text);

// Runs `action`; true when it returned normally, false when it raised (the error has then been shown).
template <class Action>
bool ReportErrors(Action &&action) noexcept
{
    try {
        action();
        return true;
    } catch (const std::exception &e) {
        ShowErrorReport(e.what());
    } catch (...) {
        ShowErrorReport("Unknown error");
    }
    return false;
}
