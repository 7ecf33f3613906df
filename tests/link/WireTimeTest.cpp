#include "link/WireTime.h"
#include "serial/SerMisc.h"

#include <gtest/gtest.h>

namespace {

int64_t fakeMs = 0;
int64_t FakeClock() { return fakeMs; }

class WireTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeMs = 1000;
        SetSerMsClock(&FakeClock);
    }
    void TearDown() override { SetSerMsClock(nullptr); }
};

} // namespace

TEST(BitsPerChar, StartDataParityAndStopBits)
{
    EXPECT_EQ(BitsPerChar(8, TParity::pNone, 1), 10);
    EXPECT_EQ(BitsPerChar(7, TParity::pEven, 1), 10);
    EXPECT_EQ(BitsPerChar(8, TParity::pMark, 2), 12);
}

TEST_F(WireTimeTest, BytesQueueBehindThoseStillOnTheWireAndTheRestShrinksWithTime)
{
    TWireTime wire;
    EXPECT_EQ(wire.RemainingTicks(), 0);
    wire.Sent(96, 9600, 10);   // 100 ms
    EXPECT_DOUBLE_EQ(wire.RemainingMs(), 100);
    fakeMs += 40;
    wire.Sent(96, 9600, 10);   // after the 60 ms still left
    EXPECT_DOUBLE_EQ(wire.RemainingMs(), 160);
    EXPECT_EQ(wire.RemainingTicks(), 3);   // rounded up: 2.9 ticks
    fakeMs += 500;                         // the line was idle: the next bytes start now
    EXPECT_EQ(wire.RemainingTicks(), 0);
    wire.Sent(4, 300, 10);
    EXPECT_NEAR(wire.RemainingMs(), 133.33, 0.01);
    wire.Sent(4, 0, 10);                   // no rate: nothing to add
    EXPECT_NEAR(wire.RemainingMs(), 133.33, 0.01);
}
