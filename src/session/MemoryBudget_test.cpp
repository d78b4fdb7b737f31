#include "session/MemoryBudget.h"

#include <gtest/gtest.h>

namespace {

MemoryBudget batchBudget()
{
    return MemoryBudget{};
}

MemoryBudget windowBudget()
{
    MemoryBudget budget;
    budget.texture = true;
    budget.undoCopy = true;
    return budget;
}

}  // namespace

TEST(MemoryBudget, TheLargestPhotographDoesNotFitOnATwentyFourGigabyteMachine)
{
    // What this machine (24 GB) has available when nothing else runs. The batch tool
    // grew to 19.9 GB on the way and was killed.
    const long long available = 22334780LL * 1024;
    const std::string batch = batchBudget().refusal(16384, 16384, available);
    EXPECT_EQ(batch,
              "its size 16384x16384 needs 20224 MB (model 16384 MB, loading and saving 3840 MB), more than "
              "the 19630 MB of the 21811 MB of memory available a job may take");
    const std::string window = windowBudget().refusal(16384, 16384, available);
    EXPECT_NE(window.find("texture 1024 MB, undo copy 8192 MB), more than"), std::string::npos) << window;
    // A 12-Mpx photograph takes a small part of it in either front end.
    EXPECT_LT(windowBudget().bytesFor(4000, 3000), available / 10);
}

TEST(MemoryBudget, AJobTakesAtMostNineTenthsOfWhatIsAvailableAndUnknownMemoryIsNotChecked)
{
    for (const MemoryBudget& budget : {batchBudget(), windowBudget()}) {
        const long long twelveMegapixels = budget.bytesFor(4000, 3000);
        EXPECT_EQ(twelveMegapixels, 12000000LL * budget.bytesPerPixel());
        const long long justEnough = twelveMegapixels / 9 * 10 + 10;
        ASSERT_GE(MemoryBudget::usable(justEnough), twelveMegapixels);
        EXPECT_EQ(budget.refusal(4000, 3000, justEnough), "");
        EXPECT_NE(budget.refusal(4000, 3000, twelveMegapixels), "") << "no room left beside the job";
        EXPECT_EQ(budget.refusal(16384, 16384, -1), "");
    }
    EXPECT_GT(windowBudget().bytesPerPixel(), batchBudget().bytesPerPixel());
}

TEST(MemoryBudget, ATinyNeedIsNeverShownAsNothing)
{
    const std::string refusal = batchBudget().refusal(2, 2, 0);
    EXPECT_NE(refusal.find("needs 1 MB"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("more than the 0 MB of the 0 MB"), std::string::npos) << refusal;
}
