#include <gtest/gtest.h>

#include <thread>

#include "timing/RateCounter.h"
#include "timing/RefreshThrottle.h"
#include "timing/StopwatchSteady.h"

namespace {

// A clock the test moves by hand, to check the base class's bookkeeping.
class ManualStopwatch : public StopwatchBase {
public:
    float now = 0.0f;
    int marks = 0;

protected:
    void markStart() override
    {
        ++marks;
        mark = now;
    }
    float secondsSinceMark() override { return now - mark; }

private:
    float mark = 0.0f;
};

}  // namespace

TEST(Stopwatch, ReadsZeroUntilStartedAndCountsOnlyFirstStartAsMark)
{
    ManualStopwatch watch;
    watch.now = 5.0f;
    EXPECT_EQ(watch.elapsed(), 0.0f);
    EXPECT_STREQ(watch.name, "Stopwatch");
    watch.start();
    watch.now = 7.5f;
    watch.start();
    EXPECT_EQ(watch.startCount, 2);
    EXPECT_EQ(watch.marks, 1);
    EXPECT_FLOAT_EQ(watch.elapsed(), 2.5f);
}

TEST(Stopwatch, SteadyClockGrowsMonotonicallyInSeconds)
{
    StopwatchSteady watch;
    EXPECT_STREQ(watch.description, "steady wall clock (std::chrono::steady_clock)");
    EXPECT_EQ(watch.elapsed(), 0.0f);
    watch.start();
    float previous = watch.elapsed();
    for (int i = 0; i < 1000; ++i) {
        const float now = watch.elapsed();
        ASSERT_GE(now, previous);
        previous = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Seconds, not milliseconds or ticks: 20 ms reads as about 0.02.
    EXPECT_GT(watch.elapsed(), 0.015f);
    EXPECT_LT(watch.elapsed(), 60.0f);
}

TEST(RefreshThrottle, RefreshesOnlyStrictlyAfterTheIntervalAndSharesTheLastTime)
{
    float last = 0.0f;
    EXPECT_FALSE(refreshIsDue(last, 0.05f));
    EXPECT_FALSE(refreshIsDue(last, 0.08f));  // exactly the interval is not enough
    EXPECT_TRUE(refreshIsDue(last, 0.0801f));
    EXPECT_EQ(last, 0.0801f);
    // The brush and the simulation share `last`: a refresh by one delays the other.
    EXPECT_FALSE(refreshIsDue(last, 0.15f));
    EXPECT_TRUE(refreshIsDue(last, 0.17f));
    EXPECT_EQ(last, 0.17f);
}

TEST(RateCounter, GivesEventsPerSecondOfEachClosedWindow)
{
    RateCounter steps;
    EXPECT_FALSE(steps.roll(10.0));  // opens the first window
    for (int k = 0; k < 30; ++k)
        steps.count();
    EXPECT_FALSE(steps.roll(10.9));
    EXPECT_EQ(steps.perSecond(), 0.0);
    ASSERT_TRUE(steps.roll(11.5));
    EXPECT_DOUBLE_EQ(steps.perSecond(), 20.0);  // 30 in 1.5 s
    // The next window starts empty.
    EXPECT_TRUE(steps.roll(12.5));
    EXPECT_DOUBLE_EQ(steps.perSecond(), 0.0);
    // A restart forgets what was counted before it.
    steps.count();
    steps.restart(20.0);
    steps.count();
    EXPECT_TRUE(steps.roll(22.0));
    EXPECT_DOUBLE_EQ(steps.perSecond(), 0.5);
}
