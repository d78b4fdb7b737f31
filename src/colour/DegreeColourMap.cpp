#include "colour/DegreeColourMap.h"

#include <algorithm>
#include <cmath>

#include "colour/CieLab.h"

using MyAlgebra::vec3;

namespace {

constexpr float darkestLightness = 10.0f;
constexpr float brightestLightness = 95.0f;
constexpr float startHue = 290.0f;  // violet; the hue turns through red to yellow
constexpr float hueTurn = 165.0f;
constexpr float greatestChroma = 70.0f;
constexpr float pi = 3.14159265f;

bool inGamut(const vec3& rgb)
{
    return rgb.x >= 0.0f && rgb.x <= 1.0f && rgb.y >= 0.0f && rgb.y <= 1.0f && rgb.z >= 0.0f && rgb.z <= 1.0f;
}

vec3 linearRgbOf(float lightness, float chroma, float hueDegrees)
{
    const float hue = hueDegrees * pi / 180.0f;
    const vec3 lab = {lightness, chroma * std::cos(hue), chroma * std::sin(hue)};
    vec3 rgb;
    labToRgb(&lab, &rgb, 1);
    return rgb;
}

float clamp01(float v)
{
    return std::min(1.0f, std::max(0.0f, v));
}

std::uint8_t toByte(float v)
{
    return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0f));
}

// Degrees outside 0 to 1 take the nearest end; NaN takes the start.
float clampedDegree(float degree)
{
    return degree > 0.0f ? std::min(degree, 1.0f) : 0.0f;
}

}  // namespace

float encodeDisplay(float linear)
{
    const float c = clamp01(linear);
    return c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

float decodeDisplay(float display)
{
    const float c = clamp01(display);
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

vec3 degreeMapColour(float degree)
{
    const float t = clampedDegree(degree);
    const float lightness = darkestLightness + (brightestLightness - darkestLightness) * t;
    const float hue = startHue + hueTurn * t;
    // Most colourful in the middle, fading towards black and white at the ends.
    const float chroma = greatestChroma * std::sin(pi * (0.1f + 0.8f * t));
    vec3 rgb = linearRgbOf(lightness, chroma, hue);
    if (!inGamut(rgb)) {
        // Out of the screen's gamut: give up chroma, never lightness, so L* keeps
        // rising. Grey (chroma 0) is always inside.
        float inside = 0.0f;
        float outside = chroma;
        for (int i = 0; i < 24; ++i) {
            const float middle = 0.5f * (inside + outside);
            if (inGamut(linearRgbOf(lightness, middle, hue)))
                inside = middle;
            else
                outside = middle;
        }
        rgb = linearRgbOf(lightness, inside, hue);
    }
    return {encodeDisplay(rgb.x), encodeDisplay(rgb.y), encodeDisplay(rgb.z)};
}

vec3 unmaskedDegreeColour()
{
    return {0.5f, 0.5f, 0.5f};
}

std::array<Rgba8, degreeMapSize> degreeMapTable()
{
    std::array<Rgba8, degreeMapSize> table;
    for (int k = 0; k < degreeMapSize; ++k) {
        const vec3 c = degreeMapColour(static_cast<float>(k) / (degreeMapSize - 1));
        table[k] = {toByte(c.x), toByte(c.y), toByte(c.z), 255};
    }
    return table;
}

namespace {

std::uint32_t packed(const Rgba8& c)
{
    return static_cast<std::uint32_t>(c.r) | static_cast<std::uint32_t>(c.g) << 8 |
        static_cast<std::uint32_t>(c.b) << 16 | static_cast<std::uint32_t>(c.a) << 24;
}

}  // namespace

void paintDegreeView(const float* degree, const float* mask, int count, std::uint32_t* rgba)
{
    static const std::array<std::uint32_t, degreeMapSize> table = [] {
        std::array<std::uint32_t, degreeMapSize> t;
        const std::array<Rgba8, degreeMapSize> colours = degreeMapTable();
        for (int k = 0; k < degreeMapSize; ++k)
            t[k] = packed(colours[k]);
        return t;
    }();
    const vec3 grey = unmaskedDegreeColour();
    const std::uint32_t unmasked = packed({toByte(grey.x), toByte(grey.y), toByte(grey.z), 255});
    for (int i = 0; i < count; ++i)
        rgba[i] = mask[i] >= 1.0f ? table[degreeMapIndex(degree[i])] : unmasked;
}

int degreeMapIndex(float degree)
{
    return static_cast<int>(clampedDegree(degree) * (degreeMapSize - 1) + 0.5f);
}
