#pragma once
// A program folder with its INI and a device folder in a temporary directory, fresh settings, and the program's
// template loaded from a template file written there.

#include "ScriptedUi.h"
#include "TempDir.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"
#include "platform/Text.h"

#include <QString>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

// Qt texts in test messages.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = TCVSetup {};
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
        Settings.DevPath = dir.file("dev") + "/";
        SetDecimalSeparator('.');
        Template = tpl.get();
    }
    void TearDown() override { Template = nullptr; }

    // Writes the template into the device folder and loads it as the program's template.
    void loadTemplate(const std::string &text)
    {
        dir.write("dev/T.TPL", text);
        if (!tpl->LoadFromFile("T.TPL")) throw std::runtime_error("template not loaded");
    }
    TTplEnt &entry(int page, const std::string &name)
    {
        TTplEnt *e = tpl->Pages(page).FindEntry(name);
        if (!e) throw std::runtime_error("no entry " + name);
        return *e;
    }
    TTplEnt &entryAt(int page, int index) { return tpl->Pages(page).Entries(index); }
    std::string ini() const { return dir.read("CORVANE.INI"); }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    std::unique_ptr<TTemplate> tpl = std::make_unique<TTemplate>();
};
