#include "ScriptedUi.h"
#include "model/HtmlHelp.h"
#include "platform/HelpViewer.h"

#include <gtest/gtest.h>

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
