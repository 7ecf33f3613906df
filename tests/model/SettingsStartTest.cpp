#include "SettingsFixture.h"

#include "model/HtmlHelp.h"
#include "platform/HelpViewer.h"

namespace {

class CountingViewer final : public HelpViewer {
public:
    bool Load() override { return ++loads, true; }
    void Release() override {}
    void DisplayTopic(const std::string &, const std::string &) override {}
    void DisplayIndex(const std::string &, const std::string &) override {}
    int loads = 0;
};

} // namespace

class SettingsStartTest : public SettingsFixture {};

TEST_F(SettingsStartTest, CommandLineFields)
{
    struct Case {
        const char *argument;
        std::string enterCommand;
        bool connect;
        bool remoted;
    };
    const Case cases[] = {
        {"", "\x1B[C", false, false},
        {",1B5B43,1", "\x1B[C", true, false},
        {"5,,1", "\x1B[C", true, false},
        {",1B3031", "\x1B" "01", false, true},
        {"0,1B5B4", "\x1B[", false, true},
        {"0,1B5B43,yes", "\x1B[C", false, false},
        {"x,1b5b43,1,extra", "\x1B[C", true, false},
    };
    for (const Case &c : cases) {
        SetDefaultHostCommands();
        ConnectAtStart = false;
        ParseCommandLine(c.argument);
        EXPECT_EQ(HostCommands[hcEnterHost].str(), c.enterCommand) << c.argument;
        EXPECT_EQ(ConnectAtStart, c.connect) << c.argument;
        EXPECT_EQ(IsRemoted(), c.remoted) << c.argument;
    }
    ParseCommandLine("," + std::string(200, 'A'));
    EXPECT_EQ(HostCommands[hcEnterHost].size(), 80u);
}

TEST_F(SettingsStartTest, NamesComeFromTheProgramFile)
{
    EXPECT_EQ(SettingsFileName("/opt/x/corvane", ".INI"), "CORVANE.INI");
    EXPECT_EQ(SettingsFileName("/opt/x/corvane.bin", ".BMP"), "CORVANE.BMP");
    EXPECT_EQ(SettingsFileName("/opt/averyveryverylongprogramname", ".INI"), "AVERYVERYVERYLONGPRO");
    EXPECT_EQ(SettingsFileName("abcdefghijklmnopq", ".INI"), "ABCDEFGHIJKLMNOPQ.IN");
}

TEST_F(SettingsStartTest, StartReadsTheIniBesideTheProgramWhateverItsCase)
{
    dir.write("Corvane.ini", "[Port]\nPort=7\n");
    CountingViewer viewer;
    SetHelpViewer(&viewer);
    StartSettingsModule(programPath(), ",1B3031,1");
    SetHelpViewer(nullptr);

    EXPECT_EQ(ExeDir, dir.path().string());
    EXPECT_EQ(Settings.Port, 7);
    EXPECT_EQ(HostCommands[hcEnterHost].str(), "\x1B" "01");
    EXPECT_TRUE(ConnectAtStart);
    EXPECT_EQ(viewer.loads, 1);
    EXPECT_TRUE(HtmlHelpAvailable());
    EXPECT_TRUE(ui.warnings().empty());
    EndSettingsModule();
    EXPECT_FALSE(HtmlHelpAvailable());
}

TEST_F(SettingsStartTest, AFailingStepSkipsTheLaterOnesAndStartGoesOn)
{
    CountingViewer viewer;
    SetHelpViewer(&viewer);

    writeIni("[Remoted]\nMasterHostMode=XY\n[Port]\nBaud=4800\n");
    StartSettingsModule(programPath(), ",1B3031,1");
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Error in InitSetup"});
    EXPECT_EQ(Settings.Baud, 4800);                         // the reading itself went on
    EXPECT_EQ(HostCommands[hcEnterHost].str(), "\x1B[C");   // command line skipped
    EXPECT_FALSE(ConnectAtStart);
    EXPECT_EQ(viewer.loads, 0);                             // help skipped

    ui.clear();
    writeIni("");
    StartSettingsModule(programPath(), ",1BQQ,1");          // bad command line: help skipped too
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"Error in InitSetup"});
    EXPECT_EQ(viewer.loads, 0);
    SetHelpViewer(nullptr);
}
