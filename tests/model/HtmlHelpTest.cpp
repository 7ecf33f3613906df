#include "ScriptedUi.h"
#include "TempDir.h"
#include "model/AppHelp.h"
#include "model/HtmlHelp.h"
#include "platform/HelpViewer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

class RecordingViewer final : public HelpViewer {
public:
    bool Load() override { return available; }
    void Release() override {}
    void DisplayTopic(const std::string &file, const std::string &page) override
    {
        calls.push_back("topic " + file + " " + page);
    }
    void DisplayIndex(const std::string &file, const std::string &keyword) override
    {
        calls.push_back("index " + file + " " + keyword);
    }
    bool available = true;
    std::vector<std::string> calls;
};

} // namespace

TEST(HtmlHelp, CommandsBecomeViewerRequests)
{
    struct Case {
        int32_t command, data;
        HtmlHelpRequest::Kind kind;
        const char *location;
        const char *page;
    };
    using K = HtmlHelpRequest::Kind;
    const Case cases[] = {
        {HELP_CONTEXT, 120, K::Topic, "dev/A.CHM::html\\120.HTM", "html/120.HTM"},
        {HELP_CONTEXTPOPUP, -5, K::Topic, "dev/A.CHM::html\\5.HTM", "html/5.HTM"},
        {HELP_CONTEXT, INT32_MIN, K::Topic, "dev/A.CHM::html\\2147483648.HTM", "html/2147483648.HTM"},
        {HELP_CONTENTS, 0, K::Topic, "dev/A.CHM", ""},
        {HELP_PARTIALKEY, 0, K::Index, "dev/A.CHM", ""},
        {HELP_QUIT, 0, K::None, "", ""},
        {4, 0, K::None, "", ""},
    };
    for (const Case &c : cases) {
        HtmlHelpRequest r = MakeHtmlHelpRequest("dev/A.CHM", c.command, c.data, "beep");
        EXPECT_EQ(r.kind, c.kind) << c.command;
        EXPECT_EQ(r.location, c.location) << c.command;
        EXPECT_EQ(r.page, c.page) << c.command;
    }
}

TEST(HtmlHelp, CallsReachTheViewerOrWarnWhenThereIsNone)
{
    testsupport::ScriptedUi ui;
    RecordingViewer viewer;
    SetHelpViewer(&viewer);
    LoadHtmlHelp();
    CallHtmlHelp("A.CHM", HELP_CONTEXT, -5);
    CallHtmlHelp("A.CHM", HELP_PARTIALKEY, 0, "");
    CallHtmlHelp("A.CHM", HELP_QUIT, 0);
    EXPECT_EQ(viewer.calls, (std::vector<std::string> {"topic A.CHM html/5.HTM", "index A.CHM "}));

    viewer.available = false;
    LoadHtmlHelp();
    EXPECT_FALSE(HtmlHelpAvailable());
    CallHtmlHelp("A.CHM", HELP_CONTENTS, 0);
    EXPECT_EQ(ui.warnings(), std::vector<std::string> {"HTML Help entry point unavailable"});
    SetHelpViewer(nullptr);
    UnloadHtmlHelp();
}

// Without help the message says what is missing: the compiled help file, the viewer, or both.
TEST(ApplicationHelp, TheWarningNamesTheMissingFileOrViewer)
{
    testsupport::TempDir dir;
    const std::string chm = dir.file("M100.CHM");
    const std::string noFile = "\rHelp file not found: " + chm;
    const std::string noViewer = "\rNo help viewer found: " + ExternalHelpViewer::Wanted();
    struct Case {
        bool viewer, file;
        std::string warning;   // empty: the viewer is asked
    };
    const Case cases[] = {
        {true, true, ""},
        {true, false, "Help not available!" + noFile},
        {false, true, "Help not available!" + noViewer},
        {false, false, "Help not available!" + noFile + noViewer},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.viewer) + std::to_string(c.file));
        testsupport::ScriptedUi ui;
        RecordingViewer viewer;
        viewer.available = c.viewer;
        SetHelpViewer(&viewer);
        LoadHtmlHelp();
        std::filesystem::remove(chm);
        if (c.file) dir.write("m100.chm", "");
        AppHelpFile = dir.file("M100.HLP");
        ApplicationHelp(HELP_CONTENTS, 0);
        EXPECT_EQ(ui.warnings(), c.warning.empty() ? std::vector<std::string> {} : std::vector<std::string> {c.warning});
        EXPECT_EQ(viewer.calls.size(), c.warning.empty() ? 1u : 0u);
        std::filesystem::remove(dir.file("m100.chm"));
        SetHelpViewer(nullptr);
        UnloadHtmlHelp();
    }
    AppHelpFile.clear();
}

// The viewer programs are stood in for by scripts of their names that record their arguments, one a line.
TEST(ExternalHelpViewer, EachViewerIsGivenThePageAndTheKeywordTheWayItTakesThem)
{
    testsupport::TempDir dir;
    const std::string chm = dir.file("A.CHM");
    struct Case {
        const char *viewer;
        int32_t command, data;
        const char *keyword;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"xchm", HELP_CONTEXT, 120, "", {"file:" + chm + "#xchm:/html/120.HTM"}},
        {"xchm", HELP_CONTENTS, 0, "", {chm}},
        {"xchm", HELP_PARTIALKEY, 0, "beep", {chm}},
        {"kchmviewer", HELP_CONTEXTPOPUP, -5, "", {"-showPage", "/html/5.HTM", chm}},
        {"kchmviewer", HELP_PARTIALKEY, 0, "beep", {"-index", "beep", chm}},
        {"kchmviewer", HELP_PARTIALKEY, 0, "", {"-index", "", chm}},   // the index with nothing typed
        {"kchmviewer", HELP_CONTENTS, 0, "", {chm}},
        {"chmsee", HELP_CONTEXT, 120, "", {chm}},
    };
    for (const Case &c : cases) {
        const std::string program =
            dir.write(c.viewer, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0.args\"\n");
        ::chmod(program.c_str(), 0755);
        std::filesystem::remove(program + ".args");
        setenv("CORVANE_CHM_VIEWER", program.c_str(), 1);
        ExternalHelpViewer viewer;
        SetHelpViewer(&viewer);
        LoadHtmlHelp();
        CallHtmlHelp(chm, c.command, c.data, c.keyword);
        for (int i = 0; i < 500 && !std::filesystem::exists(program + ".args"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string expected;
        for (const std::string &a : c.arguments) expected += a + "\n";
        EXPECT_EQ(dir.read(std::string(c.viewer) + ".args"), expected) << c.viewer << " " << c.command;
        SetHelpViewer(nullptr);
        UnloadHtmlHelp();
    }
    unsetenv("CORVANE_CHM_VIEWER");
}
