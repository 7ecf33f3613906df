// Error reports of the library's threads: shown on the GUI thread, and released at once when asked.

#include "Pump.h"
#include "ScriptedUi.h"
#include "serial/SerWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

void PostFromThread(const std::string &text)
{
    std::thread([&] { PostErrorReport(text); }).join();
}

} // namespace

TEST(SerErrorReport, ReleasingShowsTheWaitingReportsOnceAndLaterReportsStillArrive)
{
    testsupport::ScriptedUi ui;
    PostFromThread("first");
    PostFromThread("second");
    ReleaseErrorReports();
    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"first", "second"}));
    PumpFor(50ms);   // their events went with the receiver
    EXPECT_EQ(ui.warnings().size(), 2u);

    PostFromThread("third");
    EXPECT_TRUE(PumpUntil([&] { return ui.warnings().size() == 3; }, 5s));
    EXPECT_EQ(ui.warnings().back(), "third");
    ReleaseErrorReports();
    EXPECT_EQ(ui.warnings().size(), 3u);
}
