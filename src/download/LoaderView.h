#pragma once
// What the loader protocol shows of its work: the status line, the log, the lights and buttons of the download
// window, and the progress window of a transfer. The download window implements it; tests record it.

#include <cstdint>
#include <string>

class ILoaderView {
public:
    virtual ~ILoaderView() = default;

    virtual void ShowStatus(const std::string &text) = 0;
    // One line in byte display form; the oldest line goes once the log holds 200.
    virtual void Log(const std::string &line) = 0;
    // Several lines separated by CR.
    virtual void LogLines(const std::string &text) = 0;
    // Continues the last line of the log.
    virtual void AppendToLogLine(const std::string &text) = 0;

    virtual void ShowPortOpen(bool open) = 0;
    // The connect procedure runs and can be aborted.
    virtual void ShowConnecting(bool connecting) = 0;
    // The loader answered the handshake.
    virtual void ShowDeviceAnswered() = 0;
    virtual void ShowVersion(const std::string &version) = 0;
    // The port lost its device and closed itself.
    virtual void ShowDeviceLost() = 0;

    // A built-in transfer runs: the window takes no commands meanwhile.
    virtual void ShowTransferRunning(bool running) = 0;
    // A download has ended: the window has the focus again.
    virtual void ShowDownloadEnded() = 0;
    // The progress window, with its Abort button enabled when an abort hook is set.
    virtual void ShowProgress(const std::string &caption) = 0;
    // The bar at done of all, "done/all" in the label, painted at once.
    virtual void ReportProgress(int64_t done, int64_t all) = 0;
    virtual void HideProgress() = 0;
};
