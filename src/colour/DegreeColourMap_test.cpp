#include "colour/DegreeColourMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "colour/CieLab.h"

using MyAlgebra::vec3;

namespace {

// What the eye gets from a display colour: CIE L*a*b* of its linear light.
vec3 perceivedLab(const vec3& display)
{
    const vec3 linear = {decodeDisplay(display.x), decodeDisplay(display.y), decodeDisplay(display.z)};
    vec3 lab;
    rgbToLab(&linear, &lab, 1);
    return lab;
}

vec3 perceivedLab(const Rgba8& c)
{
    return perceivedLab(vec3{c.r / 255.0f, c.g / 255.0f, c.b / 255.0f});
}

float distance(const vec3& p, const vec3& q)
{
    return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
}

}  // namespace

TEST(DegreeColourMap, LightnessRisesEvenlyFromDarkStartToBrightEnd)
{
    float previous = -1.0f;
    for (int k = 0; k <= 1000; ++k) {
        const float degree = k / 1000.0f;
        const vec3 c = degreeMapColour(degree);
        for (float channel : {c.x, c.y, c.z}) {
            ASSERT_GE(channel, 0.0f) << degree;
            ASSERT_LE(channel, 1.0f) << degree;
        }
        const float lightness = perceivedLab(c).x;
        ASSERT_GT(lightness, previous) << "degree " << degree;
        // Even steps: within half a unit of the straight line from 10 to 95.
        EXPECT_NEAR(lightness, 10.0f + 85.0f * degree, 0.5f) << degree;
        previous = lightness;
    }
    EXPECT_LT(perceivedLab(degreeMapColour(0.0f)).x, 12.0f);
    EXPECT_GT(perceivedLab(degreeMapColour(1.0f)).x, 93.0f);
}

TEST(DegreeColourMap, DegreesOutsideTheRangeTakeTheNearestEnd)
{
    const vec3 start = degreeMapColour(0.0f);
    const vec3 end = degreeMapColour(1.0f);
    for (float degree : {-0.5f, -0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        const vec3 c = degreeMapColour(degree);
        EXPECT_EQ(c.x, start.x);
        EXPECT_EQ(c.z, start.z);
    }
    const vec3 beyond = degreeMapColour(1.0000001f);
    EXPECT_EQ(beyond.x, end.x);
    EXPECT_EQ(degreeMapIndex(-1.0f), 0);
    EXPECT_EQ(degreeMapIndex(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(degreeMapIndex(1.0000001f), degreeMapSize - 1);
    EXPECT_EQ(degreeMapIndex(0.5f), 128);
    EXPECT_EQ(degreeMapIndex(0.499f), 127);
}

TEST(DegreeColourMap, TableStaysOrderedAndFarFromTheUnmaskedGrey)
{
    const std::array<Rgba8, degreeMapSize> table = degreeMapTable();
    const vec3 grey = perceivedLab(unmaskedDegreeColour());
    float previous = -1.0f;
    for (int k = 0; k < degreeMapSize; ++k) {
        const vec3 lab = perceivedLab(table[k]);
        EXPECT_EQ(table[k].a, 255);
        // Rounding to bytes may not undo the rise of a third of a unit per entry.
        EXPECT_GT(lab.x, previous) << "entry " << k;
        EXPECT_GT(distance(lab, grey), 20.0f) << "entry " << k;
        previous = lab.x;
    }
    EXPECT_GT(distance(perceivedLab(table.front()), perceivedLab(table.back())), 80.0f);
}

TEST(DegreeColourMap, DisplayCurveRoundTrips)
{
    for (int k = 0; k <= 100; ++k) {
        const float v = k / 100.0f;
        EXPECT_NEAR(decodeDisplay(encodeDisplay(v)), v, 1e-5f);
    }
    EXPECT_EQ(encodeDisplay(0.0f), 0.0f);
    EXPECT_NEAR(encodeDisplay(1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(encodeDisplay(0.214f), 0.5f, 0.002f);
}

TEST(DegreeColourMap, DegreeViewPaintsMaskedPixelsByDegreeAndOthersGrey)
{
    const float degree[] = {0.0f, 1.0f, 0.5f, 1.0f, std::nanf(""), 7.0f};
    const float mask[] = {1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};
    std::uint32_t rgba[6];
    paintDegreeView(degree, mask, 6, rgba);
    const auto table = degreeMapTable();
    const auto bytes = [](std::uint32_t v, int k) { return static_cast<int>((v >> (8 * k)) & 0xff); };
    const auto is = [&](std::uint32_t v, const Rgba8& c) {
        return bytes(v, 0) == c.r && bytes(v, 1) == c.g && bytes(v, 2) == c.b && bytes(v, 3) == 255;
    };
    EXPECT_TRUE(is(rgba[0], table[0]));
    EXPECT_TRUE(is(rgba[1], table[degreeMapSize - 1]));
    EXPECT_TRUE(is(rgba[2], table[degreeMapIndex(0.5f)]));
    EXPECT_TRUE(is(rgba[3], Rgba8{128, 128, 128, 255}));  // outside the mask, whatever its degree
    EXPECT_TRUE(is(rgba[4], table[0]));
    EXPECT_TRUE(is(rgba[5], table[degreeMapSize - 1]));
    // Dark start, bright end: the sum of the bytes rises from one to the other.
    EXPECT_LT(bytes(rgba[0], 0) + bytes(rgba[0], 1) + bytes(rgba[0], 2) + 200,
              bytes(rgba[1], 0) + bytes(rgba[1], 1) + bytes(rgba[1], 2));
}
