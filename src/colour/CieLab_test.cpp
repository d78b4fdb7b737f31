#include "colour/CieLab.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

// The conversions written as plainly as possible, every power through std::pow in double.
// The library may compute faster, but must agree with these bit for bit.
float referencePower(float base, double exponent)
{
    return static_cast<float>(std::pow(static_cast<double>(base), exponent));
}

float referenceCompand(float t)
{
    if (t > 0.008856f)
        return referencePower(t, static_cast<double>(0.333333f));
    return (903.3f * t + 16.0f) / 116.0f;
}

vec3 referenceRgbToLab(vec3 c)
{
    const float x = 0.412453f * c.x + 0.357580f * c.y + 0.180423f * c.z;
    const float y = 0.212671f * c.x + 0.715160f * c.y + 0.072169f * c.z;
    const float z = 0.019334f * c.x + 0.119193f * c.y + 0.950227f * c.z;
    const float xr = x / 0.95045f;
    const float yr = y;
    const float zr = z / 1.08892f;
    const float fx = referenceCompand(xr);
    const float fy = referenceCompand(yr);
    const float fz = referenceCompand(zr);
    return {116.0f * fy - 16.0f, 500.0f * (fx - fy), 200.0f * (fy - fz)};
}

vec3 referenceLabToRgb(vec3 c)
{
    const float yr = c.x > 7.999625f ? referencePower((c.x + 16.0f) / 116.0f, 3.0) : c.x / 903.3f;
    const float fy = yr > 0.008856f ? (c.x + 16.0f) / 116.0f : (903.3f * yr + 16.0f) / 116.0f;
    const float fx = fy + c.y / 500.0f;
    const float fz = fy - c.z / 200.0f;
    const float fx3 = referencePower(fx, 3.0);
    const float fz3 = referencePower(fz, 3.0);
    const float xr = fx3 > 0.008856f ? fx3 : (116.0f * fx - 16.0f) / 903.3f;
    const float zr = fz3 > 0.008856f ? fz3 : (116.0f * fz - 16.0f) / 903.3f;
    const float x = 0.95045f * xr;
    const float y = yr;
    const float z = 1.08892f * zr;
    return {3.240479f * x - 1.537150f * y - 0.498535f * z, -0.969256f * x + 1.875991f * y + 0.041556f * z,
            0.055648f * x - 0.204043f * y + 1.057311f * z};
}

vec3 toLab(vec3 rgb)
{
    vec3 lab{};
    rgbToLab(&rgb, &lab, 1);
    return lab;
}

vec3 toRgb(vec3 lab)
{
    vec3 rgb{};
    labToRgb(&lab, &rgb, 1);
    return rgb;
}

bool sameBits(const vec3& a, const vec3& b)
{
    return std::memcmp(&a, &b, sizeof(vec3)) == 0;
}

std::vector<vec3> randomColours(int count, float low, float high, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(low, high);
    std::vector<vec3> colours(count);
    for (vec3& c : colours)
        c = {value(rng), value(rng), value(rng)};
    return colours;
}

const vec3 sentinel{-7777.0f, 8888.0f, -9999.0f};

}  // namespace

TEST(RgbToLab, PrimaryRedAndWhiteGiveTheirKnownLab)
{
    const vec3 red = toLab({1.0f, 0.0f, 0.0f});
    EXPECT_NEAR(red.x, 53.24f, 0.005f);
    EXPECT_NEAR(red.y, 80.09f, 0.005f);
    EXPECT_NEAR(red.z, 67.20f, 0.005f);

    // The matrix rows and the white point do not balance exactly: b* is slightly positive.
    const vec3 white = toLab({1.0f, 1.0f, 1.0f});
    EXPECT_NEAR(white.x, 100.0f, 0.005f);
    EXPECT_NEAR(white.y, 0.0f, 0.005f);
    EXPECT_NEAR(white.z, 0.01f, 0.005f);
    EXPECT_GT(white.z, 0.0f);
}

TEST(RgbToLab, BlackGivesZeroUpToRounding)
{
    const vec3 black = toLab({0.0f, 0.0f, 0.0f});
    EXPECT_NEAR(black.x, 0.0f, 1e-5f);
    EXPECT_NEAR(black.y, 0.0f, 1e-5f);
    EXPECT_NEAR(black.z, 0.0f, 1e-5f);
}

TEST(LabToRgb, LightnessAtKappaEpsilonTakesTheLinearBranch)
{
    // With the cube the luminance would be ((7.999625 + 16) / 116)^3; the comparison is strict.
    const vec3 grey = toRgb({7.999625f, 0.0f, 0.0f});
    const float linearY = 7.999625f / 903.3f;
    const vec3 expected = referenceLabToRgb({7.999625f, 0.0f, 0.0f});
    EXPECT_TRUE(sameBits(grey, expected));
    const float y = 0.212671f * grey.x + 0.715160f * grey.y + 0.072169f * grey.z;
    EXPECT_NEAR(y, linearY, 1e-6f) << "luminance " << y;
}

TEST(RgbLabRoundTrip, RandomColoursInTheUnitCubeComeBackWithin1e5)
{
    const std::vector<vec3> rgb = randomColours(200000, 0.0f, 1.0f, 11);
    std::vector<vec3> lab(rgb.size()), back(rgb.size());
    rgbToLab(rgb.data(), lab.data(), static_cast<int>(rgb.size()));
    labToRgb(lab.data(), back.data(), static_cast<int>(rgb.size()));
    for (size_t i = 0; i < rgb.size(); ++i) {
        const vec3& a = rgb[i];
        const vec3& b = back[i];
        ASSERT_TRUE(std::fabs(a.x - b.x) <= 1e-5f && std::fabs(a.y - b.y) <= 1e-5f && std::fabs(a.z - b.z) <= 1e-5f)
            << "rgb (" << a.x << ", " << a.y << ", " << a.z << ") came back as (" << b.x << ", " << b.y << ", " << b.z
            << ")";
    }
}

TEST(RgbLabRoundTrip, GreyRampIncludingTheDarkLinearPartComesBack)
{
    for (int step = 0; step <= 4096; ++step) {
        const float v = static_cast<float>(step) / 4096.0f;
        const vec3 back = toRgb(toLab({v, v, v}));
        ASSERT_NEAR(back.x, v, 1e-5f) << "grey " << v;
        ASSERT_NEAR(back.y, v, 1e-5f) << "grey " << v;
        ASSERT_NEAR(back.z, v, 1e-5f) << "grey " << v;
    }
}

TEST(Conversions, AgreeBitForBitWithPlainPowers)
{
    // Beyond the unit cube too: the simulation writes Lab colours outside the RGB gamut.
    const std::vector<vec3> rgb = randomColours(300000, -0.2f, 1.3f, 5);
    std::vector<vec3> lab(rgb.size());
    rgbToLab(rgb.data(), lab.data(), static_cast<int>(rgb.size()));
    for (size_t i = 0; i < rgb.size(); ++i) {
        const vec3 expected = referenceRgbToLab(rgb[i]);
        ASSERT_TRUE(sameBits(lab[i], expected))
            << "rgb (" << rgb[i].x << ", " << rgb[i].y << ", " << rgb[i].z << "): got (" << lab[i].x << ", " << lab[i].y
            << ", " << lab[i].z << "), expected (" << expected.x << ", " << expected.y << ", " << expected.z << ")";
    }

    std::mt19937 rng(6);
    std::uniform_real_distribution<float> lightness(-5.0f, 110.0f), chroma(-140.0f, 140.0f);
    std::vector<vec3> labs(300000), back(labs.size());
    for (vec3& c : labs)
        c = {lightness(rng), chroma(rng), chroma(rng)};
    labToRgb(labs.data(), back.data(), static_cast<int>(labs.size()));
    for (size_t i = 0; i < labs.size(); ++i) {
        const vec3 expected = referenceLabToRgb(labs[i]);
        ASSERT_TRUE(sameBits(back[i], expected))
            << "lab (" << labs[i].x << ", " << labs[i].y << ", " << labs[i].z << "): got (" << back[i].x << ", "
            << back[i].y << ", " << back[i].z << "), expected (" << expected.x << ", " << expected.y << ", "
            << expected.z << ")";
    }

    // Photograph-like colours, where whole blocks take only the cubes, with a dark or
    // undefined one now and then that needs the linear arms of its block.
    std::uniform_real_distribution<float> bright(20.0f, 95.0f), muted(-30.0f, 30.0f), dark(-2.0f, 9.0f);
    for (size_t i = 0; i < labs.size(); ++i) {
        const bool odd = i % 997 == 0;
        labs[i] = {odd ? dark(rng) : bright(rng), muted(rng), muted(rng)};
        if (i % 104729 == 0)
            labs[i].y = NAN;
    }
    labToRgb(labs.data(), back.data(), static_cast<int>(labs.size()));
    for (size_t i = 0; i < labs.size(); ++i)
        ASSERT_TRUE(sameBits(back[i], referenceLabToRgb(labs[i]))) << "photograph-like colour " << i;
}

TEST(Conversions, NonPositiveCountTouchesNeitherArray)
{
    vec3 in[2] = {{0.5f, 0.5f, 0.5f}, {0.1f, 0.2f, 0.3f}};
    vec3 out[2] = {sentinel, sentinel};
    for (int count : {0, -1, -1000}) {
        rgbToLab(in, out, count);
        labToRgb(in, out, count);
        EXPECT_TRUE(sameBits(out[0], sentinel) && sameBits(out[1], sentinel)) << "count " << count;
        EXPECT_EQ(in[0].x, 0.5f);
    }
}

namespace {

// A width x height image whose rgb array sits between guard zones full of sentinels, so
// that a write outside the array shows up; reads outside are left to the sanitizer build.
struct GuardedImage {
    static constexpr int guard = 4096;
    int width;
    int height;
    std::vector<vec3> lab;
    std::vector<vec3> rgbWithGuards;
    std::vector<float> selection;

    GuardedImage(int w, int h, unsigned seed)
        : width(w), height(h), lab(randomColours(w * h, 0.0f, 100.0f, seed)),
          rgbWithGuards(w * h + 2 * guard, sentinel), selection(w * h, 1.0f)
    {
    }
    vec3* rgb() { return rgbWithGuards.data() + guard; }
    bool guardsIntact() const
    {
        for (int i = 0; i < guard; ++i)
            if (!sameBits(rgbWithGuards[i], sentinel) || !sameBits(rgbWithGuards[guard + width * height + i], sentinel))
                return false;
        return true;
    }
    int convertedCount()
    {
        int n = 0;
        for (int i = 0; i < width * height; ++i)
            n += sameBits(rgb()[i], sentinel) ? 0 : 1;
        return n;
    }
};

}  // namespace

TEST(LabToRgbInDisc, RadiusTenInTheMiddleConvertsTheDiscOf317Pixels)
{
    GuardedImage image(64, 64, 1);
    labToRgbInDisc(image.lab.data(), image.rgb(), 64, 64, 10.0f, image.selection.data(), 32.0f, 30.0f);
    EXPECT_EQ(image.convertedCount(), 317);
    const int centre = 30 * 64 + 32;
    EXPECT_TRUE(sameBits(image.rgb()[centre], toRgb(image.lab[centre])));
    EXPECT_TRUE(image.guardsIntact());
}

TEST(LabToRgbInDisc, RadiusZeroConvertsOnlyTheCentreAndPartialSelectionExcludes)
{
    GuardedImage image(16, 8, 2);
    labToRgbInDisc(image.lab.data(), image.rgb(), 16, 8, 0.0f, image.selection.data(), 3.0f, 5.0f);
    EXPECT_EQ(image.convertedCount(), 1);
    EXPECT_FALSE(sameBits(image.rgb()[5 * 16 + 3], sentinel));

    GuardedImage excluded(16, 8, 3);
    excluded.selection[5 * 16 + 3] = 0.999f;
    labToRgbInDisc(excluded.lab.data(), excluded.rgb(), 16, 8, 0.0f, excluded.selection.data(), 3.0f, 5.0f);
    EXPECT_EQ(excluded.convertedCount(), 0);
}

TEST(LabToRgbInDisc, RandomDiscsConvertExactlyTheSelectedPixelsInsideAndNothingElse)
{
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> size(1, 40);
    std::uniform_real_distribution<float> radius(-2.0f, 30.0f);
    std::uniform_int_distribution<int> centre(-45, 85);
    std::bernoulli_distribution selected(0.7);
    for (int trial = 0; trial < 400; ++trial) {
        const int w = size(rng), h = size(rng);
        GuardedImage image(w, h, trial);
        for (float& s : image.selection)
            s = selected(rng) ? 1.0f : 0.0f;
        const float r = radius(rng);
        const float cx = static_cast<float>(centre(rng)), cy = static_cast<float>(centre(rng));
        labToRgbInDisc(image.lab.data(), image.rgb(), w, h, r, image.selection.data(), cx, cy);
        ASSERT_TRUE(image.guardsIntact()) << w << "x" << h << " r " << r << " at (" << cx << ", " << cy << ")";
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int i = y * w + x;
                const float dx = x - cx, dy = y - cy;
                const bool inDisc = r >= 0.0f && dx * dx + dy * dy <= r * r;
                const bool expectConverted = inDisc && image.selection[i] >= 1.0f;
                const bool converted = !sameBits(image.rgb()[i], sentinel);
                ASSERT_EQ(converted, expectConverted) << "pixel (" << x << ", " << y << ") of " << w << "x" << h
                                                      << ", r " << r << " at (" << cx << ", " << cy << ")";
                if (converted) {
                    ASSERT_TRUE(sameBits(image.rgb()[i], toRgb(image.lab[i])));
                }
            }
        }
    }
}

TEST(LabToRgbInDisc, FractionalHugeOrUndefinedCentresStayInsideTheArrays)
{
    const float centres[] = {-0.5f, 0.4f, 15.99f, 16.0f, 7.5f, 1e30f, -1e30f, INFINITY, NAN};
    const float radii[] = {0.0f, 1.5f, 3.0f, 40.0f, 1e12f, INFINITY, NAN};
    for (float cx : centres)
        for (float cy : centres)
            for (float r : radii) {
                GuardedImage image(16, 8, 4);
                labToRgbInDisc(image.lab.data(), image.rgb(), 16, 8, r, image.selection.data(), cx, cy);
                ASSERT_TRUE(image.guardsIntact()) << "r " << r << " at (" << cx << ", " << cy << ")";
            }
}
