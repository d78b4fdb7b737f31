#include "colour/Rgba8.h"

#include "colour/VectorClones.h"

using MyAlgebra::vec3;

namespace {

// Adding and taking away 2^23 rounds a float in 0 ... 2^23 to an integer, ties to even,
// as GL's conversion does.
constexpr float roundingShift = 8388608.0f;

std::uint32_t byteOf(float v)
{
    const float clamped = v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);
    const float rounded = (clamped * 255.0f + roundingShift) - roundingShift;
    return static_cast<std::uint32_t>(rounded);
}

}  // namespace

WEATHERING_VECTOR_CLONES void rgbToRgba8(const vec3* rgb, std::uint32_t* rgba, int count)
{
    for (int i = 0; i < count; ++i)
        rgba[i] = byteOf(rgb[i].x) | byteOf(rgb[i].y) << 8 | byteOf(rgb[i].z) << 16 | 0xff000000u;
}
