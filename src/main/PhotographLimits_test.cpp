#include <gtest/gtest.h>

#include "main/PhotographLimits.h"

TEST(PhotographLimits, TheLargestTextureSideBoundsBothSides)
{
    EXPECT_EQ(photographRefusal(16384, 16384, 16384, -1), "");
    EXPECT_EQ(photographRefusal(16385, 10, 16384, -1),
              "photograph refused: its size 16385x10 is beyond the largest texture side 16384");
    EXPECT_EQ(photographRefusal(10, 8193, 8192, 1LL << 40),
              "photograph refused: its size 10x8193 is beyond the largest texture side 8192");
}

TEST(PhotographLimits, MemoryForTheModelAndTextureMustBeAvailable)
{
    const long long oneMegapixel = 1000LL * 1000 * photographBytesPerPixel;
    EXPECT_EQ(photographRefusal(1000, 1000, 16384, oneMegapixel), "");
    EXPECT_EQ(photographRefusal(1000, 1000, 16384, oneMegapixel - 1),
              "photograph refused: its size 1000x1000 needs 64 MB for the model and its texture, more than the 64 MB "
              "of memory available");
    // 16384 x 16384 needs 17 GB: no int overflow on the way.
    EXPECT_NE(photographRefusal(16384, 16384, 16384, 16LL << 30).find("needs 17408 MB"), std::string::npos);
    // Unknown memory is not checked.
    EXPECT_EQ(photographRefusal(16384, 16384, 16384, -1), "");
}
