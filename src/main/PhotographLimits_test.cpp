#include <gtest/gtest.h>

#include "main/PhotographLimits.h"

TEST(PhotographLimits, TheLargestTextureSideBoundsBothSides)
{
    EXPECT_EQ(photographRefusal(16384, 16384, 16384), "");
    EXPECT_EQ(photographRefusal(16385, 10, 16384),
              "photograph refused: its size 16385x10 is beyond the largest texture side 16384");
    EXPECT_EQ(photographRefusal(10, 8193, 8192),
              "photograph refused: its size 10x8193 is beyond the largest texture side 8192");
}
