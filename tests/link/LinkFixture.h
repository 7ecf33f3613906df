#pragma once
// A reader link on a pseudo-terminal with the reader simulator on the other end, a program folder with its INI
// and a device folder with one template, and a Device Control view that records what it is told.

#include "Pty.h"
#include "Pump.h"
#include "ReaderSim.h"
#include "ReaderSimGuiDriver.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "link/ReaderLink.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

class RecordingCommView final : public ICommView {
public:
    struct LogLine {
        std::string text;
        bool forced;
    };
    void ShowStatus(const std::string &msg) override { statuses.push_back(msg); }
    void AddLog(const std::string &line, bool force) override { logs.push_back({line, force}); }
    void UpdatePort() override { ++portUpdates; }

    std::vector<std::string> forcedLogs() const
    {
        std::vector<std::string> out;
        for (const LogLine &l : logs)
            if (l.forced) out.push_back(l.text);
        return out;
    }
    std::vector<std::string> allLogs() const
    {
        std::vector<std::string> out;
        for (const LogLine &l : logs) out.push_back(l.text);
        return out;
    }

    std::vector<std::string> statuses;
    std::vector<LogLine> logs;
    int portUpdates = 0;
};

// The template the INI names for the model M100: two parameters on one page.
inline const char *kM100Template =
    "STR: Test reader M100,,Info\r\n"
    "PAG: General\r\n"
    "ENT: Beep,1B4142=On,01\r\n"
    "VAL: Off,00\r\n"
    "VAL: On,01\r\n"
    "ENT: Volume,1B4143=Low,00\r\n"
    "VAL: Low,00\r\n"
    "VAL: High,01\r\n";

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SERIAL_NO_DEFAULT_PORTS", "1", 1);
        setenv("SERIAL_COM1", pty.devicePath().c_str(), 1);
        dir.write("dev/M100.TPL", kM100Template);
        writeIni("");
        sim.setFactory({testsupport::readerRecord("AB", 0), testsupport::readerRecord("AC", 1)});
        driver = std::make_unique<testsupport::ReaderSimGuiDriver>(sim, pty.masterFd());
    }

    void TearDown() override
    {
        CommDM = nullptr;
        link.reset();
        Template = nullptr;
        driver.reset();
    }

    // The INI: the port on COM1 at 9600 N81, the given extra lines, and the section of M100.
    void writeIni(const std::string &extra)
    {
        dir.write("CORVANE.INI", "[Port]\nPort=1\nBaud=9600\nParity=0\nData=8\nStop=1\n" + extra +
                                     "\n[M100]\nDevPath=" + dir.path().string() + "/dev\nDevTpl=M100.TPL\n");
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
        ReadSettings();
    }

    void startLink()
    {
        link = std::make_unique<TCommDM>();
        CommDM = link.get();
        link->CommView = &view;
        Template = &tpl;
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    testsupport::Pty pty;
    testsupport::ReaderSim sim;
    std::unique_ptr<testsupport::ReaderSimGuiDriver> driver;
    TTemplate tpl;
    RecordingCommView view;
    std::unique_ptr<TCommDM> link;
};
