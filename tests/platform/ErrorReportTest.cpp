#include "platform/ErrorReport.h"
#include "ScriptedUi.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ErrorReport, ShowsTheTextOfAnEscapingExceptionAndGoesOn)
{
    testsupport::ScriptedUi ui;
    EXPECT_TRUE(ReportErrors([] {}));
    EXPECT_FALSE(ReportErrors([] { throw std::runtime_error("Unable to write to x.ini"); }));
    EXPECT_FALSE(ReportErrors([] { throw 5; }));
    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"Unable to write to x.ini", "Unknown error"}));
}
