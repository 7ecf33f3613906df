#include "TemplateFixture.h"

#include "model/CfgFile.h"
#include "model/SettingsModule.h"

#include <filesystem>

#include <sys/stat.h>

using namespace std::string_literals;
using Strings = std::vector<std::string>;

namespace {

// Three parameters on two pages, one header.
const char *const kThreeParameters = "STR: T\nPAG: One\nENT: A,1B4141=x,01\nVAL: x, 01\nVAL: w, 09\nHDR: H\n"
                                     "ENT: B,1B4142=y,02\nVAL: y, 02\nPAG: Two\nENT: C,1B4143=z,03\nVAL: z, 03\n";

} // namespace

class ConfigFileTest : public TemplateFixture {
protected:
    void SetUp() override
    {
        TemplateFixture::SetUp();
        LastConfigFile.clear();
        Settings.DefTpl = "TEST_.TPL";
        ASSERT_TRUE(tpl.LoadFromFile(Settings.DefTpl));
    }

    // Saves through a scripted dialog that picks `name` in the temporary folder.
    std::string save(const TTemplate &t, const std::string &name)
    {
        const std::string path = dir.file(name);
        ui.chooseFile(path);
        t.SaveConfiguration();
        return path;
    }
    std::string cfgFile(const std::string &name, const std::string &bytes) { return dir.write(name, bytes); }

    TTemplate tpl;
};

TEST_F(ConfigFileTest, SavesTheNameFieldAndEveryParameterInPageOrder)
{
    TTemplate three;
    ASSERT_TRUE(loadText(three, kThreeParameters));
    three.ApplyConfiguration({"\x1B\x41\x41\x09", "\x1B\x41\x43\x03"});   // leaves B unset
    const std::string path = save(three, "three.cfg");
    EXPECT_EQ(dir.read("three.cfg"), "T.TPL       \x1B\x41\x41\x09\x1B\x41\x42\x02\x1B\x41\x43\x03");
    EXPECT_EQ(LastConfigFile, path);

    ASSERT_EQ(ui.dialogRequests().size(), 1u);
    const FileDialogRequest &request = ui.dialogRequests()[0];
    EXPECT_EQ(request.initialDir, Settings.DevPath);
    EXPECT_EQ(request.fileName, "*.cfg");
    EXPECT_EQ(request.defaultExt, "cfg");

    save(tpl, "fixture.cfg");
    EXPECT_EQ(dir.read("fixture.cfg"), "TEST_.TPL   "
                                       "\x1B\x42\x41\x01\x1B\x42\x56\x00\x1B\x54\x44\x20\x1B\x52\x52\x10"
                                       "\x1B\x54\x42\x00\x1B\x50\x31\x41\x1B\x57\x4C\x00"s);
}

TEST_F(ConfigFileTest, ParametersWhoseCodeIsNot3BytesAreNotWritten)
{
    TTemplate odd;
    ASSERT_TRUE(loadText(odd, "STR: T\nPAG: P\nENT: Short,1B42=a,01\nENT: Good,1B4243=b,02\nENT: Long,1B424344=c,03\n"
                              "ENT: None,=d,04\n"));
    save(odd, "odd.cfg");
    EXPECT_EQ(dir.read("odd.cfg"), "T.TPL       \x1B\x42\x43\x02");
}

TEST_F(ConfigFileTest, OverwriteOnlyWhenConfirmed)
{
    const std::string path = cfgFile("old.cfg", "old");
    ui.answer(false);
    save(tpl, "old.cfg");
    EXPECT_EQ(ui.questions(), Strings {"Overwrite configuration?"});
    EXPECT_EQ(dir.read("old.cfg"), "old");
    EXPECT_EQ(LastConfigFile, "");

    ui.chooseFile(std::nullopt);   // cancelled dialog
    tpl.SaveConfiguration();
    EXPECT_EQ(LastConfigFile, "");

    ui.answer(true);
    save(tpl, "old.cfg");
    EXPECT_EQ(dir.read("old.cfg").size(), 40u);
    EXPECT_EQ(LastConfigFile, path);
}

TEST_F(ConfigFileTest, WriteFailureWarnsAndLeavesNothingBehind)
{
    const std::string missingDir = save(tpl, "nowhere/a.cfg");
    std::filesystem::create_directory(dir.file("taken.cfg"));   // a name that cannot be replaced by a file
    ui.answer(true);
    const std::string taken = save(tpl, "taken.cfg");
    ::chmod(dir.write("locked.cfg", "old").c_str(), 0444);   // read-only: refused to the superuser too
    ui.answer(true);
    const std::string locked = save(tpl, "locked.cfg");
    EXPECT_EQ(ui.warnings(),
              (Strings {"Can't write to " + missingDir, "Can't write to " + taken, "Can't write to " + locked}));
    EXPECT_EQ(LastConfigFile, "");
    EXPECT_EQ(dir.read("locked.cfg"), "old");
    int files = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 3);   // dev/, taken.cfg/ and locked.cfg: no half-written or temporary file
}

TEST_F(ConfigFileTest, RoundTrip)
{
    tpl.SetEntryValue(entry(tpl, 0, "Beep"), 0);
    tpl.SetEntryValue(entry(tpl, 0, "Delay"), 0x23);
    tpl.SetEntryValue(entry(tpl, 1, "WidthLSB"), 0xAB);
    const ConfigRecords before = tpl.GetConfiguration();
    const std::string path = save(tpl, "round.cfg");

    TTemplate other;
    ASSERT_TRUE(other.LoadFromFile("TEST_.TPL"));
    other.LoadConfiguration(path);
    EXPECT_EQ(other.GetConfiguration(), before);
    EXPECT_EQ(entry(other, 0, "Delay").ValueText.str(), "0.75V");
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(ui.warnings().empty());
}

TEST_F(ConfigFileTest, SameTemplateIsAppliedAtOnceWithoutRegardToCase)
{
    Settings.DefTpl = "test_.tpl";
    tpl.LoadConfiguration(cfgFile("a.cfg", "test_.tpl   \x1B\x42\x41\x00"s));
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(entry(tpl, 0, "Beep").ValueText.str(), "Off");
    EXPECT_EQ(entry(tpl, 0, "Volume").ValueText.str(), "*Entry not found");
    EXPECT_EQ(Settings.DefTpl, "test_.tpl");
}

TEST_F(ConfigFileTest, ANameCutTo12BytesStillNamesItsTemplate)
{
    writeTemplate("Scanner_V2.tpl", kThreeParameters);
    Settings.DefTpl = "SCANNER_V2.TPL";
    ASSERT_TRUE(tpl.LoadFromFile(Settings.DefTpl));
    tpl.SetEntryValue(entry(tpl, 0, "A"), 0x09);
    const std::string path = save(tpl, "long.cfg");
    EXPECT_EQ(dir.read("long.cfg").substr(0, 12), "Scanner_V2.t");

    tpl.SetEntryValue(entry(tpl, 0, "A"), 0x01);
    tpl.LoadConfiguration(path);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(entry(tpl, 0, "A").ValueText.str(), "w");

    // Only a full field is taken as the start of a longer name.
    struct Case {
        const char *stored, *file;
        bool same;
    };
    const Case cases[] = {
        {"SCANNER_V2.T", "scanner_v2.tpl", true}, {"SCANNER_V2.T", "SCANNER_V3.TPL", false},
        {"SCANNER_V2.T", "SCANNER_V2.T", true},   {"SCAN.TP", "SCAN.TPL", false},
        {"SCAN.TPL", "scan.tpl", true},
    };
    for (const Case &c : cases) EXPECT_EQ(CfgNamesTemplate(c.stored, c.file), c.same) << c.stored << " " << c.file;
}

TEST_F(ConfigFileTest, AnotherTemplateIsLoadedFromTheDeviceFolder)
{
    writeTemplate("other.tpl", "STR: Other reader\nPAG: P\nENT: Beep,1B4241=Loud,05\nVAL: Quiet, 00\n");
    tpl.LoadConfiguration(cfgFile("a.cfg", "OTHER.TPL   \x1B\x42\x41\x00"s));
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(Settings.DefTpl, "OTHER.TPL");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Other reader");
    ASSERT_EQ(tpl.PageCount(), 1);
    EXPECT_EQ(tpl.Pages(0).Entries(0).ValueText.str(), "Quiet");
}

TEST_F(ConfigFileTest, UnknownTemplateAsksBeforeApplying)
{
    const std::string path = cfgFile("nope.cfg", "NOPE.TPL    \x1B\x42\x41\x00"s);
    ui.answer(false);
    tpl.LoadConfiguration(path);
    EXPECT_EQ(ui.questions(), Strings {"Template:NOPE.TPL not found.\rLoad anyway?"});
    EXPECT_EQ(entry(tpl, 0, "Beep").ValueText.str(), "On");
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");

    ui.answer(true);
    tpl.LoadConfiguration(path);
    EXPECT_EQ(entry(tpl, 0, "Beep").ValueText.str(), "Off");
    EXPECT_EQ(entry(tpl, 0, "Volume").ValueText.str(), "*Entry not found");
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");
}

TEST_F(ConfigFileTest, UnreadableFilesChangeNothing)
{
    writeTemplate("other.tpl", "STR: Other\nPAG: P\n");
    const std::string paths[] = {
        cfgFile("short.cfg", "TEST_.TPL  "),                         // 11 bytes
        cfgFile("stray.cfg", "TEST_.TPL    "),                       // 13 bytes
        cfgFile("part.cfg", "OTHER.TPL   \x1B\x42\x41\x00\x1B\x42"s),   // names another template
        dir.file("missing.cfg"),
        dir.file("dev"),
    };
    Strings expected;
    for (const std::string &path : paths) {
        tpl.LoadConfiguration(path);
        expected.push_back("Can't read " + path);
    }
    EXPECT_EQ(ui.warnings(), expected);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(tpl.PageCount(), 2);
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");
    EXPECT_EQ(entry(tpl, 0, "Beep").ValueText.str(), "On");
    EXPECT_FALSE(entry(tpl, 0, "Beep").Unset);
}

TEST_F(ConfigFileTest, PrivateTemplateComparesWithItsOwnFile)
{
    writeTemplate("other.tpl", "STR: Other reader\nPAG: P\nENT: Beep,1B4241=Loud,05\nVAL: Quiet, 00\n");
    Settings.DeviceTitle = "Test reader";
    TTemplate own(TemplateScope::Private);
    ASSERT_TRUE(own.LoadFromFile("OTHER.TPL"));
    own.LoadConfiguration(cfgFile("a.cfg", "OTHER.TPL   \x1B\x42\x41\x00"s));
    EXPECT_EQ(own.Pages(0).Entries(0).ValueText.str(), "Quiet");

    own.LoadConfiguration(cfgFile("b.cfg", "TEST_.TPL   \x1B\x42\x41\x00"s));
    EXPECT_EQ(own.PageCount(), 2);
    EXPECT_EQ(entry(own, 0, "Beep").ValueText.str(), "Off");
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(Settings.DefTpl, "TEST_.TPL");
    EXPECT_EQ(Settings.DeviceTitle.str(), "Test reader");
}

TEST_F(ConfigFileTest, SharedReaderGivesNameAndRecords)
{
    const CfgFileContents cfg = ReadCfgFile(cfgFile("a.cfg", " abc.tpl    12345678"));
    EXPECT_EQ(cfg.TemplateName, "ABC.TPL");
    EXPECT_EQ(cfg.Records, (ConfigRecords {"1234", "5678"}));
    EXPECT_THROW(ReadCfgFile(cfgFile("b.cfg", "abc.tpl     12345")), CfgFileError);
    EXPECT_THROW(ReadCfgFile(dir.file("none.cfg")), CfgFileError);
}
