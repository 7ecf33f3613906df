#include "TemplateFixture.h"

#include "model/TplGrammar.h"

#include <sys/resource.h>

#include <chrono>
#include <random>

using Strings = std::vector<std::string>;

class TemplateReaderTest : public TemplateFixture {};

TEST(ClassifyLine, SplitsCommentHelpQuestionTagAndBody)
{
    struct Case {
        const char *line;
        uint8_t code;
        const char *body;
        int32_t help;
        const char *question;
    };
    const Case cases[] = {
        {"ENT: Beep volume , 0A0B0C = Low , 01 #12", trEnt, "Beep volume , 0A0B0C = Low , 01", 12, ""},
        {"  pag: Main #5 ; comment #7", trPag, "Main", 5, ""},
        {"HDR: Group #x", trHdr, "Group", -1, ""},
        {"HDR: Group #0", trHdr, "Group", 0, ""},
        {"VAL: On, 1 ?Switch it on", trVal, "On, 1 ?Switch it on", -1, "Switch it on"},
        {"VAL: On, 1 ?Ask; not this", trVal, "On, 1 ?Ask", -1, "Ask"},
        {"ENTRY: x", trEnt, "x", -1, ""},
        {"HEADER: x", trNone, "x", -1, ""},
        {"DIC", trDic, "", -1, ""},
        {"; only a comment", trNone, "", -1, ""},
        {"", trNone, "", -1, ""},
        {"str_2: a, b, c", trStr, "a, b, c", -1, ""},
        {"DEF:Speeds", trDef, "Speeds", -1, ""},
        {"NUM: 0..1,$20", trNum, "0..1,$20", -1, ""},
        {"CHR: 20..7E", trChr, "20..7E", -1, ""},
        {"HEX:", trHex, "", -1, ""},
    };
    for (const Case &c : cases) {
        std::string line = c.line, question;
        int32_t help = 99;
        EXPECT_EQ(TTemplate::ClassifyLine(line, help, question), c.code) << c.line;
        EXPECT_EQ(line, c.body) << c.line;
        EXPECT_EQ(help, c.help) << c.line;
        EXPECT_EQ(question, c.question) << c.line;
    }
}

TEST(EntryLine, FieldsOfHeaderAndParameterLines)
{
    struct Case {
        const char *body;
        const char *name;
        std::string code;
        const char *valueText;
        uint8_t value;
        bool overflow;
        uint8_t byteOrder;
        int32_t arrayIndex;
        const char *condition;   // nullptr: none
    };
    const Case cases[] = {
        {"Beep volume , 0A0B0C = Low , 01", "Beep volume ", "\x0A\x0B\x0C", " Low ", 0x01, false, 0, 0, nullptr},
        {"Timeout,0a0b0c=x,1", "Timeout", std::string("\0", 1), "x", 0x01, false, 0, 0, nullptr},
        {"~Speed,010203=X,1", "Speed", "\x01\x02\x03", "X", 0x01, true, 0, 0, nullptr},
        {"WidthLSB,0102AA=0,00", "WidthLSB", "\x01\x02\xAA", "0", 0, false, 1, 0, nullptr},
        {"Widthmsb,010203=0,00", "Widthmsb", "\x01\x02\x03", "0", 0, false, 2, 0, nullptr},
        {"LSB,010203=0,00", "LSB", "\x01\x02\x03", "0", 0, false, 0, 0, nullptr},
        {"Prefix[2],010203=A,41", "Prefix", "\x01\x02\x03", "A", 0x41, false, 0, 2, nullptr},
        {"Text [x],010203=A,41", "Text", "\x01\x02\x03", "A", 0x41, false, 0, 0, nullptr},
        {"Mode2,010205=Off,00 @Mode=On", "Mode2", "\x01\x02\x05", "Off", 0, false, 0, 0, "Mode=On"},
        {"Mode3,010206=Off,00 @", "Mode3", "\x01\x02\x06", "Off", 0, false, 0, 0, nullptr},
        {"Mode4,010207=Off,00 @  ", "Mode4", "\x01\x02\x07", "Off", 0, false, 0, 0, nullptr},
        {"Long,0102030405060708090A=v,1", "Long", "\x01\x02\x03\x04\x05", "v", 0x01, false, 0, 0, nullptr},
        {"Group", "Group", "", "", 0, false, 0, 0, nullptr},
        {"Odd,123=v,", "Odd", "\x12", "v", 0, false, 0, 0, nullptr},
    };
    for (const Case &c : cases) {
        const TplEntryLine e = ParseEntryLine(c.body);
        EXPECT_EQ(e.Name, c.name) << c.body;
        EXPECT_EQ(e.Code, c.code) << c.body;
        EXPECT_EQ(e.ValueText, c.valueText) << c.body;
        EXPECT_EQ(e.Value, c.value) << c.body;
        EXPECT_EQ(e.IsOverflow, c.overflow) << c.body;
        EXPECT_EQ(e.ByteOrder, c.byteOrder) << c.body;
        EXPECT_EQ(e.ArrayIndex, c.arrayIndex) << c.body;
        EXPECT_EQ(e.Condition.has_value(), c.condition != nullptr) << c.body;
        if (c.condition) {
            EXPECT_EQ(*e.Condition, c.condition) << c.body;
        }
    }
}

TEST_F(TemplateReaderTest, FixtureTemplateLevelFacts)
{
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    EXPECT_EQ(tpl.DefCount(), 2);
    EXPECT_EQ(tpl.Defs(0).Name.str(), "OnOff");
    EXPECT_EQ(tpl.Defs(0).Count(), 2);
    EXPECT_EQ(tpl.Defs(1).Name.str(), "Speeds");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Test reader");
    EXPECT_EQ(tpl.HelpFile.str(), "TEST.HLP");
    EXPECT_EQ(AppHelpFile, Settings.DevPath + "TEST.HLP");
    EXPECT_EQ(tpl.Info.str(), " Line one\\Line two");
    EXPECT_EQ(tpl.Level, 1);   // the last STR line read
    EXPECT_EQ(tpl.Cfg.TemplateName.str(), "TEST_.TPL   ");
    EXPECT_EQ(tpl.FileName, Settings.DevPath + "TEST_.TPL");
    ASSERT_EQ(tpl.PageCount(), 2);
    EXPECT_EQ(tpl.Pages(0).Name.str(), "General");
    EXPECT_EQ(tpl.Pages(0).HelpContext, 100);
    EXPECT_EQ(tpl.Pages(1).Name.str(), "Codes");
    EXPECT_EQ(tpl.Pages(1).HelpContext, -1);
}

TEST_F(TemplateReaderTest, FixtureEntries)
{
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    struct Row {
        int page, index;
        const char *name;
        uint8_t kind;
        std::string code;
        const char *valueText;
        uint8_t value;
        int32_t help, valueCount, groupSize, dependents;
    };
    const Row rows[] = {
        {0, 0, "Beeper", trHdr, "", "", 0, 100, 0, 2, 0},
        {0, 1, "Beep", trEnt, "\x1B\x42\x41", "On", 0x01, 100, 2, 0, 2},
        {0, 2, "Volume", trEnt, "\x1B\x42\x56", "Low", 0x00, -1, 2, 0, 0},
        {0, 3, "Timing", trHdr, "", "", 0, 110, 0, 2, 0},
        {0, 4, "Delay", trEnt, "\x1B\x54\x44", "0V", 0x20, 111, 5, 0, 0},
        {0, 5, "Range", trEnt, "\x1B\x52\x52", "$10", 0x10, -1, 16, 0, 0},
        {0, 6, "Extra", trHdr, "", "", 0, -1, 0, 1, 0},
        {0, 7, "Turbo", trEnt, "\x1B\x54\x42", "Off", 0x00, -1, 2, 0, 0},
        {0, 8, "Empty", trHdr, "", "", 0, -1, 0, 0, 0},
        {1, 0, "Prefix", trHdr, "", "", 0, -1, 0, 2, 0},
        {1, 1, "Prefix", trEnt, "\x1B\x50\x31", "A", 0x41, -1, 95, 0, 0},
        {1, 2, "WidthLSB", trEnt, "\x1B\x57\x4C", "$00", 0x00, -1, 256, 0, 0},
    };
    EXPECT_EQ(tpl.Pages(0).Count(), 9);
    EXPECT_EQ(tpl.Pages(1).Count(), 3);
    for (const Row &r : rows) {
        const TTplEnt &e = tpl.Pages(r.page).Entries(r.index);
        SCOPED_TRACE(r.name);
        EXPECT_EQ(e.Name.str(), r.name);
        EXPECT_EQ(e.Kind, r.kind);
        EXPECT_EQ(e.Code.str(), r.code);
        EXPECT_EQ(e.ValueText.str(), r.valueText);
        EXPECT_EQ(e.Value, r.value);
        EXPECT_EQ(e.HelpContext, r.help);
        EXPECT_EQ(e.ValueCount(), r.valueCount);
        EXPECT_EQ(e.GroupSize, r.groupSize);
        EXPECT_EQ(e.DependentCount, r.dependents);
        EXPECT_EQ(e.Index, r.index);
        EXPECT_FALSE(e.Unset);
    }
    const TTplEnt &range = tpl.Pages(0).Entries(5);
    EXPECT_TRUE(range.IsOverflow);
    EXPECT_EQ(tpl.Pages(1).Entries(1).ArrayIndex, 1);
    EXPECT_EQ(tpl.Pages(1).Entries(2).ByteOrder, 1);

    TTplValueInfo info;
    tpl.Pages(0).Entries(2).GetValueInfo(1, info);
    EXPECT_EQ(info.Name.str(), "High");
    EXPECT_EQ(info.Code, 0x01);
    EXPECT_EQ(info.Question.str(), "Really loud");

    const TTplEnt &delay = tpl.Pages(0).Entries(4);
    Strings names;
    for (int32_t i = 0; i < delay.ValueCount(); ++i) {
        delay.GetValueInfo(i, info);
        names.push_back(info.Name.str() + "=" + std::to_string(info.Code));
    }
    EXPECT_EQ(names, (Strings {"0V=32", "0.25V=33", "0.5V=34", "0.75V=35", "1V=36"}));

    EXPECT_EQ(visibleNames(tpl.Pages(0)), (Strings {"Beeper", "Beep", "Volume", "Timing", "Delay", "Range", "Empty"}));
    EXPECT_EQ(visibleNames(tpl.Pages(1)), (Strings {"Prefix", "Prefix", "WidthLSB"}));
}

TEST_F(TemplateReaderTest, OnlyTheBlocksOfTheUsersLevelAreRead)
{
    Settings.Level = 1;
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    ASSERT_EQ(tpl.PageCount(), 1);
    EXPECT_EQ(tpl.Pages(0).Name.str(), "Basic page");
    EXPECT_EQ(tpl.Pages(0).Entries(0).Name.str(), "Only");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Basic reader");
    EXPECT_EQ(tpl.Info.str(), " Basic");

    // A plain STR counts as level 99; every matching block is read.
    Settings.Level = 99;
    ASSERT_TRUE(loadText(tpl, "STR: A\nPAG: One\nSTR_1: B\nPAG: Skipped\nSTR_99: C\nPAG: Two\n"));
    ASSERT_EQ(tpl.PageCount(), 2);
    EXPECT_EQ(tpl.Pages(1).Name.str(), "Two");
    EXPECT_EQ(Settings.DeviceTitle.str(), "C");
}

TEST_F(TemplateReaderTest, StrLineFields)
{
    TTemplate tpl;
    ASSERT_TRUE(loadText(tpl, "STR_99:  , HELP.CHM ,Info, more # 3\n"));
    EXPECT_EQ(Settings.DeviceTitle.str(), tpl.FileName);   // empty title: the template's path
    EXPECT_EQ(tpl.HelpFile.str(), "HELP.CHM ");
    EXPECT_EQ(tpl.Info.str(), "Info");
    ASSERT_TRUE(loadText(tpl, "STR_99: Title\n"));
    EXPECT_EQ(tpl.HelpFile.str(), "");
    EXPECT_EQ(AppHelpFile, Settings.DevPath);
}

TEST_F(TemplateReaderTest, DefinitionsOnlyAndMissingFiles)
{
    TTemplate tpl;
    ASSERT_TRUE(loadText(tpl, "DEF: A\nVAL: x, 1\nPAG: ignored before STR\n"));
    EXPECT_TRUE(tpl.IsEmpty());
    EXPECT_EQ(tpl.DefCount(), 1);

    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    const std::string fileName = tpl.FileName;
    EXPECT_FALSE(tpl.LoadFromFile("NOPE.TPL"));
    EXPECT_FALSE(tpl.LoadFromFile(""));
    EXPECT_EQ(tpl.PageCount(), 2);
    EXPECT_EQ(tpl.FileName, fileName);
}

TEST_F(TemplateReaderTest, NameIsLocalizedAndFoundWithoutRegardToCase)
{
    writeTemplate("reab.tpl", "STR: B\nPAG: Localized\n");
    Settings.Language = "B";
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("REA_.TPL"));
    EXPECT_EQ(tpl.Pages(0).Name.str(), "Localized");
    EXPECT_EQ(tpl.Cfg.TemplateName.str(), "REAB.TPL    ");
}

TEST_F(TemplateReaderTest, DefinitionUseAndHelpInheritance)
{
    TTemplate tpl;
    ASSERT_TRUE(loadText(tpl, "DEF: Yes\nVAL: Y, 1\nDEF: Yes\nVAL: Last, 2\nSTR: T\n"
                              "DEF: Yes\n"                                   // no entry yet: nothing
                              "PAG: P #7\nHDR: H\nENT: A,010203=x,0 #0\nDEF: Yes\nDEF: None\n"
                              "HDR: G #0\nENT: B,010204=x,0 #0\nHDR: I #9\nENT: C,010205=x,0\n"));
    const TTplPag &p = tpl.Pages(0);
    EXPECT_EQ(p.Entries(0).HelpContext, -1);   // no "#": no inheritance
    EXPECT_EQ(p.Entries(1).HelpContext, -1);   // inherits the header's -1
    ASSERT_EQ(p.Entries(1).Count(), 1);
    EXPECT_EQ(p.Entries(1).Values(0).Name.str(), "Last");   // the last definition of that name
    EXPECT_EQ(p.Entries(2).HelpContext, 7);
    EXPECT_EQ(p.Entries(3).HelpContext, 7);
    EXPECT_EQ(p.Entries(5).HelpContext, -1);
}

TEST_F(TemplateReaderTest, LongDefinitionNamesAndEmptyConditions)
{
    // A definition name of 35 characters is kept cut to 30; its use, written out in full, finds it. An entry
    // line ending in " @" has no condition and shows.
    const std::string name(35, 'd');
    TTemplate tpl;
    ASSERT_TRUE(loadText(tpl, "DEF: " + name + "\nVAL: On, 1\nSTR: T\nPAG: P\n"
                              "ENT: A,010203=On,1 @\nDEF: " + name + "\nENT: B,010204=x,0 @ \n"));
    const TTplPag &p = tpl.Pages(0);
    ASSERT_EQ(p.Count(), 2);
    EXPECT_EQ(p.Entries(0).ValueCount(), 1);
    EXPECT_EQ(p.Entries(0).Cond, nullptr);
    EXPECT_EQ(visibleNames(p), (Strings {"A", "B"}));
}

TEST_F(TemplateReaderTest, ValueLinesOfASkippedBlockDoNotReachAnEarlierEntry)
{
    TTemplate tpl;
    ASSERT_TRUE(loadText(tpl, "STR_99: A\nPAG: P\nENT: First,010203=x,0\nVAL: x, 0\n"
                              "STR_1: B\nPAG: Q\nENT: Skipped,010204=y,0\nVAL: q, 1\n"
                              "STR_99: C\nENT: Orphan,010205=y,0\nVAL: y, 1\nHEX: 10..1F\nDEF: None\n"));
    ASSERT_EQ(tpl.PageCount(), 1);
    ASSERT_EQ(tpl.Pages(0).Count(), 1);
    EXPECT_EQ(tpl.Pages(0).Entries(0).Count(), 1);
    EXPECT_EQ(tpl.Pages(0).Entries(0).ValueCount(), 1);
}

TEST_F(TemplateReaderTest, LineEndsAndLongLines)
{
    TTemplate tpl;
    // The second long line holds another page line after its 255th character.
    ASSERT_TRUE(loadText(tpl, "STR: T\rPAG: Cr\r\nPAG: CrLf\nPAG: " + std::string(300, 'n') + "\nPAG: " +
                                  std::string(250, 'x') + "PAG: Extra\nPAG: Last"));
    ASSERT_EQ(tpl.PageCount(), 5);
    EXPECT_EQ(tpl.Pages(0).Name.str(), "Cr");
    EXPECT_EQ(tpl.Pages(1).Name.str(), "CrLf");
    EXPECT_EQ(tpl.Pages(2).Name.str(), std::string(30, 'n'));
    EXPECT_EQ(tpl.Pages(4).Name.str(), "Last");   // the rest of a long line is dropped, not read as a line
}

TEST_F(TemplateReaderTest, PrivateTemplateLeavesTheSettingsAlone)
{
    Settings.DeviceTitle = "Current";
    AppHelpFile = "current.chm";
    TTemplate own(TemplateScope::Private);
    ASSERT_TRUE(own.LoadFromFile("TEST_.TPL"));
    EXPECT_EQ(own.PageCount(), 2);
    EXPECT_EQ(own.HelpFile.str(), "TEST.HLP");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Current");
    EXPECT_EQ(AppHelpFile, "current.chm");
}

TEST_F(TemplateReaderTest, ShowInfoText)
{
    TTemplate tpl;
    ASSERT_TRUE(tpl.LoadFromFile("TEST_.TPL"));
    tpl.ShowInfo();
    EXPECT_EQ(ui.texts(testsupport::ScriptedUi::Kind::Information),
              Strings {"Device: Test reader\rTemplate: TEST_.TPL\r Line one\rLine two"});
}

// Truncated files, binary bytes and overlong lines: loading always ends and the model stays consistent.
TEST_F(TemplateReaderTest, DamagedInputNeverBreaksLoading)
{
    std::mt19937 random(20240611);
    auto pick = [&](std::string_view chars) { return chars[random() % chars.size()]; };
    const std::string fixture = kTestTemplate;
    const std::string tags[] = {"STR:", "STR_99:", "PAG:", "HDR:", "ENT:", "VAL:", "HEX:", "NUM:", "CHR:", "DEF:", "X:"};
    const std::string_view grammar = "0123456789ABCDEFabc ,.=@&|<>#;?$[]~_:-eE\t";

    std::vector<std::string> files;
    for (std::size_t n = 0; n <= fixture.size(); n += 7) files.push_back(fixture.substr(0, n));
    for (int f = 0; f < 60; ++f) {
        std::string text;
        for (int line = 0; line < 80; ++line) {
            const int shape = int(random() % 10);
            if (shape == 0) {   // binary bytes
                for (int i = int(random() % 300); i > 0; --i) text += char(random() % 256);
            } else if (shape == 1) {   // an overlong line
                text += tags[random() % std::size(tags)] + std::string(2000 + random() % 3000, pick(grammar));
            } else {   // a tag with a body made of the grammar's characters
                text += tags[random() % std::size(tags)];
                for (int i = int(random() % 60); i > 0; --i) text += pick(grammar);
            }
            text += (random() % 2) ? "\r\n" : "\n";
        }
        files.push_back(text);
    }

    for (const std::string &text : files) {
        TTemplate tpl;
        ASSERT_TRUE(loadText(tpl, text));
        ConfigRecords records;
        for (int i = 0; i < 40; ++i) records.push_back(std::string(1 + random() % 6, char(random() % 256)));
        tpl.ApplyConfiguration(records);
        tpl.UpdateVisible();
        for (int32_t p = 0; p < tpl.PageCount(); ++p) {
            TTplPag &page = tpl.Pages(p);
            ASSERT_LE(page.VisibleCount(), page.Count());
            for (int32_t i = 0; i < page.Count(); ++i) {
                TTplEnt &e = page.Entries(i);
                ASSERT_EQ(e.Index, i);
                ASSERT_LE(e.Code.size(), 5u);
                TTplValueInfo info;
                e.GetValueInfo(e.ValueCount() - 1, info);
                tpl.SetEntryValue(e, uint8_t(random() % 256));
            }
        }
        for (const std::string &record : tpl.GetConfiguration()) ASSERT_LE(record.size(), 6u);
    }
}

// Hostile templates: every parameter uses one large definition, or names in its condition an entry that is not
// there. Neither costs more than the file's size in memory or time.
TEST_F(TemplateReaderTest, LargeDefinitionUsesAndConditionsLoadInLinearTimeAndMemory)
{
    const auto peakRssKiB = [] {
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    };
    std::string uses = "DEF: Many\n";
    for (int i = 0; i < 2000; ++i) uses += "VAL: v" + std::to_string(i) + ", 01\n";
    uses += "STR: T\nPAG: P\n";
    for (int i = 0; i < 2000; ++i) uses += "ENT: E" + std::to_string(i) + ",010203=x,0\nDEF: Many\n";
    const long rssBefore = peakRssKiB();
    TTemplate shared;
    ASSERT_TRUE(loadText(shared, uses));
    EXPECT_LT(peakRssKiB() - rssBefore, 256 * 1024);   // copies of the lines took over 500 MB
    ASSERT_EQ(shared.Pages(0).Entries(1999).Count(), 2000);
    EXPECT_EQ(shared.Pages(0).Entries(1999).Values(1999).Name.str(), "v1999");

    std::string conditions = "STR: T\nPAG: P\n";
    for (int i = 0; i < 40000; ++i)
        conditions += "ENT: E" + std::to_string(i) + ",010203=x,0 @Missing" + std::to_string(i) + "=x\n";
    const auto start = std::chrono::steady_clock::now();
    TTemplate conditional;
    ASSERT_TRUE(loadText(conditional, conditions));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    conditional.UpdateVisible();
    EXPECT_EQ(conditional.Pages(0).VisibleCount(), 0);
}
