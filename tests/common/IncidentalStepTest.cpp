#include "common/IncidentalStep.h"
#include "ScriptedUi.h"

#include <gtest/gtest.h>

#include <stdexcept>

// Each distinct failure is shown once; the step's caller learns of every failure and goes on.
TEST(IncidentalStep, EachDistinctFailureIsShownOnce)
{
    testsupport::ScriptedUi ui;
    const auto failing = [](const char *why) { return [why] { throw std::runtime_error(why); }; };
    EXPECT_TRUE(RunIncidentalStep("Not saved.", [] {}));
    EXPECT_FALSE(RunIncidentalStep("Not saved.", failing("disk full")));
    EXPECT_FALSE(RunIncidentalStep("Not saved.", failing("disk full")));
    EXPECT_FALSE(RunIncidentalStep("Not saved.", failing("Permission denied")));
    EXPECT_FALSE(RunIncidentalStep("No dump.", failing("disk full")));
    EXPECT_FALSE(RunIncidentalStep("Odd.", [] { throw 1; }));
    EXPECT_FALSE(RunIncidentalStep("Odd.", [] { throw 1; }));
    EXPECT_EQ(ui.warnings(), (std::vector<std::string> {"Not saved.\rdisk full", "Not saved.\rPermission denied",
                                                        "No dump.\rdisk full", "Odd."}));
}
