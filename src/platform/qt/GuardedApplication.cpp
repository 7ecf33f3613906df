#include "GuardedApplication.h"

#include "platform/ErrorReport.h"

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    ReportErrors([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
