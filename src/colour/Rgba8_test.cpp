#include "colour/Rgba8.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

std::uint32_t packed(const vec3& c)
{
    std::uint32_t rgba;
    rgbToRgba8(&c, &rgba, 1);
    return rgba;
}

int redByte(float v)
{
    return static_cast<int>(packed({v, 0.0f, 0.0f}) & 0xff);
}

}  // namespace

TEST(Rgba8, ClampsAndRoundsHalfwayValuesToEven)
{
    EXPECT_EQ(packed({0.0f, 0.5f, 1.0f}), 0xffff8000u);  // 127.5 rounds to 128, bytes R G B A
    EXPECT_EQ(redByte(-3.0f), 0);
    EXPECT_EQ(redByte(7.0f), 255);
    EXPECT_EQ(redByte(NAN), 0);
    EXPECT_EQ(redByte(INFINITY), 255);
    EXPECT_EQ(redByte(-INFINITY), 0);
    EXPECT_EQ(redByte(1.5f / 255.0f), 2);  // 1.5 to even
    EXPECT_EQ(redByte(2.5f / 255.0f), 2);  // 2.5 to even
    EXPECT_EQ(redByte(0.1f / 255.0f), 0);
}

TEST(Rgba8, EveryByteComesFromTheNearestIntegerOf255TimesTheFloat)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> any(-0.2f, 1.2f);
    std::vector<vec3> colours(10000);
    for (vec3& c : colours)
        c = {any(rng), any(rng), any(rng)};
    std::vector<std::uint32_t> rgba(colours.size());
    rgbToRgba8(colours.data(), rgba.data(), static_cast<int>(colours.size()));
    auto expected = [](float v) {
        const float clamped = std::fmin(1.0f, std::fmax(0.0f, v));
        return static_cast<std::uint32_t>(std::nearbyint(clamped * 255.0f));
    };
    for (size_t i = 0; i < colours.size(); ++i) {
        const vec3& c = colours[i];
        ASSERT_EQ(rgba[i], expected(c.x) | expected(c.y) << 8 | expected(c.z) << 16 | 0xff000000u)
            << c.x << " " << c.y << " " << c.z;
    }
}
