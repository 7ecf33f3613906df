#include "TempDir.h"
#include "model/ConfigDump.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::string_literals;

class ConfigDumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDumpDateText([] { return std::string("NOW"); });
    }
    void TearDown() override { SetDumpDateText(nullptr); }

    testsupport::TempDir dir;
    testsupport::ScopedCwd cwd {dir.path()};
};

TEST_F(ConfigDumpTest, WritesTitleAndOneLinePerRecord)
{
    DumpConfiguration({"\x1B[D\r", "\x1B" "BA\0"s, "\x1B\x20\x7F\xE9"}, "SCAN1 V1.0");
    EXPECT_EQ(dir.read("DUMPCFG.TXT"), "Configuration Dump - SCAN1 V1.0 - NOW\r\n"
                                       "\r\n"
                                       " <ESC> [ D <CR> ........ 1B 5B 44 0D \r\n"
                                       " <ESC> B A <NUL> ....... 1B 42 41 00 \r\n"
                                       " <ESC> <Space> <DEL> <$E9>  1B 20 7F E9 \r\n");
}

TEST_F(ConfigDumpTest, ColumnsAndLinesAreCutAt80)
{
    DumpConfiguration({std::string(30, '\x1B')}, std::string(100, 'T'));
    const std::string text = dir.read("DUMPCFG.TXT");
    const std::string title = text.substr(0, text.find("\r\n"));
    EXPECT_EQ(title, "Configuration Dump - " + std::string(80, 'T') + " - NOW");
    const std::string line = text.substr(text.rfind("\r\n", text.size() - 3) + 2);
    // 13 whole " <ESC>" and the start of the 14th fill the line's 80 bytes; the dots and hex column are cut off.
    std::string expected;
    for (int i = 0; i < 13; ++i) expected += " <ESC>";
    expected += " <";
    EXPECT_EQ(line, expected + "\r\n");
}

TEST_F(ConfigDumpTest, ReplacesTheFileAndReportsWriteErrors)
{
    DumpConfiguration({"\x1B[D\r"}, "A");
    DumpConfiguration({}, "B");
    EXPECT_EQ(dir.read("DUMPCFG.TXT"), "Configuration Dump - B - NOW\r\n\r\n");

    std::filesystem::remove(dir.file("DUMPCFG.TXT"));
    std::filesystem::create_directory(dir.file("DUMPCFG.TXT"));
    try {
        DumpConfiguration({}, "C");
        ADD_FAILURE() << "no error raised";
    } catch (const std::runtime_error &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write DUMPCFG.TXT in " + dir.path().string() + ": Is a directory");
    }
}
