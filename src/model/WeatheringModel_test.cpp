#include "model/WeatheringModel.h"

#include "colour/CieLab.h"
#include "colour/Rgba8.h"
#include "model/WeatheringModelTestScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

TEST(InitFromImage, StartsMaskedInWithEmptyPathAndTablesWithoutSamples)
{
    std::mt19937 rng(1);
    const std::vector<vec3> pixels = randomPhotograph(7, 5, rng);
    auto m = modelOf(pixels, 7, 5);
    m->mask[3] = 0.0f;
    m->addPathPoint(1, 1);
    ASSERT_TRUE(m->initFromImage(pixels.data(), 7, 5));
    std::vector<vec3> lab(35);
    rgbToLab(pixels.data(), lab.data(), 35);
    for (int i = 0; i < 35; ++i) {
        EXPECT_EQ(m->mask[i], 1.0f);
        EXPECT_EQ(m->degree[i], 0.0f);
        EXPECT_TRUE(sameBits(&m->lab[i], &lab[i], 1) && sameBits(&m->labReference[i], &lab[i], 1));
    }
    EXPECT_TRUE(m->imagePoints.empty() && m->chromaPoints.empty());
    EXPECT_EQ(m->maxDegree, 0.0f);
    for (int k = 0; k < fineBinCount; ++k)
        ASSERT_TRUE(m->degreeBins[k].a == -1000.0f && m->binDistance[k] == -1.0f && m->degreeBins[k].count == 0.0f);
}

TEST(InitFromImage, RefusedSizeChangesNothingAndSaysSo)
{
    auto m = modelOf(std::vector<vec3>(12, vec3{0.2f, 0.4f, 0.6f}), 4, 3);
    const vec3* before = m->lab.get();
    const vec3 one{0, 0, 0};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(m->initFromImage(&one, 65536, 65536));
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(m->lab.get(), before);
    EXPECT_TRUE(m->width == 4 && m->height == 3 && m->displayWidth == 4 && m->displayHeight == 3);
    EXPECT_TRUE(m->hasImage());

    // Nor does a size that is none, or missing pixels, on a model without a photograph.
    WeatheringModel empty;
    const int sizes[][2] = {{0, 5}, {5, 0}, {-65536, -65536}, {65536, 65536}};
    testing::internal::CaptureStderr();
    for (const auto& size : sizes)
        EXPECT_FALSE(empty.initFromImage(&one, size[0], size[1])) << size[0] << " x " << size[1];
    EXPECT_FALSE(empty.initFromImage(nullptr, 1, 1));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(empty.hasImage());
    EXPECT_TRUE(empty.width > 0 && empty.height > 0);
}

TEST(InitFromImage, ANewSizeBecomesTheSizeAndTheDisplaySize)
{
    std::mt19937 rng(4);
    auto m = modelOf(randomPhotograph(4, 3, rng), 4, 3);
    const std::vector<vec3> tall = randomPhotograph(2, 6, rng);
    ASSERT_TRUE(m->initFromImage(tall.data(), 2, 6));
    EXPECT_TRUE(m->width == 2 && m->height == 6 && m->displayWidth == 2 && m->displayHeight == 6);
    EXPECT_TRUE(m->hasImage());
    EXPECT_EQ(m->pixelCount(), 12);
    std::vector<vec3> lab(12);
    rgbToLab(tall.data(), lab.data(), 12);
    EXPECT_TRUE(sameBits(m->labReference.get(), lab.data(), 12));
}

TEST(EmptyModel, EveryOperationDoesNothingBeforeAPhotograph)
{
    auto m = std::make_unique<WeatheringModel>();
    const ModelSettings s;
    const float values[4] = {1, 1, 1, 1};
    const vec3 pixel{1, 1, 1};
    m->applyMaskImage(values, 4);
    m->addPathPoint(1, 1);
    m->removeLastPathPoint();
    m->computeDegrees();
    m->computeRates(s);
    m->computeRateAt(1, 1, s);
    m->simulationStep(s);
    m->applyBrush(5, 5, s);
    m->refreshTexture();
    m->refreshTextureInBrush(5, 5, s);
    m->reinitialise(&pixel, s);
    EXPECT_FALSE(m->hasImage());
    EXPECT_TRUE(m->imagePoints.empty() && m->chromaPoints.empty());
    EXPECT_EQ(m->width, 512);
}

TEST(ApplyMaskImage, ThresholdsAtOneHalfAndWritesAtMostThePhotographsSize)
{
    auto m = modelOf(std::vector<vec3>(6, vec3{0.5f, 0.5f, 0.5f}), 3, 2);
    const float values[8] = {0.5f, 0.5001f, 0.0f, 1.0f, 0.2f, 0.9f, 0.0f, 0.0f};
    m->applyMaskImage(values, 6);
    const float expected[6] = {0, 1, 0, 1, 0, 1};
    EXPECT_TRUE(sameBits(m->mask.get(), expected, 6));

    testing::internal::CaptureStderr();
    const float zeros[8] = {};
    m->applyMaskImage(zeros, 8);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_TRUE(sameBits(m->mask.get(), zeros, 6));

    const float ones[2] = {1, 1};
    testing::internal::CaptureStderr();
    m->applyMaskImage(ones, 2);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    const float partly[6] = {1, 1, 0, 0, 0, 0};
    EXPECT_TRUE(sameBits(m->mask.get(), partly, 6));
}

TEST(PathPoints, AppendTheWorkingChromaAndIgnorePositionsOutsideThePhotograph)
{
    auto m = modelOf(std::vector<vec3>(8 * 4, vec3{1.0f, 1.0f, 1.0f}), 8, 4);
    m->addPathPoint(7, 3);
    ASSERT_EQ(m->chromaPoints.size(), 1u);
    // White: b* of about 0.01 lifts y 0.02 above 140 x 1.954.
    EXPECT_NEAR(m->chromaPoints[0].x, 190.55f, 0.005f);
    EXPECT_NEAR(m->chromaPoints[0].y, 273.58f, 0.005f);
    for (Point2f outside : {Point2f{-1, 0}, Point2f{8, 0}, Point2f{0, 4}, Point2f{0, -0.5f}, Point2f{NAN, 1}})
        m->addPathPoint(outside.x, outside.y);
    EXPECT_EQ(m->imagePoints.size(), 1u);
    EXPECT_EQ(m->chromaPoints.size(), 1u);
    m->removeLastPathPoint();
    m->removeLastPathPoint();
    EXPECT_TRUE(m->imagePoints.empty() && m->chromaPoints.empty());
}

TEST(Reinitialise, KeepsMaskPathAndReferenceAndRestoresThePhotograph)
{
    std::mt19937 rng(8);
    for (int trial = 0; trial < 20; ++trial) {
        const RandomScene scene = randomScene(rng);
        auto m = modelOf(scene);
        const int n = scene.w * scene.h;
        const std::vector<float> degrees(m->degree.get(), m->degree.get() + n);
        const std::vector<vec3> reference(m->labReference.get(), m->labReference.get() + n);
        for (int step = 0; step < 20; ++step)
            m->simulationStep(ModelSettings{});
        m->applyBrush(scene.w / 2, scene.h / 2, ModelSettings{});
        const std::vector<Point2f> path = m->chromaPoints;
        m->reinitialise(scene.pixels.data(), ModelSettings{});
        EXPECT_TRUE(sameBits(m->mask.get(), scene.mask.data(), n));
        ASSERT_EQ(m->chromaPoints.size(), path.size());
        EXPECT_TRUE(sameBits(m->chromaPoints.data(), path.data(), static_cast<int>(path.size())));
        EXPECT_TRUE(sameBits(m->labReference.get(), reference.data(), n));
        EXPECT_TRUE(sameBits(m->degree.get(), degrees.data(), n));
        EXPECT_TRUE(sameBits(m->lab.get(), reference.data(), n)) << "colours back to the photograph's";
    }
}

TEST(Reinitialise, FromTheHeldColoursEqualsFromThePhotographBitForBit)
{
    std::mt19937 rng(81);
    for (int trial = 0; trial < 20; ++trial) {
        const RandomScene scene = randomScene(rng);
        auto fromPhotograph = modelOf(scene);
        auto fromHeld = modelOf(scene);
        for (WeatheringModel* m : {fromPhotograph.get(), fromHeld.get()}) {
            for (int step = 0; step < 10; ++step)
                m->simulationStep(ModelSettings{});
            m->applyBrush(scene.w / 3, scene.h / 3, ModelSettings{});
        }
        fromPhotograph->reinitialise(scene.pixels.data(), ModelSettings{});
        fromHeld->reinitialise(nullptr, ModelSettings{});
        EXPECT_TRUE(sameState(*fromPhotograph, *fromHeld)) << "trial " << trial;
        const int n = scene.w * scene.h;
        EXPECT_TRUE(sameBits(fromPhotograph->rgb.get(), fromHeld->rgb.get(), n)) << "trial " << trial;
    }
}

namespace {

int uploads = 0;
PixelRect lastUpload{};
void countingUploader(const std::uint32_t*, int, int, const PixelRect& changed)
{
    ++uploads;
    lastUpload = changed;
}

}  // namespace

TEST(RefreshTexture, ConvertsLabAndUploadsTheWholeImageOrTheBrushRectangle)
{
    std::mt19937 rng(9);
    const std::vector<vec3> pixels = randomPhotograph(32, 32, rng);
    auto m = modelOf(pixels, 32, 32);
    m->uploader = countingUploader;
    uploads = 0;
    m->refreshTexture();
    std::vector<vec3> expected(32 * 32);
    labToRgb(m->lab.get(), expected.data(), 32 * 32);
    EXPECT_TRUE(sameBits(m->rgb.get(), expected.data(), 32 * 32));
    std::vector<std::uint32_t> bytes(32 * 32);
    rgbToRgba8(expected.data(), bytes.data(), 32 * 32);
    EXPECT_TRUE(sameBits(m->rgba.get(), bytes.data(), 32 * 32));
    EXPECT_EQ(uploads, 1);
    EXPECT_TRUE(lastUpload.x == 0 && lastUpload.y == 0 && lastUpload.width == 32 && lastUpload.height == 32);

    // In the brush only masked pixels of the disc are converted, and only the disc's
    // square is packed and uploaded.
    std::fill(m->rgb.get(), m->rgb.get() + 32 * 32, vec3{-1, -1, -1});
    m->mask[16 * 32 + 16] = 0.0f;
    m->refreshTextureInBrush(16, 16, ModelSettings{});
    EXPECT_EQ(uploads, 2);
    EXPECT_TRUE(lastUpload.x == 6 && lastUpload.y == 6 && lastUpload.width == 21 && lastUpload.height == 21)
        << lastUpload.x << " " << lastUpload.y << " " << lastUpload.width << " " << lastUpload.height;
    int converted = 0;
    for (int i = 0; i < 32 * 32; ++i)
        converted += m->rgb[i].x != -1.0f ? 1 : 0;
    EXPECT_EQ(converted, 316);
    EXPECT_EQ(m->rgb[16 * 32 + 16].x, -1.0f);
    rgbToRgba8(m->rgb.get(), bytes.data(), 32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 6 && x < 27 && y >= 6 && y < 27;
            ASSERT_EQ(m->rgba[y * 32 + x] == bytes[y * 32 + x], inside) << x << ", " << y;
        }

    // A brush off the photograph converts nothing and hands on an empty rectangle.
    const std::vector<vec3> shown(m->rgb.get(), m->rgb.get() + 32 * 32);
    m->refreshTextureInBrush(-50, 16, ModelSettings{});
    EXPECT_EQ(uploads, 3);
    EXPECT_TRUE(lastUpload.width == 0 || lastUpload.height == 0);
    EXPECT_TRUE(sameBits(m->rgb.get(), shown.data(), 32 * 32));
}

TEST(NonFiniteValues, ADegreeOutsideTheTablesIndexesNothingAndKeepsItsColour)
{
    std::mt19937 rng(11);
    const std::vector<vec3> pixels = randomPhotograph(12, 10, rng);
    auto m = modelOf(pixels, 12, 10);
    m->addPathPoint(1, 1);
    m->addPathPoint(10, 8);
    m->computeDegrees();
    const float awkward[] = {NAN, -NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
    for (int k = 0; k < 6; ++k)
        m->degree[13 * k + 5] = awkward[k];
    const std::vector<vec3> lab(m->lab.get(), m->lab.get() + 120);
    ModelSettings s;
    s.brushSize = 30.0f;
    // The first step paints from these degrees: nothing. The clamp then brings the
    // infinite and huge ones back to 0 ... maxDegree; NaN stays NaN and never paints.
    m->simulationStep(s);
    m->bringColoursUpToDate();
    for (int k = 0; k < 6; ++k) {
        const int i = 13 * k + 5;
        EXPECT_TRUE(sameBits(&m->lab[i], &lab[i], 1)) << "pixel " << i << " with degree " << awkward[k];
    }
    for (int round = 0; round < 3; ++round) {
        m->simulationStep(s);
        m->applyBrush(6, 5, s);
        m->refreshTextureInBrush(6, 5, s);
    }
    m->refreshTexture();
    EXPECT_TRUE(std::isnan(m->degree[5]) && sameBits(&m->lab[5], &lab[5], 1));
    EXPECT_TRUE(std::isnan(m->degree[18]) && sameBits(&m->lab[18], &lab[18], 1));
}

TEST(NonFiniteValues, APathThroughANotANumberColourGivesDegreesThatTouchNoTable)
{
    std::mt19937 rng(12);
    std::vector<vec3> pixels = randomPhotograph(9, 7, rng);
    pixels[20] = {NAN, 0.5f, 0.5f};
    pixels[30] = {INFINITY, INFINITY, INFINITY};
    pixels[40] = {-INFINITY, 0.2f, NAN};
    auto m = modelOf(pixels, 9, 7);
    m->addPathPoint(0, 0);
    m->addPathPoint(2, 2);  // pixel 20
    m->addPathPoint(8, 6);
    m->computeDegrees();
    for (int i = 0; i < 63; ++i)
        ASSERT_TRUE(std::isnan(m->degree[i])) << "pixel " << i << ": " << m->degree[i];
    for (int k = 0; k < fineBinCount; ++k)
        ASSERT_TRUE(m->degreeBins[k].a == -1000.0f && m->degreeBins[k].count == 0.0f) << "bin " << k;
    EXPECT_EQ(m->maxDegree, 0.0f);
    const std::vector<vec3> lab(m->lab.get(), m->lab.get() + 63);
    ModelSettings s;
    for (int round = 0; round < 3; ++round) {
        m->simulationStep(s);
        m->applyBrush(4, 3, s);
    }
    m->refreshTexture();
    EXPECT_TRUE(sameBits(m->lab.get(), lab.data(), 63)) << "no pixel has a colour to take";
    m->reinitialise(pixels.data(), s);
    EXPECT_TRUE(std::isnan(m->degree[0]));
}

TEST(PixelArray, HoldsItsElementsAlignedAndSaysWhenMemoryIsShort)
{
    PixelArray<vec3> colours = allocatePixelArray<vec3>(1000);
    ASSERT_NE(colours.get(), nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(colours.get()) % (2u << 20), 0u) << "on a 2 MB boundary";
    for (int i = 0; i < 1000; ++i)
        colours[i] = {static_cast<float>(i), 0.0f, 0.0f};
    EXPECT_EQ(colours[999].x, 999.0f);
    EXPECT_EQ(allocatePixelArray<float>(std::size_t{1} << 62).get(), nullptr);
}

TEST(Reinitialise, OfAModelJustBuiltAndMaskedChangesOnlyTheRates)
{
    // What start-up relies on when the default mask follows the photograph at once.
    std::mt19937 rng(13);
    const RandomScene scene = randomScene(rng);
    for (int dewethering = 0; dewethering <= 1; ++dewethering) {
        ModelSettings s;
        s.dewethering = dewethering;
        auto restarted = modelOf(scene.pixels, scene.w, scene.h);
        restarted->applyMaskImage(scene.mask.data(), scene.w * scene.h);
        restarted->reinitialise(scene.pixels.data(), s);
        auto rated = modelOf(scene.pixels, scene.w, scene.h);
        rated->applyMaskImage(scene.mask.data(), scene.w * scene.h);
        rated->computeRates(s);
        rated->refreshTexture();
        EXPECT_TRUE(sameState(*rated, *restarted)) << "dewethering " << dewethering;
        EXPECT_TRUE(sameBits(rated->rgb.get(), restarted->rgb.get(), scene.w * scene.h));
        EXPECT_TRUE(sameBits(rated->binDistance, restarted->binDistance, fineBinCount));
    }
}
