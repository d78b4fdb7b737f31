#include "timing/StepPacer.h"

#include <gtest/gtest.h>

namespace {

// Steps made between `from` and `to` seconds when the loop looks every `tick` seconds.
int stepsMade(StepPacer& pacer, double from, double to, double tick)
{
    int made = 0;
    for (double now = from; now < to; now += tick)
        if (pacer.due(now)) {
            pacer.stepped(now);
            ++made;
        }
    return made;
}

}  // namespace

TEST(StepPacer, AtRateZeroEveryLookIsAStep)
{
    StepPacer pacer;
    EXPECT_EQ(stepsMade(pacer, 0.0, 1.0, 0.001), 1000);
    pacer.setRate(-5);
    EXPECT_EQ(pacer.rate(), 0) << "a negative rate means as fast as it goes";
}

TEST(StepPacer, KeepsTheRateWhenTheLoopLooksOftenOrLate)
{
    StepPacer pacer;
    pacer.setRate(10);
    EXPECT_EQ(stepsMade(pacer, 0.0, 2.0, 0.0007), 20);
    // Looks that come 30 ms apart still give 10 a second on average, not 1 per 120 ms.
    StepPacer late;
    late.setRate(10);
    EXPECT_NEAR(stepsMade(late, 0.0, 3.0, 0.03), 30, 1);
}

TEST(StepPacer, AStallBringsNoBurstAndARestartStepsAtOnce)
{
    StepPacer pacer;
    pacer.setRate(4);
    ASSERT_TRUE(pacer.due(0.0));
    pacer.stepped(0.0);
    EXPECT_FALSE(pacer.due(0.1));
    EXPECT_NEAR(pacer.secondsUntilDue(0.1), 0.15, 1e-9);
    // Three seconds without a look: one step, then the pace again.
    EXPECT_TRUE(pacer.due(3.0));
    pacer.stepped(3.0);
    EXPECT_FALSE(pacer.due(3.01));
    pacer.restart();
    EXPECT_TRUE(pacer.due(3.02)) << "a run switched on again starts at once";
}
