#include "colour/CieLab.h"

#include "colour/VectorClones.h"
#include "colour/CieCubeRoot.h"
#include "parallel/ParallelShares.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

// rgbToLab works through blocks of pixels: the XYZ ratios of a whole block first, then
// their companding, all three components in one run, then L*a*b*.
constexpr int labBlockSize = cieCubeRootBlockSize / 3;

struct CompandedBlock {
    float values[3 * labBlockSize];  // x, then y, then z
    float* x() { return values; }
    float* y() { return values + labBlockSize; }
    float* z() { return values + 2 * labBlockSize; }
    const float* x() const { return values; }
    const float* y() const { return values + labBlockSize; }
    const float* z() const { return values + 2 * labBlockSize; }
};

// Packed RGB colours to XYZ relative to the white, in three plain arrays: the
// arithmetic from then on runs on whole vectors of one component.
// A block of fewer pixels is filled up with ones, which compand without a detour.
WEATHERING_VECTOR_CLONES void whiteRelativeXyz(const vec3* __restrict in, int count, CompandedBlock& __restrict b)
{
    float* __restrict xs = b.x();
    float* __restrict ys = b.y();
    float* __restrict zs = b.z();
    for (int k = 0; k < count; ++k) {
        const float red = in[k].x, green = in[k].y, blue = in[k].z;
        const float x = 0.412453f * red + 0.357580f * green + 0.180423f * blue;
        const float y = 0.212671f * red + 0.715160f * green + 0.072169f * blue;
        const float z = 0.019334f * red + 0.119193f * green + 0.950227f * blue;
        xs[k] = x / whiteX;
        ys[k] = y;
        zs[k] = z / whiteZ;
    }
    for (int k = count; k < labBlockSize; ++k)
        xs[k] = ys[k] = zs[k] = 1.0f;
}

// The companding f(t) over a block: t^0.333333 above epsilon, else (kappa t + 16) / 116.
// The powers of all values first, in loops that vectorise; the linear part, rare in a
// photograph, only for blocks that have such a value; then the few powers that lie too
// near a rounding boundary come from the library.
WEATHERING_VECTOR_CLONES void compand(float* values, int count)
{
    CieCubeRootBlock roots;
    float power[cieCubeRootBlockSize];
    cieCubeRootEstimates(values, count, roots);
    cieCubeRootRefine(roots, count, power);
    std::uint32_t linear = 0;
    std::uint32_t fromLibrary = 0;
    for (int k = 0; k < count; ++k) {
        const bool above = values[k] > epsilon;
        linear |= above ? 0u : 1u;
        fromLibrary |= above && power[k] == cieCubeRootDetail::askLibrary ? 1u : 0u;
    }
    if (linear != 0) {
        for (int k = 0; k < count; ++k) {
            const float t = values[k];
            power[k] = t > epsilon ? power[k] : (kappa * t + 16.0f) / 116.0f;
        }
    }
    if (fromLibrary != 0) {
        for (int k = 0; k < count; ++k)
            if (values[k] > epsilon && power[k] == cieCubeRootDetail::askLibrary)
                power[k] = cieCubeRootDetail::powerThroughLibrary(values[k]);
    }
    std::copy(power, power + count, values);
}

// Companded values to packed (L*, a*, b*).
WEATHERING_VECTOR_CLONES void labFromCompanded(const CompandedBlock& __restrict b, int count, vec3* __restrict out)
{
    const float* __restrict xs = b.x();
    const float* __restrict ys = b.y();
    const float* __restrict zs = b.z();
    for (int k = 0; k < count; ++k) {
        const float fx = xs[k], fy = ys[k], fz = zs[k];
        out[k] = {116.0f * fy - 16.0f, 500.0f * (fx - fy), 200.0f * (fy - fz)};
    }
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
    return {3.240479f * x - 1.537150f * y - 0.498535f * z, -0.969256f * x + 1.875991f * y + 0.041556f * z,
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

WEATHERING_VECTOR_CLONES void rgbBlockToLab(const vec3* in, int count, vec3* out)
{
    CompandedBlock block;
    whiteRelativeXyz(in, count, block);
    compand(block.values, 3 * labBlockSize);
    labFromCompanded(block, count, out);
}

void rgbToLab(const vec3* in, vec3* out, int count)
{
    parallel::forEachShare(count, 1, [&](int, int begin, int end) {
        for (int start = begin; start < end; start += labBlockSize)
            rgbBlockToLab(in + start, std::min(labBlockSize, end - start), out + start);
    });
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

WEATHERING_VECTOR_CLONES void labBlockToRgb(const vec3* in, vec3* out, RgbFromLabBlock& b)
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
    parallel::forEachShare(count, 1, [&](int, int begin, int end) {
        RgbFromLabBlock block;
        int i = begin;
        for (; i + labBlockSize <= end; i += labBlockSize)
            labBlockToRgb(in + i, out + i, block);
        for (; i < end; ++i)
            out[i] = labPixelToRgb(in[i]);
    });
}

void labToRgbInDisc(const vec3* lab, vec3* rgb, int width, int height, float radius, const float* selection, float cx,
                    float cy)
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
