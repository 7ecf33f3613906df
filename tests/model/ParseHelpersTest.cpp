#include "ScriptedUi.h"
#include "model/LocalizedNames.h"
#include "model/ParseHelpers.h"
#include "model/Settings.h"

#include <gtest/gtest.h>

TEST(ParseHelpers, IntListKeepsEmptyFieldsAsZeroAndAtMostEleven)
{
    IntList l = ParseIntList("19200,,9600");
    EXPECT_EQ(l.Count, 3);
    EXPECT_EQ(l.Values[0], 19200);
    EXPECT_EQ(l.Values[1], 0);
    EXPECT_EQ(l.Values[2], 9600);
    EXPECT_EQ(ParseIntList("").Count, 0);
    EXPECT_EQ(ParseIntList("a,$10").Values[1], 16);
    EXPECT_EQ(ParseIntList("1,2,3,4,5,6,7,8,9,10,11,12").Count, 11);
}

TEST(ParseHelpers, LineTag)
{
    EXPECT_EQ(LineTag("  ent: x"), "ENT");
    EXPECT_EQ(LineTag("str_1,a"), "STR");
    EXPECT_EQ(LineTag("PAGE: Main"), "PAG");
    EXPECT_EQ(LineTag(""), "");
}

TEST(LocalizedNames, LanguageLetterReplacesTheFirstUnderscore)
{
    testsupport::ScriptedUi ui;
    struct Case {
        const char *language, *name, *localized;
    };
    const Case cases[] = {
        {"D", "DEV_.TPL", "DEVD.TPL"}, {"_", "DEV_.TPL", "DEV_.TPL"}, {"d", "DEV_.TPL", "DEV_.TPL"},
        {"5", "DEV_.TPL", "DEV_.TPL"}, {"E", "A_B_.TPL", "AEB_.TPL"}, {"E", "NONE.TPL", "NONE.TPL"},
    };
    for (const Case &c : cases) {
        Settings.Language = c.language;
        EXPECT_EQ(LocalizeFileName(c.name), c.localized) << c.language << " " << c.name;
    }
    Settings.Language = "F";
    ShowTemplateNotFound("X_.TPL");
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Template XF.TPL not found!"});
    Settings.Language = "_";
}
