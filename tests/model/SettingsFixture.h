#pragma once
// A program folder in a temporary directory with its own INI, and fresh settings for each test.

#include "ScriptedUi.h"
#include "TempDir.h"
#include "model/HostCommands.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"

#include <gtest/gtest.h>

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = TCVSetup {};
        SetDefaultHostCommands();
        ConnectAtStart = false;
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
    }

    std::string programPath() const { return dir.file("corvane"); }
    void writeIni(const std::string &text) const { dir.write("CORVANE.INI", text); }
    std::string ini() const { return dir.read("CORVANE.INI"); }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
};
