// Frozen copy, for the tests only: the model and colour code as they were before their
// passes were rewritten for speed. The model must keep giving exactly these results.
// Do not change it.

#include "reference/ReferenceCieLab.h"

#include "reference/ReferenceAvx2Clone.h"
#include "reference/ReferenceCieCubeRoot.h"

#include <algorithm>
#include <cmath>

namespace reference {

using MyAlgebra::vec3;

namespace {

// CIE constants as the single-precision values of their usual decimals.
constexpr float epsilon = 0.008856f;
constexpr float kappa = 903.3f;
constexpr float kappaEpsilon = 7.999625f;
constexpr float whiteX = 0.95045f;
constexpr float whiteZ = 1.08892f;

// A float's cube in double is exact up to one final rounding (24 + 24 bits fit, the third
// factor rounds once), so it is the correctly rounded double power; rounded to float it
// equals std::pow's for every finite float (checked over all of them).
float cubeInDouble(float v)
{
    const double d = v;
    return static_cast<float>(d * d * d);
}

float labCompand(float t)
{
    return t > epsilon ? cieCubeRoot(t) : (kappa * t + 16.0f) / 116.0f;
}

// rgbToLab works through blocks of pixels: the XYZ ratios of a whole block first, then
// their companding, whose independent power chains the processor can overlap.
constexpr int labBlockSize = 64;

struct CompandedBlock {
    float x[labBlockSize];
    float y[labBlockSize];
    float z[labBlockSize];
};

void whiteRelativeXyz(const vec3* in, int count, CompandedBlock& b)
{
    for (int k = 0; k < count; ++k) {
        const vec3& c = in[k];
        const float x = 0.412453f * c.x + 0.357580f * c.y + 0.180423f * c.z;
        const float y = 0.212671f * c.x + 0.715160f * c.y + 0.072169f * c.z;
        const float z = 0.019334f * c.x + 0.119193f * c.y + 0.950227f * c.z;
        b.x[k] = x / whiteX;
        b.y[k] = y;
        b.z[k] = z / whiteZ;
    }
}

void compand(float* values, int count)
{
    for (int k = 0; k < count; ++k)
        values[k] = labCompand(values[k]);
}

void labFromCompanded(const CompandedBlock& b, int count, vec3* out)
{
    for (int k = 0; k < count; ++k)
        out[k] = {116.0f * b.y[k] - 16.0f, 500.0f * (b.x[k] - b.y[k]), 200.0f * (b.y[k] - b.z[k])};
}

// Inverse of the companding for x and z: the cube unless it falls to the linear part.
// Both arms of each choice are computed and one is kept, so that labToRgb's loop has no
// branches and vectorises.
float labExpandChroma(float f)
{
    const float cube = cubeInDouble(f);
    const float linear = (116.0f * f - 16.0f) / kappa;
    return cube > epsilon ? cube : linear;
}

inline vec3 labPixelToRgb(const vec3& c)
{
    const float lightnessF = (c.x + 16.0f) / 116.0f;
    const float cubeY = cubeInDouble(lightnessF);
    const float linearY = c.x / kappa;
    const float yr = c.x > kappaEpsilon ? cubeY : linearY;
    const float linearF = (kappa * yr + 16.0f) / 116.0f;
    const float fy = yr > epsilon ? lightnessF : linearF;
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
    CompandedBlock block;
    for (int start = 0; start < count; start += labBlockSize) {
        const int n = std::min(labBlockSize, count - start);
        whiteRelativeXyz(in + start, n, block);
        compand(block.x, n);
        compand(block.y, n);
        compand(block.z, n);
        labFromCompanded(block, n, out + start);
    }
}

// labPixelToRgb over a full block in stages, each a plain loop over floats that vectorises;
// the arithmetic and its order are the same.
struct RgbFromLabBlock {
    float lightness[labBlockSize];
    float lightnessF[labBlockSize];
    float aTerm[labBlockSize];
    float bTerm[labBlockSize];
    float cube[labBlockSize];
    float yr[labBlockSize];
    float fx[labBlockSize];
    float fz[labBlockSize];
    float cubeX[labBlockSize];
    float cubeZ[labBlockSize];
    float red[labBlockSize];
    float green[labBlockSize];
    float blue[labBlockSize];
};

void cubesInDouble(const float* in, float* out)
{
    for (int k = 0; k < labBlockSize; ++k)
        out[k] = cubeInDouble(in[k]);
}

REFERENCE_AVX2_CLONE void labBlockToRgb(const vec3* in, vec3* out, RgbFromLabBlock& b)
{
    for (int k = 0; k < labBlockSize; ++k) {
        b.lightness[k] = in[k].x;
        b.lightnessF[k] = (in[k].x + 16.0f) / 116.0f;
        b.aTerm[k] = in[k].y / 500.0f;
        b.bTerm[k] = in[k].z / 200.0f;
    }
    cubesInDouble(b.lightnessF, b.cube);
    for (int k = 0; k < labBlockSize; ++k) {
        const float lightness = b.lightness[k];
        const float cube = b.cube[k];
        const float lightnessF = b.lightnessF[k];
        const float linearY = lightness / kappa;
        const float yr = lightness > kappaEpsilon ? cube : linearY;
        const float linearF = (kappa * yr + 16.0f) / 116.0f;
        const float fy = yr > epsilon ? lightnessF : linearF;
        b.yr[k] = yr;
        b.fx[k] = fy + b.aTerm[k];
        b.fz[k] = fy - b.bTerm[k];
    }
    cubesInDouble(b.fx, b.cubeX);
    cubesInDouble(b.fz, b.cubeZ);
    for (int k = 0; k < labBlockSize; ++k) {
        const float cubeX = b.cubeX[k];
        const float cubeZ = b.cubeZ[k];
        const float linearX = (116.0f * b.fx[k] - 16.0f) / kappa;
        const float linearZ = (116.0f * b.fz[k] - 16.0f) / kappa;
        const float x = whiteX * (cubeX > epsilon ? cubeX : linearX);
        const float y = b.yr[k];
        const float z = whiteZ * (cubeZ > epsilon ? cubeZ : linearZ);
        b.red[k] = 3.240479f * x - 1.537150f * y - 0.498535f * z;
        b.green[k] = -0.969256f * x + 1.875991f * y + 0.041556f * z;
        b.blue[k] = 0.055648f * x - 0.204043f * y + 1.057311f * z;
    }
    for (int k = 0; k < labBlockSize; ++k)
        out[k] = {b.red[k], b.green[k], b.blue[k]};
}

void labToRgb(const vec3* in, vec3* out, int count)
{
    RgbFromLabBlock block;
    int i = 0;
    for (; i + labBlockSize <= count; i += labBlockSize)
        labBlockToRgb(in + i, out + i, block);
    for (; i < count; ++i)
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

}  // namespace reference
