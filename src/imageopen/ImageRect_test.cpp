#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "algebra/vec3.h"
#include "imageopen/ImageRect.h"

TEST(ImageRect, AssignReplacesPixelsWithAnExactCopy)
{
    ImageRect<MyAlgebra::vec3> image;
    EXPECT_TRUE(image.empty());
    std::vector<MyAlgebra::vec3> first(6, {0.1f, 0.2f, 0.3f});
    ASSERT_TRUE(image.assign(3, 2, first.data()));
    std::vector<MyAlgebra::vec3> second(20);
    for (size_t i = 0; i < second.size(); ++i)
        second[i] = {float(i), -float(i), 0.5f};
    ASSERT_TRUE(image.assign(4, 5, second.data()));
    second[0].x = 99.0f;  // the source is not kept
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 5);
    EXPECT_EQ(image.pixelCount(), 20);
    EXPECT_EQ(image.data[0].x, 0.0f);
    EXPECT_EQ(image.data[19].x, 19.0f);
    EXPECT_EQ(image.data[19].y, -19.0f);
}

TEST(ImageRect, RefusedSizesLeaveThePreviousImageWhole)
{
    ImageRect<float> image;
    const float pixels[4] = {1, 2, 3, 4};
    ASSERT_TRUE(image.assign(2, 2, pixels));
    const float* before = image.data.get();
    const int badSizes[][2] = {{0, 5}, {5, 0}, {-1, 3}, {INT_MAX, 2}, {65536, 65536}};
    for (const auto& size : badSizes) {
        EXPECT_FALSE(image.assign(size[0], size[1], pixels)) << size[0] << "x" << size[1];
        EXPECT_EQ(image.width, 2);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(image.data.get(), before);
        EXPECT_EQ(image.data[3], 4.0f);
    }
}

TEST(ImageRect, UsableSizesFitAnIntPixelCount)
{
    EXPECT_TRUE(ImageRect<float>::sizeIsUsable(1, 1));
    EXPECT_TRUE(ImageRect<MyAlgebra::vec3>::sizeIsUsable(46340, 46340));
    EXPECT_FALSE(ImageRect<MyAlgebra::vec3>::sizeIsUsable(46341, 46341));
    EXPECT_FALSE(ImageRect<float>::sizeIsUsable(0, 1));
}
