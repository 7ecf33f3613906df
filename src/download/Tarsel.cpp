// The add-on library's one export.

#define CV_BUILDING_ADDON
#include "common/AddonContract.h"

#include "download/TarselSettings.h"
#include "download/ExecuteParameters.h"
#include "platform/ErrorReport.h"
#include "platform/UiServices.h"
#include "platform/qt/QtUiServices.h"
#include "serial/SerWindow.h"

#include <QApplication>
#include <QWidget>

namespace {

// The window-system dialogs for the call; what was installed before comes back afterwards.
class ScopedQtUi {
public:
    ScopedQtUi() : previous_(&Ui()) { SetUi(&dialogs_); }
    ~ScopedQtUi() { SetUi(previous_); }
    ScopedQtUi(const ScopedQtUi &) = delete;
    ScopedQtUi &operator=(const ScopedQtUi &) = delete;

private:
    QtUiServices dialogs_;
    UiServices *previous_;
};

} // namespace

extern "C" void Execute(uintptr_t owner, const char *params)
{
    // Windows need the host's application object; a host without one gets nothing.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    ScopedQtUi dialogs;
    ReportErrors([&] {
        TarselDir = QCoreApplication::applicationDirPath().toStdString();
        ExecuteDownload(owner ? QWidget::find(WId(owner)) : nullptr, params);
    });
    // The host unloads the library as soon as this returns: nothing of it may be left to run or to receive.
    ReleaseErrorReports();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
