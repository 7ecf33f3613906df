#include "TemplateFixture.h"

#include "model/TplGrammar.h"

using namespace std::string_literals;

using Strings = std::vector<std::string>;

namespace {

std::string itemName(const TTplVal &v, int32_t index, uint8_t *code = nullptr)
{
    std::string name;
    uint8_t c = 0;
    if (!v.GetItem(index, name, c)) return "<none>";
    if (code) *code = c;
    return name;
}

} // namespace

TEST(ValueLine, RangesCountsAndTexts)
{
    SetDecimalSeparator('.');
    struct Case {
        uint8_t kind;
        const char *body;
        int32_t count;
        uint8_t first, last;
        int32_t index;
        const char *name;
        uint8_t code;
    };
    const Case cases[] = {
        {trHex, "10..1F", 16, 0x10, 0x1F, 0, "$10", 0x10},
        {trHex, "10..1F", 16, 0x10, 0x1F, 15, "$1F", 0x1F},
        {trHex, "10..1F", 16, 0x10, 0x1F, 16, "<none>", 0},
        {trHex, "20..7E", 95, 0x20, 0x7E, 94, "$7E", 0x7E},
        {trHex, "", 256, 0x00, 0xFF, 255, "$FF", 0xFF},
        {trHex, "$1x..", 256, 0x00, 0xFF, 0, "$00", 0},   // a bound that is not a number reads as 0
        {trHex, "10..1F ?Sure", 0, 0x10, 0x00, 0, "<none>", 0},
        {trChr, "7E..20", 0, 0x7E, 0x20, 0, "<none>", 0},
        {trChr, "", 256, 0, 0xFF, 7, "BEL", 7},
        {trChr, "", 256, 0, 0xFF, 32, "Space", 32},
        {trChr, "", 256, 0, 0xFF, 65, "A", 65},
        {trChr, "", 256, 0, 0xFF, 127, "7F", 127},
        {trChr, "", 256, 0, 0xFF, 200, "C8", 200},
        {trNum, "0..1,$20,0.25,V", 5, 0x20, 0x24, 1, "0.25V", 0x21},
        {trNum, "0..1,$20,0.25,V", 5, 0x20, 0x24, 4, "1V", 0x24},
        {trNum, "0..1,$20,0.1,V", 11, 0x20, 0x2A, 3, "0.3V", 0x23},
        {trNum, "0..10,0,3", 5, 0x00, 0x04, 4, "12", 0x04},
        {trNum, "1..3,10,0.5,ms", 5, 0x10, 0x14, 3, "2.5ms", 0x13},
        {trNum, "", 10001, 0x20, uint8_t(0x20 + 10000), 10000, "10000", uint8_t(0x20 + 10000)},
        {trNum, "5..1,1,0", 1, 0x01, 0x01, 0, "5", 0x01},
        {trNum, "0..6000,0,0.1", 60001, 0, uint8_t(60000), 60000, "6000", uint8_t(60000)},
        {trNum, "0..9999999999,0,0.00000001", kNumValueLimit, 0, 0xFF, 2, "2E-8", 2},
        {trNum, "-1..1,80,1, dB", 3, 0x80, 0x82, 0, "-1 dB", 0x80},
        {trVal, "On, 1 ?Switch it on", 1, 0x01, 0x01, 0, "On", 0x01},
        {trVal, "On, 1 ?Delete", 1, 0x1D, 0x1D, 0, "On", 0x1D},
        {trVal, "What?, 01", 1, 0x01, 0x01, 0, "What?", 0x01},
        {trVal, "Nothing", 1, 0x00, 0x00, 0, "Nothing", 0x00},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        const TTplVal v = MakeValueLine(c.kind, c.body, "");
        EXPECT_EQ(v.Count, c.count);
        EXPECT_EQ(v.First, c.first);
        EXPECT_EQ(v.Last, c.last);
        uint8_t code = 0;
        EXPECT_EQ(itemName(v, c.index, &code), c.name);
        EXPECT_EQ(code, c.code);
    }
}

TEST(ValueLine, NumbersUseTheDecimalSeparator)
{
    SetDecimalSeparator(',');
    EXPECT_EQ(itemName(MakeValueLine(trNum, "0..1,$20,0.25,V", ""), 1), "0,25V");
    SetDecimalSeparator('.');
}

class TemplateModelTest : public TemplateFixture {
protected:
    // A page whose Mode and Beep entries take On, Off and Auto, with the given condition on the last entry.
    TTplEnt &conditional(TTemplate &tpl, const std::string &condition)
    {
        TTplPag &page = tpl.AddPage("P", -1);
        for (const char *body : {"Mode,010101=On,01", " Beep,010102=On,01", "Beep,010103=On,01"}) {
            TTplEnt &e = page.AddEntry(body, trEnt, "", -1);
            e.AddValue(trVal, "Off, 00", "");
            e.AddValue(trVal, "On, 01", "");
            e.AddValue(trVal, "Auto, 02", "");
        }
        return page.AddEntry("Shown,010104=x,0 @" + condition, trEnt, "", -1);
    }
};

TEST_F(TemplateModelTest, ConditionsCompareValueTexts)
{
    struct Case {
        const char *condition;
        uint8_t mode, beep;
        bool visible;
    };
    const Case cases[] = {
        {"Mode=On&Beep<>Off", 1, 1, true},
        {"Mode=On&Beep<>Off", 1, 0, false},
        {"Mode=On&Beep<>Off", 0, 1, false},
        {"Mode=On|Mode=Auto", 2, 0, true},
        {"Mode=On|Mode=Auto", 1, 0, true},
        {"Mode=On|Mode=Auto", 0, 0, false},
        {"mode=on,auto", 2, 0, true},
        {"Mode=Auto, On", 1, 0, false},    // " On" with its blank
        {"Mode=Auto, On", 2, 0, true},
        {"Mode=On & Beep<>Off", 1, 1, false},   // names " Beep" and compares with "On "
        {"Mode<>Off|Beep=On&Mode=On", 1, 1, false},   // split at "&" only
        {"Below=On|Mode=On", 1, 0, true},
        {"Below=On&Mode=On", 1, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.condition);
        TTemplate tpl;
        TTplEnt &shown = conditional(tpl, c.condition);
        TTplPag &page = tpl.Pages(0);
        tpl.SetEntryValue(page.Entries(0), c.mode);
        tpl.SetEntryValue(page.Entries(2), c.beep);
        EXPECT_EQ(shown.IsVisible(), c.visible);
    }
}

TEST_F(TemplateModelTest, ConditionFindsOnlyEntriesAboveItOnItsPage)
{
    TTemplate tpl;
    TTplEnt &shown = conditional(tpl, "Mode=On&Beep=On");
    EXPECT_EQ(shown.Cond->Items.at(0).Ent, &tpl.Pages(0).Entries(0));
    EXPECT_EQ(shown.Cond->Items.at(1).Ent, &tpl.Pages(0).Entries(2));   // the last of equal names
    EXPECT_EQ(tpl.Pages(0).Entries(0).DependentCount, 1);

    TTplPag &other = tpl.AddPage("Q", -1);
    TTplEnt &orphan = other.AddEntry("Orphan,010105=x,0 @Mode=On", trEnt, "", -1);
    other.AddEntry("Mode,010106=On,01", trEnt, "", -1);
    EXPECT_EQ(orphan.Cond->Items.at(0).Ent, nullptr);
    EXPECT_FALSE(orphan.IsVisible());
}

TEST_F(TemplateModelTest, HeadersOfHiddenGroupsAreHidden)
{
    TTemplate tpl;
    ASSERT_TRUE(loadText(tpl, "STR: T\nPAG: P\nENT: Mode,010101=Off,00\nVAL: Off, 00\nVAL: On, 01\n"
                              "HDR: Group\nENT: A,010102=x,0 @Mode=On\nENT: B,010103=x,0 @Mode=On\n"
                              "HDR: Lonely\nHDR: Last\nENT: C,010104=x,0\n"));
    TTplPag &page = tpl.Pages(0);
    EXPECT_EQ(visibleNames(page), (Strings {"Mode", "Lonely", "Last", "C"}));
    EXPECT_EQ(page.Entries(1).GroupSize, 2);

    tpl.SetEntryValue(page.Entries(0), 1);
    tpl.UpdateVisible();
    EXPECT_EQ(visibleNames(page), (Strings {"Mode", "Group", "A", "B", "Lonely", "Last", "C"}));
    EXPECT_EQ(page.Entries(3).Prev(), &page.Entries(2));
    EXPECT_EQ(page.Entries(3).Next(), &page.Entries(4));
    EXPECT_EQ(page.Entries(0).Prev(), nullptr);
    EXPECT_EQ(page.Entries(page.Count() - 1).Next(), nullptr);
}

TEST_F(TemplateModelTest, SetEntryValueAndValueText)
{
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    TTplEnt &range = entry(tpl, 0, "Range");
    tpl.SetEntryValue(range, 0x1A);
    EXPECT_EQ(range.ValueText.str(), "$1A");
    EXPECT_EQ(range.Value, 0x1A);
    tpl.SetEntryValue(range, 0x05);
    EXPECT_EQ(range.ValueText.str(), "Value not found");
    EXPECT_EQ(range.Value, 0x1A);
    EXPECT_EQ(tpl.ValueText(range, 0x05), "");
    EXPECT_EQ(tpl.ValueText(entry(tpl, 0, "Delay"), 0x23), "0.75V");
    EXPECT_EQ(tpl.ValueText(entry(tpl, 1, "Prefix"), 0x20), "Space");
}

TEST_F(TemplateModelTest, ApplyAndGetConfiguration)
{
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    tpl.ApplyConfiguration({"\x1B\x42\x41\x00"s, "\x1B\x42\x56\x01", "\x1B\x54\x44\x22", "\x1B\x52\x52\x05",
                            "\x1B\x57\x4C\xFF", "\x1B\x54\x42\x01XYZ"});
    tpl.UpdateVisible();
    struct Row {
        int page;
        const char *name;
        const char *valueText;
        uint8_t value;
        bool unset;
    };
    const Row rows[] = {
        {0, "Beep", "Off", 0x00, false},         {0, "Volume", "High", 0x01, false},
        {0, "Delay", "0.5V", 0x22, false},       {0, "Range", "Value not found", 0x10, true},
        {0, "Turbo", "On", 0x01, false},         {1, "WidthLSB", "$FF", 0xFF, false},
        {0, "Beeper", "", 0x00, true},           {1, "Prefix", "*Entry not found", 0x41, true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const TTplEnt &e = entry(tpl, r.page, r.name);
        EXPECT_EQ(e.ValueText.str(), r.valueText);
        EXPECT_EQ(e.Value, r.value);
        EXPECT_EQ(e.Unset, r.unset);
    }
    EXPECT_EQ(visibleNames(tpl.Pages(0)),
              (Strings {"Beeper", "Beep", "Timing", "Delay", "Range", "Extra", "Turbo", "Empty"}));
    EXPECT_EQ(tpl.GetConfiguration(), (ConfigRecords {"\x1B\x42\x41\x00"s, "\x1B\x42\x56\x01", "\x1B\x54\x44\x22",
                                                      "\x1B\x54\x42\x01", "\x1B\x57\x4C\xFF"}));
}

TEST(ConfigurationImage, HoldsAtMost1024RecordsAndFindsOnlyWholeRecords)
{
    ConfigRecords records;
    for (int i = 0; i < 1030; ++i) records.push_back(std::string("\x1B") + char(i / 256) + char(i % 256) + char(i % 7));
    TTplCfg cfg;
    cfg.Load(records);
    EXPECT_EQ(cfg.Count, kCfgMaxRecords);
    uint8_t value = 0xEE;
    EXPECT_TRUE(cfg.Find(std::string("\x1B\x03\xFF"), value));   // record 1023
    EXPECT_EQ(value, 1023 % 7);
    EXPECT_FALSE(cfg.Find(std::string("\x1B\x04\x00", 3), value));   // record 1024 was dropped

    cfg.Load({"\x1B\x42", "\x1B\x42\x41", "\x1B\x42\x41\x05\x06", "\x1B\x42\x41\x07"});
    EXPECT_TRUE(cfg.Find("\x1B\x42\x41", value));
    EXPECT_EQ(value, 0x05);
    EXPECT_EQ(cfg.Records[2].str(), "\x1B\x42\x41\x05");
    EXPECT_FALSE(cfg.Find("\x1B\x42", value));     // short records never match
    EXPECT_FALSE(cfg.Find("\x1B\x42\x41\x05", value));   // only 3-byte codes can be found
}
