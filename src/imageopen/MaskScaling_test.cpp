#include <gtest/gtest.h>

#include <vector>

#include "imageopen/MaskScaling.h"

namespace {

// A mask that owns a copy of the values (ImageRect cannot be copied or moved).
struct Mask : ImageRect<float> {
    Mask(int w, int h, const std::vector<float>& values) { assign(w, h, values.data()); }
};

}  // namespace

TEST(MaskScaling, NearestPixelByCentresUpAndDown)
{
    // 2 x 2 up to 4 x 2: every source column doubles, rows stay.
    const Mask small(2, 2, {1, 2, 3, 4});
    ImageRect<float> wide;
    ASSERT_TRUE(scaleMaskToSize(small, 4, 2, wide));
    ASSERT_EQ(wide.width, 4);
    ASSERT_EQ(wide.height, 2);
    const std::vector<float> expectedWide = {1, 1, 2, 2, 3, 3, 4, 4};
    EXPECT_EQ(std::vector<float>(wide.data.get(), wide.data.get() + 8), expectedWide);

    // 3 x 1 down to 1 x 1: the centre pixel.
    ImageRect<float> one;
    ASSERT_TRUE(scaleMaskToSize(Mask(3, 1, {0, 7, 0}), 1, 1, one));
    EXPECT_EQ(one.data[0], 7.0f);

    // 100 x 100 onto 300 x 200: every target pixel comes from the source pixel
    // under its centre, the corners from the corners.
    std::vector<float> values(100 * 100);
    for (int i = 0; i < 100 * 100; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<float>(i);
    ImageRect<float> big;
    ASSERT_TRUE(scaleMaskToSize(Mask(100, 100, values), 300, 200, big));
    for (int y = 0; y < 200; y += 7)
        for (int x = 0; x < 300; x += 11)
            ASSERT_EQ(big.data[static_cast<std::size_t>(y * 300 + x)], static_cast<float>((y / 2) * 100 + x / 3))
                << x << "," << y;
    EXPECT_EQ(big.data[300 * 200 - 1], 100.0f * 100 - 1);
}

TEST(MaskScaling, UnusableRequestsLeaveTheTargetAlone)
{
    const Mask mask(2, 1, {1, 0});
    Mask target(1, 1, {5});
    const ImageRect<float> empty;
    EXPECT_FALSE(scaleMaskToSize(empty, 4, 4, target));
    EXPECT_FALSE(scaleMaskToSize(mask, 0, 4, target));
    EXPECT_FALSE(scaleMaskToSize(mask, 4, -1, target));
    EXPECT_FALSE(scaleMaskToSize(mask, 65536, 65536, target));
    EXPECT_EQ(target.width, 1);
    EXPECT_EQ(target.data[0], 5.0f);
}
