#pragma once
// A device folder in a temporary directory holding a realistic template, and fresh settings for each test.

#include "ScriptedUi.h"
#include "TempDir.h"
#include "model/HtmlHelp.h"
#include "model/Settings.h"
#include "model/Template.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

// Two pages, definitions, a second level block, conditions, every value kind and help inheritance.
inline const char *const kTestTemplate =
    "DIC: Test dictionary\r\n"
    "DEF: OnOff\r\n"
    "VAL: Off, 00\r\n"
    "VAL: On, 01\r\n"
    "DEF: Speeds\r\n"
    "NUM: 0..1,$20,0.25,V\r\n"
    "STR_99: Test reader, TEST.HLP, Line one\\Line two, ignored\r\n"
    "PAG: General #100\r\n"
    "HDR: Beeper #0\r\n"
    "ENT: Beep,1B4241=On,01 #0\r\n"
    "DEF: OnOff\r\n"
    "ENT: Volume,1B4256=Low,00 @Beep=On\r\n"
    "VAL: Low, 00\r\n"
    "VAL: High, 01 ?Really loud\r\n"
    "HDR: Timing #110\r\n"
    "ENT: Delay,1B5444=0V,20 #111\r\n"
    "DEF: Speeds\r\n"
    "ENT: ~Range,1B5252=$10,10\r\n"
    "HEX: 10..1F\r\n"
    "HDR: Extra\r\n"
    "ENT: Turbo,1B5442=Off,00 @Beep=Off\r\n"
    "DEF: OnOff\r\n"
    "HDR: Empty\r\n"
    "PAG: Codes ; second page\r\n"
    "HDR: Prefix\r\n"
    "ENT: Prefix[1],1B5031=A,41\r\n"
    "CHR: 20..7E\r\n"
    "ENT: WidthLSB,1B574C=$00,00\r\n"
    "HEX:\r\n"
    "STR_1: Basic reader, BASIC.HLP, Basic\r\n"
    "PAG: Basic page\r\n"
    "ENT: Only,1B4F4E=x,00\r\n";

class TemplateFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = TCVSetup {};
        Settings.DevPath = dir.file("dev") + "/";
        AppHelpFile.clear();
        SetDecimalSeparator('.');
        writeTemplate("TEST_.TPL", kTestTemplate);
    }

    std::string writeTemplate(const std::string &name, const std::string &text) const
    {
        return dir.write("dev/" + name, text);
    }
    // Loads a template made of the given lines into `tpl`.
    bool loadText(TTemplate &tpl, const std::string &text) const
    {
        writeTemplate("T.TPL", text);
        return tpl.LoadFromFile("T.TPL");
    }
    // The entry of the page with that name (the last one when several share it).
    static TTplEnt &entry(TTemplate &tpl, int page, const std::string &name)
    {
        TTplEnt *e = tpl.Pages(page).FindEntry(name);
        if (!e) throw std::runtime_error("no entry " + name);
        return *e;
    }
    static std::vector<std::string> visibleNames(const TTplPag &page)
    {
        std::vector<std::string> names;
        for (int32_t i = 0; i < page.VisibleCount(); ++i) names.push_back(page.Visible(i).Name);
        return names;
    }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
};
