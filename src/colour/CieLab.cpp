#include "colour/CieLab.h"

#include <algorithm>
#include <cmath>

using MyAlgebra::vec3;

namespace {

// CIE constants as the single-precision values of their usual decimals.
constexpr float epsilon = 0.008856f;
constexpr float kappa = 903.3f;
constexpr float kappaEpsilon = 7.999625f;
constexpr float cubeRootExponent = 0.333333f;
constexpr float whiteX = 0.95045f;
constexpr float whiteZ = 1.08892f;

// The power in double from float arguments, rounded back to float.
float powerInDouble(float base, float exponent)
{
    return static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

// A float's cube in double is exact up to one final rounding (24 + 24 bits fit, the third
// factor rounds once), so it is the correctly rounded double power; checked against
// std::pow over every float of the range the conversions use.
float cubeInDouble(float v)
{
    const double d = v;
    return static_cast<float>(d * d * d);
}

float labCompand(float t)
{
    return t > epsilon ? powerInDouble(t, cubeRootExponent) : (kappa * t + 16.0f) / 116.0f;
}

vec3 rgbPixelToLab(const vec3& c)
{
    const float x = 0.412453f * c.x + 0.357580f * c.y + 0.180423f * c.z;
    const float y = 0.212671f * c.x + 0.715160f * c.y + 0.072169f * c.z;
    const float z = 0.019334f * c.x + 0.119193f * c.y + 0.950227f * c.z;
    const float fx = labCompand(x / whiteX);
    const float fy = labCompand(y);
    const float fz = labCompand(z / whiteZ);
    return {116.0f * fy - 16.0f, 500.0f * (fx - fy), 200.0f * (fy - fz)};
}

// Inverse of the companding for x and z: the cube unless it falls to the linear part.
float labExpandChroma(float f)
{
    const float cube = cubeInDouble(f);
    return cube > epsilon ? cube : (116.0f * f - 16.0f) / kappa;
}

vec3 labPixelToRgb(const vec3& c)
{
    const float lightnessF = (c.x + 16.0f) / 116.0f;
    const float yr = c.x > kappaEpsilon ? cubeInDouble(lightnessF) : c.x / kappa;
    const float fy = yr > epsilon ? lightnessF : (kappa * yr + 16.0f) / 116.0f;
    const float fx = fy + c.y / 500.0f;
    const float fz = fy - c.z / 200.0f;
    const float x = whiteX * labExpandChroma(fx);
    const float y = yr;
    const float z = whiteZ * labExpandChroma(fz);
    return {3.240479f * x - 1.537150f * y - 0.498535f * z,
            -0.969256f * x + 1.875991f * y + 0.041556f * z,
            0.055648f * x - 0.204043f * y + 1.057311f * z};
}

// First and last integer offset o with lowest <= o <= radius (compared as floats) whose
// position centre + o can lie in [0, size). The range only narrows the loop; every pixel
// in it is still tested exactly, so nothing that would pass is lost.
struct OffsetRange {
    long long first;
    long long last;
};

OffsetRange offsetsInside(long long lowest, float radius, float centre, int size)
{
    const double top = std::floor(static_cast<double>(radius));
    const double first = std::max(static_cast<double>(lowest), std::floor(-static_cast<double>(centre)) - 1.0);
    const double last = std::min(top, std::ceil(static_cast<double>(size) - centre) + 1.0);
    if (!(first <= last))
        return {0, -1};
    return {static_cast<long long>(first), static_cast<long long>(last)};
}

}  // namespace

void rgbToLab(const vec3* in, vec3* out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = rgbPixelToLab(in[i]);
}

void labToRgb(const vec3* in, vec3* out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = labPixelToRgb(in[i]);
}

void labToRgbInDisc(const vec3* lab, vec3* rgb, int width, int height, float radius,
                    const float* selection, float cx, float cy)
{
    // NaN or negative radii convert nothing. Radii and centres past 1e9 are refused too:
    // nothing sensible lies there, and it keeps every offset and its square in range.
    if (!(radius >= 0.0f) || radius > 1.0e9f || width <= 0 || height <= 0)
        return;
    if (!(std::fabs(cx) <= 1.0e9f && std::fabs(cy) <= 1.0e9f))
        return;
    const long long r0 = static_cast<long long>(radius);
    const float radiusSquared = radius * radius;
    const long long pixelCount = static_cast<long long>(width) * height;
    const OffsetRange is = offsetsInside(-r0, radius, cx, width);
    const OffsetRange js = offsetsInside(-r0, radius, cy, height);
    for (long long i = is.first; i <= is.last; ++i) {
        for (long long j = js.first; j <= js.last; ++j) {
            if (static_cast<double>(i * i + j * j) > static_cast<double>(radiusSquared))
                continue;
            const float x = cx + static_cast<float>(i);
            const float y = cy + static_cast<float>(j);
            if (!(x >= 0.0f && x < static_cast<float>(width) && y >= 0.0f && y < static_cast<float>(height)))
                continue;
            // Formed in double so that whole positions give exact indices in large images;
            // a fractional centre could still round past the last pixel, hence the bound.
            const long long index = static_cast<long long>(static_cast<double>(width) * y + x);
            if (index < 0 || index >= pixelCount || !(selection[index] >= 1.0f))
                continue;
            rgb[index] = labPixelToRgb(lab[index]);
        }
    }
}
