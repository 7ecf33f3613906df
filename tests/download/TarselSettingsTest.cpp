#include "TempDir.h"
#include "download/TarselSettings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

struct SettingsCase {
    const char *text;
    int32_t baud;
    int parity, dataBits, stopBits;
};

struct EscapeCase {
    std::string text, decoded;
};

class TRSBaseTest : public ::testing::Test {
protected:
    void SetUp() override { TarselDir = dir.path().string(); }
    void TearDown() override { TarselDir.clear(); }
    void write(const std::string &text) { dir.write("TARSEL.INI", text); }
    std::string ini() const { return dir.read("TARSEL.INI"); }

    testsupport::TempDir dir;
    TTRSSetup setup;
};

} // namespace

TEST(TRSSetupText, ParseSettingsFillsEveryFieldThatDoesNotReadWithItsDefault)
{
    const SettingsCase cases[] = {
        {"19200,e,7,2", 19200, 2, 7, 2}, {"abc,X", 9600, 0, 8, 1},    {"", 9600, 0, 8, 1},
        {"4800,s,7", 4800, 4, 7, 1},     {"9600,M,8,1,9,9", 9600, 3, 8, 1}, {"1200,odd,x,y", 1200, 1, 8, 1},
        {"$4B0,N", 1200, 0, 8, 1},       {"9600, E,8 ,1", 9600, 0, 8, 1},
    };
    for (const SettingsCase &c : cases) {
        const TLineSettings s = TTRSSetup::ParseSettings(c.text);
        EXPECT_EQ(s.Baud, c.baud) << c.text;
        EXPECT_EQ(s.Parity, c.parity) << c.text;
        EXPECT_EQ(s.DataBits, c.dataBits) << c.text;
        EXPECT_EQ(s.StopBits, c.stopBits) << c.text;
    }
    // Only the first 50 characters count: the stop bits lie beyond them.
    EXPECT_EQ(TTRSSetup::ParseSettings("9600,N,8," + std::string(41, ' ') + "2").StopBits, 1);
}

TEST(TRSSetupText, ParityOfTakesTheFirstLetterOfTenAtMost)
{
    const std::pair<const char *, int> cases[] = {{"odd", 1}, {"Even", 2}, {"m", 3}, {"space", 4}, {"N", 0},
                                                  {"", 0},    {"x", 0},    {" E", 0}, {"S123456789", 4}};
    for (const auto &[text, parity] : cases)
        EXPECT_EQ(TTRSSetup::ParityOf(text), parity) << text;
}

TEST(TRSSetupText, DecodeEscapesTakesThreeDigitsAndDropsBrokenEscapes)
{
    const EscapeCase cases[] = {
        {"\\062\\013", ">\r"},          {"\\1x2", "2"},       {"\\027[C", "\x1B[C"},
        {"\\300", ","},                 {"a\\\\027", "a027"}, {"abc\\", "abc"},
        {"\\12", ""},                   {"\\999!", "\xE7!"},  {"plain text", "plain text"},
        {std::string("\\000", 4), std::string(1, '\0')},
    };
    for (const EscapeCase &c : cases)
        EXPECT_EQ(TTRSSetup::DecodeEscapes(c.text), c.decoded) << c.text;
    EXPECT_EQ(TTRSSetup::DecodeEscapes(std::string(300, 'a')).size(), 255u);
}

TEST_F(TRSBaseTest, LoadDeviceReadsTheDevicesSectionDecodedAndCut)
{
    write("[General]\r\nTitle=My loader\r\n[Devices]\r\nFirst=One\r\nReader=Rdr Section\r\n"
          "[Rdr Section]\r\nStartMsg=Line one\\013Line two\r\nDefSettings=19200,E,7,2\r\nMaxBaud=0x1C200\r\n"
          "Echo=2\r\nNoConnect=0\r\nCRMax=3\r\nCRTicks=abc\r\nCRAnswer=\\062\\013\r\nErrMsg1=Switch it on\r\n"
          "ErrMsg2=\r\nVerCmd=" + std::string(60, 'v') + "\r\nEraseCmd=E\\013\r\nRunCmd=G\\013\r\nRunAnswer=OK\r\n"
          "RunTimeout=36\r\nOpenFilter=Programs|*.hex\r\nTRDLL=quenax.dll\r\nTRCall=Go\r\nTRAbort=Stop\r\n");
    setup.LoadDevice("Reader");

    EXPECT_EQ(setup.Title.str(), "My loader");
    EXPECT_EQ(setup.DeviceName.str(), "Reader");
    EXPECT_EQ(setup.DeviceSection.str(), "Rdr Section");
    EXPECT_EQ(setup.StartMsg.str(), "Line one\rLine two");
    EXPECT_EQ(setup.DefSettings.str(), "19200,E,7,2");
    EXPECT_EQ(setup.LoaderBaud, 19200);
    EXPECT_EQ(setup.LoaderParity, 2);
    EXPECT_EQ(setup.LoaderDataBits, 7);
    EXPECT_EQ(setup.LoaderStopBits, 2);
    EXPECT_EQ(setup.MaxBaud, 115200);
    EXPECT_TRUE(setup.Echo);
    EXPECT_FALSE(setup.NoConnect);
    EXPECT_EQ(setup.CRMax, 3);
    EXPECT_EQ(setup.CRTicks, 2);   // not a number: the default
    EXPECT_EQ(setup.CRAnswer.str(), ">\r");
    EXPECT_EQ(setup.ErrMsg1.str(), "Switch it on");
    EXPECT_EQ(setup.ErrMsg2.str(), "");   // present but empty
    EXPECT_EQ(setup.VerCmd.str(), std::string(50, 'v'));
    EXPECT_EQ(setup.EraseCmd.str(), "E\r");
    EXPECT_EQ(setup.RunCmd.str(), "G\r");
    EXPECT_EQ(setup.RunAnswer.str(), "OK");
    EXPECT_EQ(setup.RunTimeout, 36);
    EXPECT_EQ(setup.OpenFilter.str(), "Programs|*.hex");
    EXPECT_EQ(setup.TRDLL, "quenax.dll");
    EXPECT_EQ(setup.TRCall.str(), "Go");
    EXPECT_EQ(setup.TRAbort.str(), "Stop");
}

TEST_F(TRSBaseTest, AnUnlistedDeviceOrAMissingFileGetsEveryDefault)
{
    write("[Devices]\r\nOther=Rdr\r\n[Rdr]\r\nCRMax=99\r\n[]\r\nCRMax=98\r\n");
    for (bool fileThere : {true, false}) {
        if (!fileThere)
            std::filesystem::remove(dir.file("TARSEL.INI"));
        TTRSSetup fresh;
        fresh.LoadDevice("Reader");
        EXPECT_EQ(fresh.Title.str(), "TARSEL");
        EXPECT_EQ(fresh.DeviceSection.str(), "");
        EXPECT_EQ(fresh.CRMax, 15);
        EXPECT_EQ(fresh.CRTicks, 2);
        EXPECT_EQ(fresh.RunTimeout, 180);
        EXPECT_EQ(fresh.ErrMsg1.str(), "???");
        EXPECT_EQ(fresh.ErrMsg2.str(), "???");
        EXPECT_EQ(fresh.VerCmd.str(), "???");
        EXPECT_EQ(fresh.EraseCmd.str(), "???");
        EXPECT_EQ(fresh.RunCmd.str(), "???");
        EXPECT_EQ(fresh.CRAnswer.str(), "");
        EXPECT_EQ(fresh.OpenFilter.str(), "AllFiles|*.*");
        EXPECT_EQ(fresh.TRDLL, "");
        EXPECT_EQ(fresh.LoaderBaud, 9600);
        EXPECT_EQ(fresh.LoaderDataBits, 8);
        EXPECT_EQ(fresh.LoaderStopBits, 1);
    }
}

TEST_F(TRSBaseTest, TheFileIsFoundWithoutRegardToCase)
{
    dir.write("tarsel.ini", "[General]\nTitle=lower case\n");
    EXPECT_EQ(TarselIniPath(), dir.file("tarsel.ini"));
    setup.LoadDevice("X");
    EXPECT_EQ(setup.Title.str(), "lower case");
}

TEST_F(TRSBaseTest, LoadMRUReadsTheTenKeysInOrderAndSkipsEmptyOnes)
{
    write("[MRU]\r\n03=c.bin\r\n01=a.bin\r\n02=\r\n10=j.bin\r\n11=k.bin\r\n");
    setup.LoadMRU();
    EXPECT_EQ(setup.MRUList, (std::vector<std::string> {"a.bin", "c.bin", "j.bin"}));
}

TEST_F(TRSBaseTest, AddMRUPutsANewFileOnTopAndKeepsTen)
{
    write("; recent files\r\n[Devices]\r\nReader=Rdr\r\n");
    for (int i = 1; i <= 11; ++i)
        setup.AddMRU("/p/file" + std::to_string(i) + ".bin");
    EXPECT_EQ(setup.MRUList.size(), 10u);
    EXPECT_EQ(setup.MRUList.front(), "/p/file11.bin");
    EXPECT_EQ(setup.MRUList.back(), "/p/file2.bin");

    TTRSSetup reread;
    reread.LoadMRU();
    EXPECT_EQ(reread.MRUList, setup.MRUList);
    const std::string text = ini();
    EXPECT_NE(text.find("01=/p/file11.bin\r\n"), std::string::npos);
    EXPECT_NE(text.find("10=/p/file2.bin\r\n"), std::string::npos);
    EXPECT_EQ(text.find("file1.bin"), std::string::npos);
    EXPECT_EQ(text.rfind("; recent files\r\n[Devices]\r\nReader=Rdr\r\n", 0), 0u);   // the rest stays as it was
}

TEST_F(TRSBaseTest, AddMRUOfAListedFileChangesNothing)
{
    const std::string before = "[MRU]\r\n01=/p/New.bin\r\n02=/p/Old.bin\r\n";
    write(before);
    setup.AddMRU("/P/OLD.BIN");
    EXPECT_EQ(ini(), before);
    EXPECT_EQ(setup.MRUList, (std::vector<std::string> {"/p/New.bin", "/p/Old.bin"}));
}

TEST_F(TRSBaseTest, AFileThatCannotBeWrittenLeavesTheListInMemory)
{
    TarselDir = dir.file("no such folder");
    setup.AddMRU("/p/a.bin");
    EXPECT_EQ(setup.MRUList, std::vector<std::string> {"/p/a.bin"});
    EXPECT_FALSE(std::filesystem::exists(dir.file("no such folder")));
}

// TARSEL.INI may be a link to a shared file, which is then updated; a read-only one stays as it was.
TEST_F(TRSBaseTest, TheRecentFilesGoThroughALinkAndNeverReplaceAReadOnlyFile)
{
    std::filesystem::create_directories(dir.path() / "shared");
    const std::string shared = dir.write("shared/TARSEL.INI", "[General]\nTitle=Shared\n");
    std::filesystem::create_symlink(shared, dir.file("TARSEL.INI"));
    setup.AddMRU("/p/a.bin");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("TARSEL.INI")));
    EXPECT_EQ(dir.read("shared/TARSEL.INI"), "[General]\nTitle=Shared\n[MRU]\n01=/p/a.bin\n");

    ::chmod(shared.c_str(), 0444);
    setup.AddMRU("/p/b.bin");
    EXPECT_EQ(setup.MRUList, (std::vector<std::string> {"/p/b.bin", "/p/a.bin"}));
    EXPECT_EQ(dir.read("shared/TARSEL.INI"), "[General]\nTitle=Shared\n[MRU]\n01=/p/a.bin\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("TARSEL.INI")));
}
