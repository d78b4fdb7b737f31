#pragma once

// Settings and small rules shared by the Natural look's files: how far and how fast its
// spread goes, and the pixel neighbourhood it walks.

#include "model/NaturalLook.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace naturalLook {

// Share of the way to its target a pixel with a fully weathered neighbourhood moves in
// one step, at the average speed of the spread.
constexpr float stepFactor = 0.05f;
// The photograph counts as weathered from the middle of the path on; when less than
// this share of its pixels is, its most weathered pixels of this share stand in.
constexpr float weatheredFrom = 0.5f;
constexpr double leastShare = 0.02;
// Degrees this far around the weathered ones' lower end are partly weathered.
constexpr float partlyWeathered = 0.15f;
// A pixel's fine detail is scaled up to this many times its degree's typical detail.
constexpr float largestFine = 3.0f;
// How much a pixel's offset may shrink or grow as its degree moves.
constexpr float leastScale = 0.5f;
constexpr float largestScale = 2.5f;
// How far a pixel's lightness structure moves its target among the weathered degrees.
constexpr float structureWeight = 0.6f;
// Pixels this weathered are where the spread starts.
constexpr float sourceWeathered = 0.5f;
constexpr float notReached = 3.0e38f;
// Progress goes on past the target (the colour no longer changes) up to this, so that a
// pixel that weathered long ago takes as long to recede: dewethering then retraces
// weathering even where it had covered everything.
constexpr float longestAge = 1000.0f;
// How weathered a neighbour must be before the spread goes on, per unit of arrival time
// between them, and at most.
constexpr float lagPerTime = 0.5f;
constexpr float largestLag = 0.95f;

inline float lagBetween(float earlier, float later)
{
    return std::min(largestLag, lagPerTime * (later - earlier));
}

// The eight neighbours, numbered so that the opposite of k is 7 - k.
struct NeighbourOffset {
    int dx, dy;
    float length;
};
constexpr float diagonal = 1.41421356f;
constexpr NeighbourOffset neighbours[8] = {{-1, -1, diagonal}, {0, -1, 1.0f},     {1, -1, diagonal}, {-1, 0, 1.0f},
                                           {1, 0, 1.0f},       {-1, 1, diagonal}, {0, 1, 1.0f},      {1, 1, diagonal}};
constexpr std::uint8_t notFromNeighbour = 8;

inline int oppositeOf(int k)
{
    return 7 - k;
}

inline int neighbourStep(int k, int width)
{
    return neighbours[k].dy * width + neighbours[k].dx;
}
// Pixels further than this many typical distances beside the path stay out of the tables.
constexpr double nearPathReach = 2.5;
constexpr float leastFine = 0.05f;
// Fixed-point units of the table sums: whole numbers add up to the same in any order.
constexpr double fixedUnits = 1024.0;
constexpr int quantileSize = 256;

inline bool isMasked(float maskValue)
{
    return maskValue >= 1.0f;
}

inline int binOf(float degree)
{
    const float position = degree * static_cast<float>(NaturalLook::tableSize);
    if (!(position > 0.0f))
        return 0;
    return std::min(NaturalLook::tableSize - 1, static_cast<int>(position));
}

inline float clampTo(float value, float low, float high)
{
    return std::min(high, std::max(low, value));
}

inline float smoothStep(float low, float high, float value)
{
    const float t = clampTo((value - low) / (high - low), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// --- smooth noise -------------------------------------------------------------------

inline std::uint32_t latticeHash(int x, int y, std::uint32_t seed)
{
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 0x8da6b343u ^ static_cast<std::uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

inline float fade(float t)
{
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

// Gradient noise at (u, v) in lattice units, about -0.7 ... 0.7: a random direction at
// every lattice point, blended so that no lattice square shows.
inline float gradientNoise(float u, float v, std::uint32_t seed)
{
    const float u0 = std::floor(u);
    const float v0 = std::floor(v);
    const int i = static_cast<int>(u0);
    const int j = static_cast<int>(v0);
    const float fu = u - u0;
    const float fv = v - v0;
    auto corner = [&](int di, int dj) {
        const float angle = static_cast<float>(latticeHash(i + di, j + dj, seed) & 0xffffu) * (6.2831853f / 65536.0f);
        return std::cos(angle) * (fu - static_cast<float>(di)) + std::sin(angle) * (fv - static_cast<float>(dj));
    };
    const float su = fade(fu);
    const float sv = fade(fv);
    const float bottom = corner(0, 0) + su * (corner(1, 0) - corner(0, 0));
    const float top = corner(0, 1) + su * (corner(1, 1) - corner(0, 1));
    return bottom + sv * (top - bottom);
}

// Three octaves of gradient noise around 0.5, the coarsest with features about
// `coarsestCell` pixels apart; each octave turned by its own angle, so that no direction
// stands out.
inline float smoothNoise(int x, int y, int coarsestCell, std::uint32_t seed)
{
    constexpr float weights[3] = {0.55f, 0.3f, 0.15f};
    constexpr float turns[3][2] = {{0.8775826f, 0.4794255f}, {0.4535961f, 0.8912074f}, {-0.3232896f, 0.9463001f}};
    float sum = 0.5f;
    float cell = static_cast<float>(std::max(4, coarsestCell));
    for (int octave = 0; octave < 3; ++octave) {
        const float u = (turns[octave][0] * static_cast<float>(x) - turns[octave][1] * static_cast<float>(y)) / cell;
        const float v = (turns[octave][1] * static_cast<float>(x) + turns[octave][0] * static_cast<float>(y)) / cell;
        sum += weights[octave] * gradientNoise(u, v, seed + static_cast<std::uint32_t>(octave));
        cell = std::max(2.0f, 0.5f * cell);
    }
    return sum;
}

}  // namespace naturalLook
