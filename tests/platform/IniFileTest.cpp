#include "platform/IniFile.h"
#include "platform/Unicode.h"
#include "RunAsUser.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
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

// A value reads back as written, on one line: quotes keep outer blanks and quotes, an outer line break is dropped
// and inner ones become a blank.
TEST(IniFile, ValuesReadBackAsWrittenOnOneLine)
{
    TempDir dir;
    IniFile ini(dir.file("NEW.INI"));
    const std::pair<const char *, const char *> cases[] = {
        {"  lead", "  lead"}, {"trail\t", "trail\t"}, {"ctl\x01", "ctl\x01"}, {"\x1Bx", "\x1Bx"},
        {"\"quoted\"", "\"quoted\""}, {"'q'", "'q'"}, {"plain", "plain"}, {"", ""}, {"a \"mid\" b", "a \"mid\" b"},
        {"ACME\r\n", "ACME"}, {"\nACME \r\n", "ACME "}, {"ACME\r\n\r\nLtd\rX", "ACME Ltd X"},
    };
    for (const auto &[written, read] : cases) {
        ini.WriteString("Header", "Customer", written);
        EXPECT_EQ(ini.ReadString("Header", "Customer", "?"), read);
    }
    EXPECT_EQ(ini.ReadSection("Header"), std::vector<std::string> {"Customer"});
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

// Where no INI exists and none can be made, the failure names the file and the reason.
TEST(IniFile, ANewFileInAReadOnlyFolderFailsWithTheFileAndTheReason)
{
    TempDir dir;
    ::chmod(dir.path().c_str(), 0555);
    const std::string path = dir.file("A.INI");
    const testsupport::UserIds nobody {65534, 65534, {}};
    const testsupport::UserIds self {::getuid(), ::getgid(), {}};
    const int result = testsupport::RunAsUser(testsupport::CanSwitchUser() ? nobody : self, [&] {
        try {
            IniFile(path).WriteInteger("Port", "Baud", 1200);
        } catch (const IniError &e) {
            return std::string(e.what()) == "Unable to write to " + path + ": Permission denied" ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(result, 0) << "1: no error raised, 2: wrong text";
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);   // no temporary left
}

// Files with a byte-order mark are read as the Unicode text they hold; texts reach the callers as Windows-1252. A
// write changes only the lines whose value reads otherwise: the others keep their bytes, broken UTF-16, characters
// that the code page lacks and line ends included, and a changed line keeps its own line end.
TEST(IniFile, UnicodeFilesWithAByteOrderMarkKeepTheirForm)
{
    struct Case {
        const char *name;
        std::string mark, broken;   // an unpaired surrogate as the file holds it
        std::function<std::string(const std::string &)> encode;
    };
    const Case cases[] = {
        {"UTF-8", "\xEF\xBB\xBF", "\xED\xA0\x80", [](const std::string &t) { return t; }},
        {"UTF-16LE", "\xFF\xFE", std::string("\0\xD8", 2), [](const std::string &t) { return Utf8ToUtf16(t, false); }},
        {"UTF-16BE", "\xFE\xFF", std::string("\xD8\0", 2), [](const std::string &t) { return Utf8ToUtf16(t, true); }},
    };
    for (const Case &c : cases) {
        const auto file = [&](const std::string &name, const std::string &last) {
            return c.mark + c.encode("; \xE4\xB8\xAD ") + c.broken +
                   c.encode("\r\n[K\xC3\xB6ln]\nName=" + name + "\nWide=\xE4\xB8\xAD\r\nLast=end" + last);
        };
        TempDir dir;
        IniFile ini(dir.write("A.INI", file("Stra\xC3\x9F" "e \xE2\x82\xAC", "")));
        EXPECT_EQ(ini.ReadString("K\xF6ln", "Name", ""), "Stra\xDF" "e \x80") << c.name;
        EXPECT_EQ(ini.ReadSectionValues("k\xF6ln"),
                  (std::vector<std::string> {"Name=Stra\xDF" "e \x80", "Wide=?", "Last=end"})) << c.name;

        ini.Update([](IniDocument &doc) {
            doc.WriteString("K\xF6ln", "Wide", "?");   // reads the same: the line stays
            doc.WriteString("K\xF6ln", "Name", "\xC4rger");
            doc.WriteInteger("Port", "Baud", 1200);
        });
        EXPECT_EQ(dir.read("A.INI"), file("\xC3\x84rger", "\r\n[Port]\r\nBaud=1200\r\n")) << c.name;
    }
}

TEST(IniFile, BrokenUnicodeReadsWithoutLoss)
{
    TempDir dir;
    // An unpaired surrogate and an odd last byte in UTF-16; stray bytes in UTF-8 read as Windows-1252.
    IniFile odd(dir.write("ODD.INI", std::string("\xFF\xFE[\0A\0]\0\n\0K\0=\0\x00\xD8x\0\n\0Z", 21)));
    EXPECT_EQ(odd.ReadString("A", "K", ""), "?x");
    odd.WriteInteger("A", "N", 1);   // after the odd byte, which then stands for what it reads as
    EXPECT_EQ(odd.ReadSectionValues("A"), (std::vector<std::string> {"K=?x", "?=", "N=1"}));
    IniFile stray(dir.write("STRAY.INI", "\xEF\xBB\xBF[A]\nK=\xE9t\xE9\n"));
    EXPECT_EQ(stray.ReadString("A", "K", ""), "\xE9t\xE9");
    stray.WriteInteger("A", "N", 1);
    EXPECT_EQ(dir.read("STRAY.INI"), "\xEF\xBB\xBF[A]\nK=\xE9t\xE9\nN=1\n");
}

