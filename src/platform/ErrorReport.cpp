#include "ErrorReport.h"

#include "UiServices.h"

void ShowErrorReport(const std::string &text)
{
    try {
        Ui().ShowWarning(text);
    } catch (...) {
        // Nothing is left to report with.
    }
}
