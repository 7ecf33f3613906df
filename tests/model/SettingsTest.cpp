#include "SettingsFixture.h"

#include "common/ByteDisplay.h"
#include "platform/IniFile.h"
#include "platform/Unicode.h"

#include <sys/stat.h>

#include <filesystem>

using Strings = std::vector<std::string>;

namespace {

const char *kFullIni =
    "; Corvane settings\r\n"
    "[Port]\r\nPort=3\r\nBaud=9600\r\nParity=2\r\nData=7\r\nStop=2\r\nMaxPort=8\r\n"
    "[Header]\r\nCustomer=ACME\r\nModel=Line 4\r\nSerNum=0042\r\n"
    "[Misc]\r\nDebug=1\r\nNoBmp=1\r\nToolbar=0\r\nSerialStart=258\r\nSerialStop=4\r\nInches=1\r\nLanguage=de\r\n"
    "Level=1\r\nDefTimeout=36\r\nAutoBaud=9600,4800\r\nAutoMode=1\r\nUnknownKey=kept\r\n"
    "[Remoted]\r\nMasterHostMode=1B3031\r\nRemotedSendDelay=5\r\nDefMulti=Bus A\r\nMultiPersistent=0\r\n"
    "[Reserved]\r\nCustomBtn1=Beep,Make a beep,1B4242\r\n"
    "[TermMacros]\r\n; my macros\r\nzeta=5A\r\nAlpha=41420\r\n"
    "[Overflow]\r\nS1=10,20,30\r\n"
    "[Special]\r\nDownload=TARSEL.DLL $DEV,$COM\r\n"
    "[Languages]\r\nEnglish=_\r\nDeutsch=D\r\n"
    "[Forms]\r\nTerm=10,20\r\nLoadCfg=1,2,300,400\r\nLoadCfgSplit=50,60\r\n"
    "[M100]\r\nDevPath=dev\r\nDevTpl=M100_.TPL\r\nTPL(M100V1.2)=SPECIAL.TPL\r\nCustomBtn2=Shut,Shutter,1B5331\r\n"
    "EEPROMOnly=1\r\nSendDelay=3\r\n"
    "[Bus A]\r\nTitle=Bus A\r\nFirst=1B3031\r\nSecond=1B3032\r\n";

} // namespace

class SettingsTest : public SettingsFixture {};

TEST_F(SettingsTest, NoIniGivesTheDefaults)
{
    ReadSettings();
    const TCVSetup &s = Settings;
    EXPECT_EQ(std::tie(s.Port, s.Baud, s.Parity, s.Data, s.Stop, s.MaxPort), std::make_tuple(1, 19200, 0, 8, 1, 4));
    EXPECT_EQ(s.Level, 99);
    EXPECT_EQ(s.Language.str(), "_");
    EXPECT_EQ(s.DefTimeout, 18);
    EXPECT_TRUE(s.Toolbar);
    EXPECT_EQ(s.SerialStart, 2);
    EXPECT_EQ(s.SerialStop, 3);
    EXPECT_EQ(s.AutoBaudCount, 8);
    EXPECT_EQ(s.AutoBaud[0], 19200);
    EXPECT_EQ(s.AutoBaud[7], 150);
    EXPECT_EQ(s.MasterHostMode.str(), "\x1B[C");
    EXPECT_EQ(s.LanguageList, Strings {"English=_"});
    for (const TFormRect &r : {s.TermBounds, s.LoadCfgBounds})
        EXPECT_EQ(std::tie(r.Left, r.Top, r.Width, r.Height), std::make_tuple(-1, -1, -1, -1));
    EXPECT_EQ(s.LoadCfgSplit, (std::array<int32_t, 2> {-1, -1}));
    EXPECT_FALSE(IsRemoted());
}

TEST_F(SettingsTest, ReadsEverySection)
{
    writeIni(kFullIni);
    ReadSettings();
    const TCVSetup &s = Settings;
    EXPECT_EQ(std::tie(s.Port, s.Baud, s.Parity, s.Data, s.Stop, s.MaxPort), std::make_tuple(3, 9600, 2, 7, 2, 8));
    EXPECT_EQ(s.Customer.str(), "ACME");
    EXPECT_EQ(s.SerNum.str(), "0042");
    EXPECT_TRUE(s.Debug && s.NoBmp && s.Inches);
    EXPECT_FALSE(s.Toolbar);
    EXPECT_EQ(s.SerialStart, 2);   // 258 kept in 8 bits
    EXPECT_EQ(s.Language.str(), "d");
    EXPECT_EQ(s.AutoBaudCount, 2);
    EXPECT_EQ(s.MasterHostMode.str(), "\x1B" "01");
    EXPECT_EQ(s.RemotedSendDelay, 5);
    EXPECT_EQ(s.DefMulti.str(), "Bus A");
    EXPECT_EQ(s.CustomBtnLabel[0].str(), "Beep");
    EXPECT_EQ(s.CustomBtnCaption[0].str(), "Make a beep");
    EXPECT_EQ(s.CustomBtnCommand[0].str(), "\x1B" "BB");
    EXPECT_EQ(s.TermMacroList, (Strings {"Alpha=AB", "zeta=Z"}));   // sorted without regard to case
    EXPECT_EQ(s.OverflowList, Strings {"S1=10,20,30"});
    EXPECT_EQ(s.SpecialList, Strings {"Download=TARSEL.DLL $DEV,$COM"});
    EXPECT_EQ(s.LanguageList, (Strings {"English=_", "Deutsch=D"}));
    EXPECT_EQ(std::tie(s.TermBounds.Left, s.TermBounds.Top, s.TermBounds.Width, s.TermBounds.Height),
              std::make_tuple(10, 20, -1, -1));
    EXPECT_EQ(s.LoadCfgBounds.Height, 400);
    EXPECT_EQ(s.LoadCfgSplit, (std::array<int32_t, 2> {50, 60}));
    EXPECT_TRUE(IsRemoted());   // the master's own command is ESC "01", entry 0 is still ESC "[C"
}

TEST_F(SettingsTest, WriteChangesOnlyTheFixedPart)
{
    writeIni(kFullIni);
    ReadSettings();
    WriteSettings();
    // The values read are written back unchanged, except SerialStart and Language (cut to 8 bits and one letter)
    // and Term (all four parts); the rest stays byte for byte, the macros with their comment and odd last digit.
    std::string expected = kFullIni;
    auto replace = [&](const std::string &from, const std::string &to) {
        auto pos = expected.find(from);
        ASSERT_NE(pos, std::string::npos) << from;
        expected.replace(pos, from.size(), to);
    };
    replace("SerialStart=258", "SerialStart=2");
    replace("Language=de", "Language=d");
    replace("[Forms]\r\nTerm=10,20\r\n", "[Forms]\r\nTerm=10,20,-1,-1\r\n");
    EXPECT_EQ(ini(), expected);
}

// The INI may be a link to a shared file: the shared file is updated and the link stays. A read-only INI is
// reported and stays as it was.
TEST_F(SettingsTest, TheIniIsWrittenThroughItsLinkAndAReadOnlyOneIsReportedNotReplaced)
{
    std::filesystem::create_directories(dir.path() / "shared");
    const std::string shared = dir.write("shared/corvane.ini", "[Special]\r\nTool=tool\r\n");
    std::filesystem::create_symlink(shared, dir.file("CORVANE.INI"));
    ReadSettings();
    Settings.Port = 3;
    WriteSettings();
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("CORVANE.INI")));
    EXPECT_NE(dir.read("shared/corvane.ini").find("[Port]\r\nPort=3\r\n"), std::string::npos);
    EXPECT_NE(dir.read("shared/corvane.ini").find("Tool=tool"), std::string::npos);

    const std::string before = dir.read("shared/corvane.ini");
    ::chmod(shared.c_str(), 0444);
    Settings.Port = 4;
    try {
        WriteSettings();
        ADD_FAILURE() << "a read-only INI was written";
    } catch (const IniError &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.file("CORVANE.INI") + ": Permission denied");
    }
    EXPECT_EQ(dir.read("shared/corvane.ini"), before);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("CORVANE.INI")));
}

// Names that the INI would read back as a section header, a comment, another name or the same key are never
// written: every macro written reads back as it was.
TEST_F(SettingsTest, MacroNamesThatCannotBeKeysAreNotWritten)
{
    Settings.TermMacroList = {"A=A", "[B]=B", ";C=C", " D=D", "E =E", "a=x", "F\tG=F", "H=H"};
    WriteSettings();
    ReadSettings();
    EXPECT_EQ(Settings.TermMacroList, (Strings {"A=A", "H=H"}));
}

TEST_F(SettingsTest, OddValuesOfMiscAndAutoBaud)
{
    writeIni("[Misc]\nLanguage=\nAutoBaud=1,2,3,4,5,6,7,8,9,10,11,12,13\nLevel=abc\n");
    ReadSettings();
    EXPECT_EQ(Settings.Language.str(), "_");
    EXPECT_EQ(Settings.AutoBaudCount, 11);
    EXPECT_EQ(Settings.AutoBaud[10], 11);
    EXPECT_EQ(Settings.Level, 99);

    writeIni("[Misc]\nAutoBaud=\n");
    ReadSettings();
    EXPECT_EQ(Settings.AutoBaudCount, 0);
}

TEST_F(SettingsTest, OneBadHexValueKeepsItsDefaultAndTheRestIsRead)
{
    writeIni("[Remoted]\nMasterHostMode=1BZZ\n"
             "[Reserved]\nCustomBtn1=A,B,1BXX\nCustomBtn2=C,D,1B43\n"
             "[TermMacros]\nBad=41G1\nGood=4243\n"
             "[Special]\nTool=x.dll\n[Forms]\nTerm=5,6,7,8\n");
    EXPECT_THROW(ReadSettings(), HexConvertError);
    EXPECT_EQ(Settings.MasterHostMode.str(), "\x1B[C");
    EXPECT_EQ(Settings.CustomBtnCommand[0].str(), "\x1B");
    EXPECT_EQ(Settings.CustomBtnCommand[1].str(), "\x1B" "C");
    EXPECT_EQ(Settings.TermMacroList, (Strings {"Bad=A", "Good=BC"}));
    EXPECT_EQ(Settings.SpecialList, Strings {"Tool=x.dll"});
    EXPECT_EQ(Settings.TermBounds.Height, 8);

    WriteSettings();
    IniDocument doc = IniDocument::Load(IniPath());
    EXPECT_EQ(doc.ReadString("TermMacros", "Good", ""), "4243");
    EXPECT_EQ(doc.ReadString("Forms", "Term", ""), "5,6,7,8");
}

TEST_F(SettingsTest, ModelSectionReplacesThePreviousModelsValues)
{
    writeIni(kFullIni);
    ReadSettings();

    ReadModelSettings("M100");
    EXPECT_EQ(Settings.DevPath, "dev/");
    EXPECT_EQ(Settings.DevTpl, "M100_.TPL");
    EXPECT_TRUE(Settings.EEPROMOnly);
    EXPECT_EQ(Settings.SendDelay, 3);
    // A device folder with only its own second button empties the other two.
    EXPECT_EQ(Settings.CustomBtnLabel[0].str(), "");
    EXPECT_EQ(Settings.CustomBtnCommand[1].str(), "\x1B" "S1");
    EXPECT_EQ(Settings.CustomBtnLabel[2].str(), "");

    // A model without a device folder gets the general buttons back, not M100's.
    ReadModelSettings("M200");
    EXPECT_EQ(Settings.DevPath, "");
    EXPECT_FALSE(Settings.EEPROMOnly);
    EXPECT_EQ(Settings.CustomBtnLabel[0].str(), "Beep");
    EXPECT_EQ(Settings.CustomBtnLabel[1].str(), "");
}

TEST_F(SettingsTest, ModelTemplateKeyAndDevicePath)
{
    writeIni(kFullIni + std::string("[DB]\nDevPath=C:\\cfg\\x\n"));
    EXPECT_EQ(ReadModelTemplateName("M100", "M100 V1.2\r\n"), "SPECIAL.TPL");
    EXPECT_EQ(ReadModelTemplateName("M100", "M100 V9"), "");
    EXPECT_EQ(ReadModelDevPath("DB"), "C:/cfg/x/");
    EXPECT_EQ(ReadModelDevPath("Nothing"), "");
}

TEST_F(SettingsTest, MultiSectionRules)
{
    writeIni("[Remoted]\nDefMulti=Bus A\nMultiPersistent=0\n"
             "[Bus A]\nTitle=First title\nA=1B3031\nTITLE=Bus A\nB=1B3032\n"
             "[M9-Multi]\nTitle=Only a title\n");
    ReadSettings();
    ReadMultiSection(true);
    EXPECT_EQ(Settings.MultiTitle.str(), "First title");
    EXPECT_EQ(Settings.MultiList, (Strings {"Title=First title", "A=1B3031", "B=1B3032"}));   // last TITLE line gone
    EXPECT_FALSE(Settings.MultiHeld);

    Settings.ModelName = "M9";
    ReadMultiSection(false);   // only a title: the previous menu stays
    EXPECT_EQ(Settings.MultiTitle.str(), "First title");
    EXPECT_EQ(Settings.MultiList.size(), 3u);

    writeIni("[Bus A]\nX=01\n");   // MultiPersistent defaults to on: the list is then held
    ReadMultiSection(true);
    EXPECT_TRUE(Settings.MultiHeld);
    EXPECT_EQ(Settings.MultiTitle.str(), "Multi");
    writeIni("[Bus A]\nY=02\n");
    ReadMultiSection(true);
    EXPECT_EQ(Settings.MultiList, Strings {"X=01"});
}

namespace {
struct FakeForm {
    int l = 1, t = 2, w = 300, h = 200;
    int x() const { return l; }
    int y() const { return t; }
    int width() const { return w; }
    int height() const { return h; }
    void move(int nl, int nt) { l = nl, t = nt; }
    void resize(int nw, int nh) { w = nw, h = nh; }
};
} // namespace

TEST(FormBounds, PartialRectanglesNeverShrinkTheWindow)
{
    FakeForm f;
    RestoreFormBounds(f, TFormRect {10, 20, -1, -1});
    EXPECT_EQ(std::tie(f.l, f.t, f.w, f.h), std::make_tuple(10, 20, 300, 200));
    RestoreFormBounds(f, TFormRect {-1, 5, 5, 5});
    EXPECT_EQ(f.l, 10);
    RestoreFormBounds(f, TFormRect {0, 0, 640, 0});
    EXPECT_EQ(std::tie(f.w, f.h), std::make_tuple(640, 200));
    TFormRect saved;
    SaveFormBounds(f, saved);
    EXPECT_EQ(std::tie(saved.Left, saved.Top, saved.Width, saved.Height), std::make_tuple(0, 0, 640, 200));
}

// An INI saved as Unicode by a Windows editor: its values are used, and each save, as Connect, Setup and exit make
// it, leaves every line as it was but those of the values that changed, text that Windows-1252 lacks included.
TEST_F(SettingsTest, ASaveOfAUnicodeIniChangesOnlyTheLinesOfChangedValues)
{
    const auto text = [](const std::string &port, const std::string &model, const std::string &macros) {
        return "; Einstellungen für Linie 4 — 设置\r\n"
               "[Port]\r\nPort=" + port + "\r\nBaud=9600\r\nParity=0\r\nData=8\r\nStop=1\r\n"
               "[Header]\r\nCustomer=Łódź Sp. z o.o.\r\nModel=" + model + "\r\nSerNum=\r\n"
               "[Misc]\r\nDebug=0\r\nSerialStart=2\r\nSerialStop=3\r\nInches=0\r\nToolbar=1\r\n"
               "Language=_\r\nLevel=99\r\n"
               "[Forms]\r\nTerm=-1,-1,-1,-1\r\nLoadCfg=-1,-1,-1,-1\r\nLoadCfgSplit=-1,-1\r\n"
               "[TermMacros]\r\n; Макросы\r\n" + macros +
               "[Special]\r\nDownload=TARSEL.DLL $DEV,$COM\r\n";
    };
    const std::string macros = "Тест=42\r\nСкан=41\r\nBeep=07\r\n";
    const std::string unknown(4, '?');   // what the two Cyrillic names read as
    for (const bool wide : {false, true}) {
        const auto file = [&](const std::string &t) {
            return wide ? "\xFF\xFE" + Utf8ToUtf16(t, false) : "\xEF\xBB\xBF" + t;
        };
        writeIni(file(text("3", "Müller €", macros)));
        ReadSettings();
        EXPECT_EQ(Settings.Port, 3);
        EXPECT_EQ(Settings.Customer.str(), "?\xF3" "d? Sp. z o.o.");
        EXPECT_EQ(Settings.Model.str(), "M\xFCller \x80");
        EXPECT_EQ(Settings.TermMacroList, (Strings {unknown + "=B", unknown + "=A", "Beep=\a"}));   // each line its own
        EXPECT_EQ(Settings.SpecialList, Strings {"Download=TARSEL.DLL $DEV,$COM"});

        SaveSettings();   // as Connect saves
        EXPECT_EQ(ini(), file(text("3", "Müller €", macros))) << wide;

        Settings.Port = 4;
        Settings.Model = "Sch\xF6n";
        // The first macro edited, Beep deleted, New added.
        Settings.TermMacroList = {unknown + "=C", unknown + "=A", "New=N"};
        SaveSettings();   // as exit saves
        EXPECT_EQ(ini(), file(text("4", "Schön", "Тест=43\r\nСкан=41\r\nNew=4E\r\n"))) << wide;
    }
    EXPECT_TRUE(ui.warnings().empty());
}
