#pragma once
// A program folder with its INI and an empty configuration database, a device folder with a two-page template
// loaded as the program's template, scripted message boxes, and a way to answer the next modal dialog.

#include "ScriptedUi.h"
#include "TempDir.h"
#include "model/Settings.h"
#include "model/SettingsModule.h"
#include "model/Template.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <string>

inline const char *const kToolsTemplate =
    "STR: Test Reader,TEST.HLP,Info text\r\n"
    "PAG: General\r\n"
    "HDR: Beeper\r\n"
    "ENT: Beep,1B4101=On,01\r\n"
    "VAL: Off,00\r\n"
    "VAL: On,01\r\n"
    "ENT: Volume,1B4102=Low,00 @Beep=On\r\n"
    "VAL: Low,00\r\n"
    "VAL: High,01\r\n"
    "PAG: Codes\r\n"
    "ENT: Prefix[1],1B4201=A,41\r\n"
    "CHR: 00..FF\r\n"
    "ENT: Prefix[2],1B4202=B,42\r\n"
    "CHR: 00..FF\r\n"
    "ENT: WidthLSB,1B4301=$E8,E8\r\n"
    "HEX: 00..FF\r\n"
    "ENT: WidthMSB,1B4302=$03,03\r\n"
    "HEX: 00..FF\r\n";

// Runs `act` on the modal dialog of type Dialog once it is shown; `act` must close it.
template <class Dialog>
void WhenModal(std::function<void(Dialog &)> act)
{
    QTimer::singleShot(0, [act = std::move(act)] {
        auto *dialog = dynamic_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "the expected dialog is not open";
            if (QWidget *other = QApplication::activeModalWidget()) other->close();
            return;
        }
        act(*dialog);
    });
}

class ToolsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        Settings = TCVSetup {};
        ExeDir = dir.path().string();
        IniFileName = "CORVANE.INI";
        dir.write("dev/TEST_.TPL", kToolsTemplate);
        dir.write("CORVANE.INI", "[SCAN1]\nDevPath=" + dir.file("dev") + "\n");
        Settings.DevPath = dir.file("dev") + "/";
        Settings.DefTpl = "TEST_.TPL";
        Template = &tpl;
        ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    }
    void TearDown() override { Template = nullptr; }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
    TTemplate tpl;
};
