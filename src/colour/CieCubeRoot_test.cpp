#include "colour/CieCubeRoot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

float libraryPower(float t)
{
    return static_cast<float>(std::pow(static_cast<double>(t), static_cast<double>(0.333333f)));
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(CieCubeRoot, MatchesTheLibraryPowerOnAStrideThroughEveryBinadeUsed)
{
    // Every 61st float from just below the companding threshold up to 2^20; odd strides
    // visit all table points and both ends of every binade.
    std::uint32_t bits;
    const float start = 0.0087f;
    std::memcpy(&bits, &start, sizeof bits);
    for (float t = start; t < 1048576.0f;) {
        ASSERT_TRUE(sameBits(cieCubeRoot(t), libraryPower(t)))
            << "t " << t << ": " << cieCubeRoot(t) << " vs " << libraryPower(t);
        bits += 61;
        std::memcpy(&t, &bits, sizeof t);
    }
}

TEST(CieCubeRoot, MatchesTheLibraryPowerNearBinadeEdgesAndOutsideTheFastRange)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> binade(-7, 127), wobble(-3, 3);
    for (int k = 0; k < 100000; ++k) {
        float t = std::ldexp(1.0f, binade(rng));
        for (int w = wobble(rng); w != 0; w += w > 0 ? -1 : 1)
            t = std::nextafter(t, w > 0 ? INFINITY : 0.0f);
        ASSERT_TRUE(sameBits(cieCubeRoot(t), libraryPower(t))) << "t " << t;
    }
    for (float t : {0.0f, 1e-30f, 1e-45f, 0.0078125f, 1.0f, 2.0f, 3.4e38f, INFINITY}) {
        EXPECT_TRUE(sameBits(cieCubeRoot(t), libraryPower(t))) << "t " << t;
    }
    EXPECT_TRUE(std::isnan(cieCubeRoot(-1.0f)));
    EXPECT_TRUE(std::isnan(cieCubeRoot(NAN)));
}

TEST(CieCubeRoot, BlockFormGivesTheSamePowersAsTheLibrary)
{
    // The same stride as above, a block at a time, with the values the tables cannot
    // answer (zero, negative, tiny, huge, NaN) mixed in.
    std::uint32_t bits;
    const float start = 0.0087f;
    std::memcpy(&bits, &start, sizeof bits);
    const float awkward[] = {0.0f, -1.0f, 1e-30f, 1e-45f, INFINITY, NAN, 3.4e38f};
    CieCubeRootBlock block;
    float values[cieCubeRootBlockSize];
    float power[cieCubeRootBlockSize];
    std::uint32_t fromLibrary[cieCubeRootBlockSize];
    int awkwardNext = 0;
    for (float last = start; last < 1048576.0f;) {
        for (float& v : values) {
            bits += 61;
            std::memcpy(&v, &bits, sizeof v);
            last = v;
        }
        values[awkwardNext % cieCubeRootBlockSize] = awkward[awkwardNext % 7];
        ++awkwardNext;
        cieCubeRootRows(values, cieCubeRootBlockSize, block);
        cieCubeRootTableReads(cieCubeRootBlockSize, block);
        cieCubeRootSeries(block, cieCubeRootBlockSize, power, fromLibrary);
        for (int k = 0; k < cieCubeRootBlockSize; ++k) {
            const float t = values[k];
            const float got = fromLibrary[k] != 0 ? libraryPower(t) : power[k];
            if (std::isnan(t) || t < 0.0f) {
                ASSERT_NE(fromLibrary[k], 0u) << "t " << t;
                continue;
            }
            ASSERT_TRUE(sameBits(got, libraryPower(t))) << "t " << t << ": " << got << " vs " << libraryPower(t);
        }
    }
}
