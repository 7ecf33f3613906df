#pragma once
// A loader view that records what the protocol shows, for tests of the protocol without its window.

#include "download/LoaderView.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class RecordingLoaderView : public ILoaderView {
public:
    void ShowStatus(const std::string &text) override { statuses.push_back(text); }
    void Log(const std::string &line) override { log.push_back(line); }
    void LogLines(const std::string &text) override { log.push_back(text); }
    void AppendToLogLine(const std::string &text) override
    {
        if (log.empty())
            log.emplace_back();
        log.back() += text;
    }
    void ShowPortOpen(bool open) override { events.push_back(open ? "port open" : "port closed"); }
    void ShowConnecting(bool connecting) override { events.push_back(connecting ? "connecting" : "connect over"); }
    void ShowDeviceAnswered() override { events.push_back("answered"); }
    void ShowVersion(const std::string &version) override { events.push_back("version " + version); }
    void ShowDeviceLost() override { events.push_back("lost"); }
    void ShowTransferRunning(bool running) override { events.push_back(running ? "running" : "idle"); }
    void ShowDownloadEnded() override { events.push_back("ended"); }
    void ShowProgress(const std::string &caption) override { events.push_back("progress " + caption); }
    void ReportProgress(int64_t done, int64_t all) override { progress.emplace_back(done, all); }
    void HideProgress() override { events.push_back("progress hidden"); }

    std::vector<std::string> statuses;
    std::vector<std::string> log;
    std::vector<std::string> events;
    std::vector<std::pair<int64_t, int64_t>> progress;
};
