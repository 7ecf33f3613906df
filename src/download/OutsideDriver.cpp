// The loader protocol's transfer through an outside driver library.

#include "DriverContract.h"
#include "LoaderProtocol.h"
#include "TRSProtocol.h"
#include "platform/DynamicLibrary.h"
#include "platform/ErrorReport.h"
#include "platform/Paths.h"

#include <QCoreApplication>

namespace {

// The view of the download under way: the driver's progress callback has no other way to it.
ILoaderView *DriverView = nullptr;

// The driver's progress callback: the progress window follows, and the user's input (Abort) is handled.
void DriverProgress(int32_t done, int32_t all)
{
    ReportErrors([&] {
        if (DriverView)
            DriverView->ReportProgress(done, all);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    });
}

} // namespace

int32_t TLoaderProtocol::DownloadByDriver(const std::string &fileName)
{
    ClosePort();   // the driver uses the port itself
    auto reopen = [this] {
        OpenPort();
        Connected = true;
        ApplyDefSettings();
    };
    int32_t result;
    try {
        result = CallDriver(fileName);
    } catch (...) {
        ReportErrors(reopen);
        throw;
    }
    reopen();
    return result;
}

int32_t TLoaderProtocol::CallDriver(const std::string &fileName)
{
    const TDynamicLibrary library(Setup->TRDLL, TarselDir);
    if (!library.Loaded())
        return DownloadResult::CannotLoadDriver;
    struct HookReset {   // before the library goes
        ~HookReset() { AbortHook = nullptr; }
    } hookReset;
    AbortHook = reinterpret_cast<TAbortProc>(library.Symbol(Setup->TRAbort));
    void *download = library.Symbol(Setup->TRCall);
    if (!download)
        return DownloadResult::CannotCallDriver;

    view_.ShowProgress(DownloadingText(fileName));
    struct ProgressHide {
        ILoaderView &view;
        ~ProgressHide()
        {
            DriverView = nullptr;
            view.HideProgress();
        }
    } progressHide {view_};
    DriverView = &view_;
    const std::string path = ResolveCaseInsensitive(fileName);
    const int32_t maxBaud = Setup->MaxBaud;
    const int32_t result =
        maxBaud != 0
            ? reinterpret_cast<TrsDownloadMaxBaudProc>(download)(PortNumber, path.c_str(), &DriverProgress, maxBaud)
            : reinterpret_cast<TrsDownloadProc>(download)(PortNumber, path.c_str(), &DriverProgress);
    WaitAnswer("\r\n", 18);   // the port opens again by itself for this wait
    return result;
}
