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
    // Every 61st float from just below the companding threshold up to 2^20, past the end
    // of the fast range; an odd stride meets every residue of the bits.
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

TEST(CieCubeRoot, BlockFormGivesTheSamePowersAsTheLibraryAndAsksItRarely)
{
    // The same stride as above, a block at a time, with the values the fast path cannot
    // answer (zero, negative, tiny, huge, NaN) mixed in.
    std::uint32_t bits;
    const float start = 0.0087f;
    std::memcpy(&bits, &start, sizeof bits);
    const float awkward[] = {0.0f, -1.0f, 1e-30f, 1e-45f, INFINITY, NAN, 3.4e38f};
    CieCubeRootBlock block;
    float values[cieCubeRootBlockSize];
    float power[cieCubeRootBlockSize];
    int awkwardNext = 0;
    long long asked = 0;
    long long answered = 0;
    for (float last = start; last < 1048576.0f;) {
        for (float& v : values) {
            bits += 61;
            std::memcpy(&v, &bits, sizeof v);
            last = v;
        }
        const int awkwardAt = awkwardNext % cieCubeRootBlockSize;
        values[awkwardAt] = awkward[awkwardNext % 7];
        ++awkwardNext;
        cieCubeRootEstimates(values, cieCubeRootBlockSize, block);
        cieCubeRootRefine(block, cieCubeRootBlockSize, power);
        for (int k = 0; k < cieCubeRootBlockSize; ++k) {
            const float t = values[k];
            const bool fast = t >= 0.0078125f && t < 65536.0f;
            if (!fast || std::isnan(t)) {
                ASSERT_EQ(power[k], cieCubeRootDetail::askLibrary) << "t " << t;
                continue;
            }
            if (power[k] == cieCubeRootDetail::askLibrary) {
                ++asked;
                continue;
            }
            ++answered;
            ASSERT_TRUE(sameBits(power[k], libraryPower(t)))
                << "t " << t << ": " << power[k] << " vs " << libraryPower(t);
        }
    }
    // Inside the fast range the library answers only values next to a rounding boundary.
    EXPECT_GT(answered, 2000000);
    EXPECT_LT(asked * 1000, answered);
}
