#include "serial/SerMisc.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

namespace {

int64_t fakeMs = 0;
int64_t FakeClock() { return fakeMs; }

struct FakeClockTest : ::testing::Test {
    void SetUp() override { SetSerMsClock(&FakeClock); }
    void TearDown() override { SetSerMsClock(nullptr); }
};

double SecondsOf(auto &&body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST_F(FakeClockTest, TimerRunsOutAfterItsLastTick)
{
    fakeMs = 1000 * 55;
    TTickTimer timer;
    NewTimer(timer, 3);
    EXPECT_EQ(timer.ExpireTicks, timer.StartTicks + 3);
    fakeMs += 3 * 55;
    EXPECT_FALSE(TimerExpired(timer));
    fakeMs += 55;
    EXPECT_TRUE(TimerExpired(timer));
}

TEST_F(FakeClockTest, LongRequestsAreCutAndNegativeOnesHaveExpired)
{
    fakeMs = 0;
    TTickTimer timer;
    NewTimer(timer, 100000000);
    EXPECT_EQ(timer.ExpireTicks - timer.StartTicks, MaxTimerTicks);
    NewTimer(timer, -5);
    EXPECT_TRUE(TimerExpired(timer));
}

TEST_F(FakeClockTest, TimerAcrossThe32BitMillisecondWrapStillExpires)
{
    fakeMs = (int64_t(1) << 32) - 100;   // where a 32-bit millisecond clock would wrap
    TTickTimer timer;
    NewTimer(timer, 18);
    fakeMs += 500;
    EXPECT_FALSE(TimerExpired(timer));
    fakeMs += 600;
    EXPECT_TRUE(TimerExpired(timer));
}

TEST(DelayTicks, NonPositiveTicksReturnAtOnce)
{
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_EQ(DelayTicks(0, true), 0u);
    EXPECT_EQ(DelayTicks(-3, true), 0u);
    EXPECT_FALSE(ran);   // the queue was not touched
    QCoreApplication::processEvents();
}

TEST(DelayTicks, EighteenTicksWaitAboutASecondWhileEventsRun)
{
    int timerRuns = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++timerRuns; });
    timer.start(50);
    uint32_t result = 1;
    const double seconds = SecondsOf([&] { result = DelayTicks(18, true); });
    EXPECT_EQ(result, 0u);
    EXPECT_GE(seconds, 0.94);
    EXPECT_LT(seconds, 1.3);
    EXPECT_GE(timerRuns, 10);
}

TEST(DelayTicks, QuitRequestEndsTheWaitAndStaysInPlace)
{
    QTimer::singleShot(100, [] { RequestQuit(); });
    uint32_t result = 0;
    const double seconds = SecondsOf([&] { result = DelayTicks(100, true); });
    EXPECT_EQ(result, QuitMessage);
    EXPECT_LT(seconds, 0.5);
    EXPECT_TRUE(QuitRequested());
    const double again = SecondsOf([&] { result = DelayTicks(18, true); });
    EXPECT_EQ(result, QuitMessage);
    EXPECT_LT(again, 0.1);
    ClearQuitRequest();
    EXPECT_FALSE(QuitRequested());
}

TEST(DelayTicks, WithoutYieldItSleeps)
{
    const double seconds = SecondsOf([] { EXPECT_EQ(DelayTicks(2, false), 0u); });
    EXPECT_GE(seconds, 0.05);
    EXPECT_LT(seconds, 0.25);
}

TEST(SerBaseComponent, LibVersionCannotBeChanged)
{
    TSerBaseComponent component;
    component.SetLibVersion("v9.99");
    EXPECT_EQ(component.LibVersion(), "v2.58");
}
