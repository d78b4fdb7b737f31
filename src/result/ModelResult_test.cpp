#include "result/ModelResult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "colour/CieLab.h"
#include "imageopen/ImageIO.h"
#include "imagesave/ImageWriter.h"
#include "background/JobProgress.h"
#include "result/SaveSnapshot.h"
#include "support/ScratchFolder.h"

using MyAlgebra::vec3;

namespace {

constexpr int width = 48;
constexpr int height = 30;

// A photograph with a clean left half and a rusty right half, the right third of
// it masked out, weathered along a path from clean to rusty for a few steps: the
// weathered colours then differ from the photograph and from the last refresh.
std::unique_ptr<WeatheringModel> weatheredModel()
{
    std::vector<vec3> photograph(width * height);
    std::vector<float> mask(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float t = static_cast<float>(x) / width;
            photograph[y * width + x] = {0.4f + 0.5f * t, 0.45f + 0.1f * t - 0.01f * y, 0.5f - 0.4f * t};
            mask[y * width + x] = x < 2 * width / 3 ? 1.0f : 0.0f;
        }
    auto model = std::make_unique<WeatheringModel>();
    EXPECT_TRUE(model->initFromImage(photograph.data(), width, height));
    model->applyMaskImage(mask.data(), width * height);
    model->reinitialise(photograph.data(), ModelSettings{});
    model->addPathPoint(2.0f, 5.0f);
    model->addPathPoint(30.0f, 20.0f);
    model->computeDegrees();
    for (int step = 0; step < 20; ++step)
        model->simulationStep(ModelSettings{});
    return model;
}

std::vector<vec3> convertedLab(WeatheringModel& model)
{
    model.bringColoursUpToDate();
    std::vector<vec3> rgb(model.pixelCount());
    labToRgb(model.lab.get(), rgb.data(), model.pixelCount());
    return rgb;
}

bool sameBits(const void* a, const void* b, std::size_t bytes)
{
    return std::memcmp(a, b, bytes) == 0;
}

class ModelResultTest : public ::testing::Test {
protected:
    void SetUp() override { initImageDecoder(); }
    ScratchFolder scratch;
};

TEST_F(ModelResultTest, CurrentRgbIsAllOfLabNotTheLastRefresh)
{
    const auto model = weatheredModel();
    std::vector<vec3> rgb;
    currentRgb(*model, rgb);
    const std::vector<vec3> expected = convertedLab(*model);
    ASSERT_EQ(rgb.size(), expected.size());
    EXPECT_TRUE(sameBits(rgb.data(), expected.data(), rgb.size() * sizeof(vec3)));
    EXPECT_FALSE(sameBits(rgb.data(), model->rgb.get(), rgb.size() * sizeof(vec3)))
        << "the steps should have left the display colours behind";
    const auto empty = std::make_unique<WeatheringModel>();
    currentRgb(*empty, rgb);
    EXPECT_TRUE(rgb.empty());
}

TEST_F(ModelResultTest, SavedImagesLoadBackAsTheModelsColoursInEveryFormat)
{
    const auto model = weatheredModel();
    const std::vector<vec3> expected = convertedLab(*model);
    for (const char* name : {"w.png", "w.tif", "w.bmp", "w.tga", "w.jpg"}) {
        std::string reason;
        ASSERT_TRUE(saveModelImage(*model, scratch.path(name), reason)) << name << ": " << reason;
        ImageRect<vec3> loaded;
        ASSERT_TRUE(ImageIO::load(loaded, scratch.path(name).c_str()));
        ASSERT_EQ(loaded.width, width);
        ASSERT_EQ(loaded.height, height);
        // JPEG only resembles: its closeness is the writer's test.
        const bool lossy = ImageWriter::fileTypeOf(name) == ImageWriter::FileType::jpeg;
        double sum = 0.0;
        for (int i = 0; i < width * height; ++i) {
            // Within 8-bit rounding: the loaded byte is the rounded clamped colour.
            const float l[3] = {loaded.data[i].x, loaded.data[i].y, loaded.data[i].z};
            const float e[3] = {expected[i].x, expected[i].y, expected[i].z};
            for (int c = 0; c < 3; ++c) {
                const float clamped = std::fmin(1.0f, std::fmax(0.0f, e[c]));
                const float difference = std::fabs(l[c] - clamped) * 255.0f;
                sum += difference;
                if (!lossy) {
                    ASSERT_LE(difference, 0.5f + 1e-3f) << name << " pixel " << i << " channel " << c;
                }
            }
        }
        if (lossy) {
            EXPECT_LE(sum / (3 * width * height), 8.0) << name << ": not the same picture";
        }
    }
}

TEST_F(ModelResultTest, SavingChangesNothingInTheModel)
{
    const auto model = weatheredModel();
    const std::size_t n = model->pixelCount();
    // Painting the colours steps left pending is no change: every read sees them.
    model->bringColoursUpToDate();
    const std::vector<vec3> lab(model->lab.get(), model->lab.get() + n);
    const std::vector<vec3> rgb(model->rgb.get(), model->rgb.get() + n);
    const std::vector<float> degree(model->degree.get(), model->degree.get() + n);
    std::string reason;
    ASSERT_TRUE(saveModelImage(*model, scratch.path("w.png"), reason));
    ASSERT_TRUE(saveModelDegrees(*model, scratch.path("d.png"), reason));
    EXPECT_TRUE(sameBits(lab.data(), model->lab.get(), n * sizeof(vec3)));
    EXPECT_TRUE(sameBits(rgb.data(), model->rgb.get(), n * sizeof(vec3)));
    EXPECT_TRUE(sameBits(degree.data(), model->degree.get(), n * sizeof(float)));
}

// A snapshot written while the model went on weathering is the file a save at the
// moment of the snapshot gave, byte for byte (the description included).
TEST_F(ModelResultTest, ASnapshotWritesTheResultAsItWasWhenTaken)
{
    const auto model = weatheredModel();
    const ResultRecipe recipe{"door.jpg", "", 20, false};
    std::string reason;
    ASSERT_TRUE(saveModelImage(*model, scratch.path("then.png"), reason, recipe));
    ASSERT_TRUE(saveModelDegrees(*model, scratch.path("then_degrees.png"), reason, recipe));
    const SaveSnapshot colours = SaveSnapshot::ofColours(*model, recipe);
    const SaveSnapshot degrees = SaveSnapshot::ofDegrees(*model, recipe);
    for (int step = 0; step < 20; ++step)
        model->simulationStep(ModelSettings{});
    model->addPathPoint(40.0f, 10.0f);
    model->computeDegrees();

    ASSERT_TRUE(colours.write(scratch.path("snap.png"), reason)) << reason;
    ASSERT_TRUE(degrees.write(scratch.path("snap_degrees.png"), reason)) << reason;
    EXPECT_EQ(fileContents(scratch.path("snap.png")), fileContents(scratch.path("then.png")));
    EXPECT_EQ(fileContents(scratch.path("snap_degrees.png")), fileContents(scratch.path("then_degrees.png")));
    EXPECT_EQ(colours.pictureWidth(), width);
    EXPECT_EQ(colours.pictureHeight(), height);

    JobProgress cancelled;
    cancelled.cancel();
    EXPECT_FALSE(colours.write(scratch.path("cancelled.png"), reason, &cancelled));
    EXPECT_EQ(reason, "cancelled");
    EXPECT_FALSE(degrees.write(scratch.path("cancelled.png"), reason, &cancelled));
    EXPECT_EQ(reason, "cancelled");
    std::vector<std::string> files = scratch.entries();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"snap.png", "snap_degrees.png", "then.png", "then_degrees.png"}));

    EXPECT_FALSE(degrees.write(scratch.path("d.jpg"), reason));
    EXPECT_EQ(reason, "the degree map is saved as a 16-bit PNG only (use .png)");
    WeatheringModel empty;
    EXPECT_TRUE(SaveSnapshot::ofColours(empty, recipe).empty());
}

TEST(DegreeGrey, MapsZeroToOneOntoTheSixteenBitRange)
{
    EXPECT_EQ(degreeGrey16(0.0f), 0);
    EXPECT_EQ(degreeGrey16(1.0f), 65535);
    EXPECT_EQ(degreeGrey16(0.5f), 32768);
    EXPECT_EQ(degreeGrey16(-0.5f), 0);
    EXPECT_EQ(degreeGrey16(2.0f), 65535);
    EXPECT_EQ(degreeGrey16(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST_F(ModelResultTest, DegreeMapIsZeroOutsideTheMaskAndLoadsBack)
{
    const auto model = weatheredModel();
    std::vector<std::uint16_t> grey;
    degreeMap16(*model, grey);
    ASSERT_EQ(grey.size(), static_cast<std::size_t>(width * height));
    int weathered = 0;
    for (int i = 0; i < width * height; ++i) {
        if (model->mask[i] >= 1.0f) {
            EXPECT_EQ(grey[i], degreeGrey16(model->degree[i]));
            weathered += grey[i] > 0;
        } else {
            EXPECT_EQ(grey[i], 0) << "pixel " << i << " is outside the mask";
        }
    }
    EXPECT_GT(weathered, 0);

    std::string reason;
    ASSERT_TRUE(saveModelDegrees(*model, scratch.path("d.png"), reason)) << reason;
    ImageRect<float> loaded;
    ASSERT_TRUE(ImageIO::load(loaded, scratch.path("d.png").c_str()));
    for (int i = 0; i < width * height; ++i)
        ASSERT_NEAR(loaded.data[i] * 65535.0f, grey[i], 0.02f);
}

TEST_F(ModelResultTest, RefusesWhatItCannotSaveAndWritesNothing)
{
    const auto model = weatheredModel();
    std::string reason;
    EXPECT_FALSE(saveModelDegrees(*model, scratch.path("d.jpg"), reason));
    EXPECT_NE(reason.find("use .png"), std::string::npos);
    EXPECT_FALSE(saveModelImage(*model, scratch.path("w.webp"), reason));
    const auto empty = std::make_unique<WeatheringModel>();
    EXPECT_FALSE(saveModelImage(*empty, scratch.path("w.png"), reason));
    EXPECT_EQ(reason, "no photograph is loaded");
    EXPECT_FALSE(saveModelDegrees(WeatheringModel{}, scratch.path("d.png"), reason));
    EXPECT_TRUE(scratch.entries().empty());
}

// The text saved files carry is a command line that a shell reads back into the
// same words: the path in top-down pixels, odd file names quoted.
TEST_F(ModelResultTest, TheDescriptionIsTheBatchCommandThatMakesTheResultAgain)
{
    const auto model = weatheredModel();
    EXPECT_EQ(describeResult(*model, ResultRecipe{"images/door.jpg", "", 20, false}),
              "weathering-batch images/door.jpg --path \"2,24 30,9\" --steps 20");
    EXPECT_EQ(describeResult(*model, ResultRecipe{"my door's.jpg", "m a.png", 7, true}),
              "weathering-batch 'my door'\\''s.jpg' --mask 'm a.png' --path \"2,24 30,9\" --steps 7 --dewethering");
    EXPECT_EQ(describeResult(*model, ResultRecipe{}), "weathering-batch PHOTO --path \"2,24 30,9\" --steps 0");
    ResultRecipe forwardAndBack{"door.jpg", "", 20, false};
    forwardAndBack.back = 5;
    model->look = Look::natural;
    EXPECT_EQ(describeResult(*model, forwardAndBack),
              "weathering-batch door.jpg --path \"2,24 30,9\" --steps 20 --back 5 --look natural");
    model->look = Look::sampled;

    std::string reason;
    ASSERT_TRUE(saveModelDegrees(*model, scratch.path("d.png"), reason, ResultRecipe{"door.jpg", "", 20, false}));
    EXPECT_NE(fileContents(scratch.path("d.png")).find("weathering-batch door.jpg --path"), std::string::npos);
}

}  // namespace
