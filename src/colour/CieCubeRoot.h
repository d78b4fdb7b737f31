#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

// The CIE companding power t^0.333333f (the exponent is the float nearest 0.333333, not
// one third), bit for bit as static_cast<float>(std::pow(double(t), double(0.333333f)))
// gives it, over blocks of values in loops that vectorise.
//
// t^p = t^(1/3) * t^d with d = p - 1/3 = -3.5e-7. The cube root comes from the inverse
// cube root g = t^(-1/3): a first guess from the float's bits and two Newton steps in
// float give g to about 1e-5; then, in double, t g^2 (1 - h)^(-2/3) with h = 1 - t g^3,
// to the second power of h. The factor t^d is 1 + c + c^2 / 2 with c = d ln t, for which
// a float logarithm good to 2e-6 is plenty. The result lies within 2^-39 of the exact
// power. Only when a float rounding boundary lies within 2^-37 of it - about one value
// in 4000 - can it round differently from std::pow, and those values are answered by
// std::pow itself, as are values outside [2^-7, 2^16) (zero, negative, tiny, huge,
// infinite, NaN). Checked against std::pow for every float in that range.

namespace cieCubeRootDetail {

constexpr double exponent = static_cast<double>(0.333333f);
constexpr double exponentOffset = exponent - 1.0 / 3.0;
constexpr std::uint32_t lowestBits = 0x3c000000u;  // 2^-7 < 0.008856
constexpr std::uint32_t endBits = 0x47800000u;     // 2^16
constexpr std::uint32_t oneBits = 0x3f800000u;
constexpr std::uint32_t guessBits = 0x54a23300u;  // g within 3.5% from the bits alone
// A double's last 29 significand bits, which rounding to float drops; the rounding
// boundary lies where they are 2^28. A double that comes within 2^16 of its units there
// (2^-37 of its value, or less) is too near to tell.
constexpr std::uint64_t droppedBits = (std::uint64_t(1) << 29) - 1;
constexpr std::uint64_t nearBoundaryStart = (std::uint64_t(1) << 28) - (std::uint64_t(1) << 16);
constexpr std::uint64_t nearBoundaryWidth = std::uint64_t(1) << 17;
constexpr float askLibrary = 0.0f;  // no power in the fast range is 0

// d ln(1 + f) for f in [0, 1): the Chebyshev interpolant of degree 6 of the logarithm,
// within 1.7e-6 of it, with every coefficient times d.
constexpr float scaledLogCoefficient(double c)
{
    return static_cast<float>(exponentOffset * c);
}
constexpr float log0 = scaledLogCoefficient(1.69366263e-06);
constexpr float log1 = scaledLogCoefficient(0.999832571);
constexpr float log2 = scaledLogCoefficient(-0.49720332);
constexpr float log3 = scaledLogCoefficient(0.315041274);
constexpr float log4 = scaledLogCoefficient(-0.189019546);
constexpr float log5 = scaledLogCoefficient(0.08152318);
constexpr float log6 = scaledLogCoefficient(-0.0170296114);
constexpr float binadeLog = scaledLogCoefficient(0.6931471805599453);  // d ln 2

inline float powerThroughLibrary(float t)
{
    return static_cast<float>(std::pow(static_cast<double>(t), exponent));
}

inline std::uint32_t bitsOf(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float floatOf(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// One Newton step toward t^(-1/3), given t / 3: it squares the relative error (and
// doubles it).
inline float inverseCubeRootStep(float third, float g)
{
    return g * (1.33333333f - ((third * g) * g) * g);
}

// d ln t for a positive normal float whose bits are given: its binade, and the
// polynomial for the significand.
inline float scaledLogarithm(std::uint32_t bits)
{
    const float binade = static_cast<float>(static_cast<int>(bits >> 23) - 127);
    const float f = floatOf((bits & 0x7fffffu) | oneBits) - 1.0f;
    const float significand = log0 + f * (log1 + f * (log2 + f * (log3 + f * (log4 + f * (log5 + f * log6)))));
    return binade * binadeLog + significand;
}

}  // namespace cieCubeRootDetail

constexpr int cieCubeRootBlockSize = 192;

// What the float stage leaves for the double one.
struct CieCubeRootBlock {
    float value[cieCubeRootBlockSize];        // t, or 0 where t is left to the library
    float inverseRoot[cieCubeRootBlockSize];  // t^(-1/3) to about 1e-5
    float correction[cieCubeRootBlockSize];   // t^(p - 1/3) - 1
};

// Sixteen lanes of float work a vector: the guess, its Newton steps and the logarithm.
inline void cieCubeRootEstimates(const float* t, int count, CieCubeRootBlock& b)
{
    using namespace cieCubeRootDetail;
    for (int k = 0; k < count; ++k) {
        const std::uint32_t bits = bitsOf(t[k]);
        const bool inside = bits - lowestBits < endBits - lowestBits;  // unsigned: one test
        const std::uint32_t valueBits = inside ? bits : 0u;            // 0 gives a power of 0
        const float value = floatOf(valueBits);
        const float third = value * (1.0f / 3.0f);
        float g = floatOf(guessBits - valueBits / 3u);
        g = inverseCubeRootStep(third, g);
        g = inverseCubeRootStep(third, g);
        const float c = scaledLogarithm(valueBits);
        b.value[k] = value;
        b.inverseRoot[k] = g;
        b.correction[k] = c + (0.5f * c) * c;
    }
}

// Eight lanes of double work a vector: the cube root and its correction. power[k] is
// askLibrary (0) where it must come from std::pow instead.
inline void cieCubeRootRefine(const CieCubeRootBlock& b, int count, float* power)
{
    using namespace cieCubeRootDetail;
    for (int k = 0; k < count; ++k) {
        const double t = b.value[k];
        const double g = b.inverseRoot[k];
        const double root = (t * g) * g;
        const double h = 1.0 - root * g;
        const double series = h * (2.0 / 3.0 + h * (5.0 / 9.0));
        const double cubeRoot = root + root * series;
        const double p = cubeRoot + cubeRoot * static_cast<double>(b.correction[k]);
        std::uint64_t bits;
        std::memcpy(&bits, &p, sizeof bits);
        const bool nearBoundary = ((bits & droppedBits) - nearBoundaryStart) < nearBoundaryWidth;
        power[k] = nearBoundary ? askLibrary : static_cast<float>(p);
    }
}

// The same power for one value.
inline float cieCubeRoot(float t)
{
    CieCubeRootBlock block;
    float power;
    cieCubeRootEstimates(&t, 1, block);
    cieCubeRootRefine(block, 1, &power);
    return power == cieCubeRootDetail::askLibrary ? cieCubeRootDetail::powerThroughLibrary(t) : power;
}
