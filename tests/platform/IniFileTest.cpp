#include "platform/IniFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

const char *kSample =
    "\xEF\xBB\xBF; settings\r\n"
    "[Port]\r\n"
    "Port=3 ; COM3\r\n"
    "baud = 9600\r\n"
    "Empty=\r\n"
    "Hex=0x1F\r\n"
    "Dollar=$10\r\n"
    "Flag=yes\r\n"
    "Two=2\r\n"
    "\r\n"
    "[Header]\r\n"
    "Customer=\"  padded  \"\r\n"
    "Single='x'\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "; a comment inside\r\n"
    "BareKey\r\n"
    "[port]\r\n"
    "Baud=1200\r\n";

} // namespace

TEST(IniFile, ReadsWithPrivateProfileRules)
{
    TempDir dir;
    IniFile ini(dir.write("A.INI", kSample));
    IniDocument doc = ini.Read();

    EXPECT_EQ(doc.ReadInteger("PORT", "BAUD", 0), 9600);      // case-insensitive, first section wins
    EXPECT_EQ(doc.ReadInteger("Port", "Port", 7), 7);          // no inline comments: not a number
    EXPECT_EQ(doc.ReadString("Port", "Port", ""), "3 ; COM3");
    EXPECT_EQ(doc.ReadString("Port", "Empty", "default"), ""); // existing empty value is not the default
    EXPECT_EQ(doc.ReadString("Port", "Missing", "default"), "default");
    EXPECT_EQ(doc.ReadString("Nowhere", "Port", "d"), "d");
    EXPECT_EQ(doc.ReadInteger("Port", "Hex", 0), 31);
    EXPECT_EQ(doc.ReadInteger("Port", "Dollar", 0), 16);
    EXPECT_TRUE(doc.ReadBool("Port", "Two", false));
    EXPECT_FALSE(doc.ReadBool("Port", "Flag", false));         // "yes" is not a number: the default
    EXPECT_TRUE(doc.ReadBool("Port", "Flag", true));
    EXPECT_EQ(doc.ReadString("Header", "Customer", ""), "  padded  ");
    EXPECT_EQ(doc.ReadString("Header", "Single", ""), "x");
    EXPECT_EQ(doc.ReadString("Header", "Dup", ""), "first");
    EXPECT_EQ(doc.ReadString("Header", "BareKey", "d"), "d");
}

TEST(IniFile, SectionKeysAndValuesKeepFileOrderAndDuplicates)
{
    TempDir dir;
    IniFile ini(dir.write("A.INI", kSample));
    EXPECT_EQ(ini.ReadSection("header"),
              (std::vector<std::string> {"Customer", "Single", "Dup", "Dup", "BareKey"}));
    EXPECT_EQ(ini.ReadSectionValues("Header"),
              (std::vector<std::string> {"Customer=  padded  ", "Single=x", "Dup=first", "Dup=first", "BareKey="}));
    EXPECT_TRUE(ini.ReadSection("Missing").empty());
}

TEST(IniFile, WritesChangeOnlyTheirLine)
{
    TempDir dir;
    IniFile ini(dir.write("A.INI",
                          "; top\r\n[Port]\r\nbaud=9600 \r\n; keep me\r\nData=8\r\n\r\n[Misc]\r\nDebug=0\r\n"));
    ini.WriteInteger("PORT", "Baud", 19200);   // keeps the file's spelling of the key
    ini.WriteString("Port", "Stop", "2");     // new key after the section's last line
    ini.WriteBool("Header", "Flag", true);    // new section at the end
    EXPECT_EQ(dir.read("A.INI"),
              "; top\r\n[Port]\r\nbaud=19200\r\n; keep me\r\nData=8\r\nStop=2\r\n\r\n[Misc]\r\nDebug=0\r\n"
              "[Header]\r\nFlag=1\r\n");
}

TEST(IniFile, ValuesWithOuterBlanksOrQuotesReadBackUnchanged)
{
    TempDir dir;
    IniFile ini(dir.file("NEW.INI"));
    for (const char *value : {"  lead", "trail\t", "\"quoted\"", "'q'", "plain", "", "a \"mid\" b"}) {
        ini.WriteString("Header", "Customer", value);
        EXPECT_EQ(ini.ReadString("Header", "Customer", "?"), value);
    }
}

TEST(IniFile, EraseSectionRemovesEveryCopyWithItsCommentsAndRewriteKeepsTheRest)
{
    TempDir dir;
    IniFile ini(dir.write("A.INI", "[TermMacros]\nA=01\n; old\n[Misc]\n; misc comment\nDebug=1\n[termmacros]\nB=02\n"));
    ini.Update([](IniDocument &doc) {
        doc.EraseSection("TermMacros");
        doc.WriteString("TermMacros", "Z", "1B5B43");
    });
    EXPECT_EQ(dir.read("A.INI"), "[Misc]\n; misc comment\nDebug=1\n[TermMacros]\nZ=1B5B43\n");   // LF kept
}

TEST(IniFile, MissingFileReadsDefaultsAndIsCreatedOnWrite)
{
    TempDir dir;
    IniFile ini(dir.file("NEW.INI"));
    EXPECT_EQ(ini.ReadInteger("Port", "Baud", 19200), 19200);
    ini.WriteInteger("Port", "Baud", 300);
    EXPECT_EQ(dir.read("NEW.INI"), "[Port]\r\nBaud=300\r\n");
}

TEST(IniFile, WriteIntoAReadOnlyFolderFailsClearlyAndKeepsTheOldFile)
{
    TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    const std::string path = dir.write("A.INI", "[Port]\nBaud=9600\n");
    ::chmod(path.c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);

    // Run the write as an unprivileged user: the super-user may write into a read-only folder.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(3);
        }
        try {
            IniFile(path).WriteInteger("Port", "Baud", 1200);
        } catch (const IniError &e) {
            ::_exit(std::string(e.what()) == "Unable to write to " + path ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error raised, 2: wrong text, 3: cannot drop privileges";
    EXPECT_EQ(dir.read("A.INI"), "[Port]\nBaud=9600\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);   // no temporary left
}
