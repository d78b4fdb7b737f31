#include "batch/BatchRun.h"
#include "batch/FramesFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "colour/CieLab.h"
#include "imageopen/ImageIO.h"
#include "imagesave/ImageWriter.h"
#include "result/ModelResult.h"
#include "support/ScratchFolder.h"

using MyAlgebra::vec3;

namespace {

const std::string door = std::string(WEATHERING_SOURCE_DIR) + "/images/image1.jpg";
const std::string doorMask = std::string(WEATHERING_SOURCE_DIR) + "/images/image1_mask.jpg";
// Clean paint to rust, y from the top.
const char* const doorPath = "200,180 300,300 260,420";

bool neverStop()
{
    return false;
}

int stepsBeforeStop = 0;
bool stopAfterSomeSteps()
{
    return --stepsBeforeStop < 0;
}

int run(const BatchOptions& options, StopRequest stop = neverStop)
{
    ProgressLine silent(options.steps, stderr, false);
    return runBatch(options, silent, stop);
}

// What the window tool does for the same files and clicks: start-up, mask,
// clicks with rows counted from the bottom, then one step per idle pass.
class WindowToolRun {
public:
    explicit WindowToolRun(bool withMask, Look look = Look::sampled)
    {
        EXPECT_TRUE(ImageIO::load(photograph, door.c_str()));
        EXPECT_TRUE(model.initFromImage(photograph.data.get(), photograph.width, photograph.height));
        if (withMask) {
            EXPECT_TRUE(ImageIO::load(mask, doorMask.c_str()));
            model.applyMaskImage(mask.data.get(), mask.pixelCount());
            model.reinitialise(photograph.data.get(), ModelSettings{});
        }
        if (look != Look::sampled)
            model.setLook(look, photograph.data.get(), ModelSettings{});
        for (const Point2f& click : {Point2f{200, 421}, Point2f{300, 301}, Point2f{260, 181}}) {
            model.addPathPoint(click.x, click.y);
            model.computeDegrees();
        }
    }
    void steps(int count, bool dewethering)
    {
        ModelSettings settings;
        settings.dewethering = dewethering ? 1 : 0;
        for (int i = 0; i < count; ++i)
            model.simulationStep(settings);
    }
    WeatheringModel model;

private:
    ImageRect<vec3> photograph;
    ImageRect<float> mask;
};

// The frame's pixels against the model's colours rounded to 8 bits: all equal.
void expectFrameShows(const std::string& file, WeatheringModel& model)
{
    ImageRect<vec3> frame;
    ASSERT_TRUE(ImageIO::load(frame, file.c_str())) << file;
    ASSERT_EQ(frame.pixelCount(), model.pixelCount());
    std::vector<vec3> rgb;
    currentRgb(model, rgb);
    int differing = 0;
    for (int i = 0; i < model.pixelCount(); ++i) {
        const vec3 expected = {ImageWriter::channelByte(rgb[i].x) / 255.0f, ImageWriter::channelByte(rgb[i].y) / 255.0f,
                               ImageWriter::channelByte(rgb[i].z) / 255.0f};
        differing += expected.x != frame.data[i].x || expected.y != frame.data[i].y || expected.z != frame.data[i].z;
    }
    EXPECT_EQ(differing, 0) << file;
}

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override { initImageDecoder(); }
    BatchOptions doorOptions()
    {
        BatchOptions options;
        options.photograph = door;
        options.mask = doorMask;
        options.path = doorPath;
        return options;
    }
    ScratchFolder scratch;
};

TEST_F(BatchRunTest, FramesEqualTheWindowToolsModelAfterTheSameSteps)
{
    for (const bool dewethering : {false, true}) {
        BatchOptions options = doorOptions();
        options.steps = 7;
        options.every = 3;
        options.dewethering = dewethering;
        options.frames = scratch.path(dewethering ? "back" : "on");
        options.degrees = scratch.path(dewethering ? "back.png" : "on.png");
        ASSERT_EQ(run(options), batchSucceeded);

        WindowToolRun window(true);
        expectFrameShows(options.frames + "/frame_00000.png", window.model);
        window.steps(3, dewethering);
        expectFrameShows(options.frames + "/frame_00001.png", window.model);
        window.steps(3, dewethering);
        expectFrameShows(options.frames + "/frame_00002.png", window.model);
        // Frames at multiples of --every only: step 7 has none.
        std::vector<std::string> frames;
        for (const auto& entry : std::filesystem::directory_iterator(options.frames))
            frames.push_back(entry.path().filename().string());
        EXPECT_EQ(frames.size(), 3u);

        window.steps(1, dewethering);
        std::vector<std::uint16_t> grey;
        degreeMap16(window.model, grey);
        ImageRect<float> degrees;
        ASSERT_TRUE(ImageIO::load(degrees, options.degrees.c_str()));
        for (int i = 0; i < window.model.pixelCount(); ++i)
            ASSERT_NEAR(degrees.data[i] * 65535.0f, grey[i], 0.02f);
    }
}

TEST_F(BatchRunTest, OutputWithoutAMaskEqualsTheWindowTool)
{
    BatchOptions options = doorOptions();
    options.mask.clear();
    options.steps = 5;
    options.output = scratch.path("final.png");
    ASSERT_EQ(run(options), batchSucceeded);
    WindowToolRun window(false);
    window.steps(5, false);
    expectFrameShows(options.output, window.model);
}

// Mean difference of two frames' channels, in 8-bit levels.
double meanDifference(const std::string& a, const std::string& b)
{
    ImageRect<vec3> first, second;
    EXPECT_TRUE(ImageIO::load(first, a.c_str()) && ImageIO::load(second, b.c_str()));
    double sum = 0.0;
    for (int i = 0; i < first.pixelCount(); ++i)
        sum += std::fabs(first.data[i].x - second.data[i].x) + std::fabs(first.data[i].y - second.data[i].y) +
            std::fabs(first.data[i].z - second.data[i].z);
    return 255.0 * sum / (3.0 * first.pixelCount());
}

TEST_F(BatchRunTest, TheNaturalLookGoesForwardThenBackWithFramesCountingOn)
{
    BatchOptions options = doorOptions();
    options.natural = true;
    options.steps = 60;
    options.back = 60;
    options.every = 30;
    options.frames = scratch.path("there-and-back");
    ASSERT_EQ(run(options), batchSucceeded);
    std::vector<std::string> frames;
    for (const auto& entry : std::filesystem::directory_iterator(options.frames))
        frames.push_back(entry.path().filename().string());
    EXPECT_EQ(frames.size(), 5u);  // steps 0, 30, 60 forward, then 90 and 120

    WindowToolRun window(true, Look::natural);
    window.steps(60, false);
    expectFrameShows(options.frames + "/frame_00002.png", window.model);
    window.steps(60, true);
    expectFrameShows(options.frames + "/frame_00004.png", window.model);
    const double there = meanDifference(options.frames + "/frame_00000.png", options.frames + "/frame_00002.png");
    const double back = meanDifference(options.frames + "/frame_00000.png", options.frames + "/frame_00004.png");
    EXPECT_GT(there, 0.3);
    EXPECT_LT(back, 0.3 * there);
}

TEST_F(BatchRunTest, SampledByDefaultAndItsOutputUnchangedByTheLookOption)
{
    BatchOptions options = doorOptions();
    options.steps = 5;
    options.output = scratch.path("default.png");
    ASSERT_EQ(run(options), batchSucceeded);
    options.natural = false;  // as --look sampled reads
    options.output = scratch.path("sampled.png");
    ASSERT_EQ(run(options), batchSucceeded);
    EXPECT_EQ(meanDifference(scratch.path("default.png"), scratch.path("sampled.png")), 0.0);
    WindowToolRun window(true);
    window.steps(5, false);
    expectFrameShows(options.output, window.model);
}

TEST_F(BatchRunTest, AnInterruptKeepsWholeFramesAndWritesNoFinalFile)
{
    BatchOptions options = doorOptions();
    options.steps = 50;
    options.every = 2;
    options.frames = scratch.path("frames");
    options.output.clear();
    options.degrees = scratch.path("d.png");
    stepsBeforeStop = 5;
    testing::internal::CaptureStderr();
    EXPECT_EQ(run(options, stopAfterSomeSteps), batchInterrupted);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("interrupted after 5 of 50 steps"), std::string::npos) << said;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(options.frames))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame_00000.png", "frame_00001.png", "frame_00002.png"}));
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"frames"});
}

TEST_F(BatchRunTest, FileProblemsEndWithStatusOneAndUsageProblemsWithTwo)
{
    writeContents(scratch.path("not-a-picture.jpg"), "text");
    writeContents(scratch.path("file"), "x");
    const struct {
        const char* what;
        void (*change)(BatchOptions&, const ScratchFolder&);
        int status;
        const char* says;
    } cases[] = {
        {"unreadable photograph",
         [](BatchOptions& o, const ScratchFolder& s) { o.photograph = s.path("not-a-picture.jpg"); }, batchFailed,
         "cannot load"},
        {"missing photograph", [](BatchOptions& o, const ScratchFolder& s) { o.photograph = s.path("none.jpg"); },
         batchFailed, "cannot load"},
        {"missing mask", [](BatchOptions& o, const ScratchFolder& s) { o.mask = s.path("none.jpg"); }, batchFailed,
         "cannot load"},
        {"point outside", [](BatchOptions& o, const ScratchFolder&) { o.path = "10,10 512,10"; }, batchUsageError,
         "512,10 is outside the photograph (512 x 602)"},
        {"point above", [](BatchOptions& o, const ScratchFolder&) { o.path = "10,10 10,-1"; }, batchUsageError,
         "outside"},
        {"frames under a file", [](BatchOptions& o, const ScratchFolder& s) { o.frames = s.path("file/frames"); },
         batchFailed, "cannot make folder"},
        {"output folder missing", [](BatchOptions& o, const ScratchFolder& s) { o.output = s.path("no/o.png"); },
         batchFailed, "no folder"},
    };
    for (const auto& c : cases) {
        BatchOptions options = doorOptions();
        options.steps = 1;
        options.output = scratch.path("o.png");
        c.change(options, scratch);
        if (!options.frames.empty())
            options.output.clear();
        testing::internal::CaptureStderr();
        EXPECT_EQ(run(options), c.status) << c.what;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.says), std::string::npos) << c.what << ": " << said;
    }
    std::vector<std::string> names = scratch.entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"file", "not-a-picture.jpg"})) << "nothing written";
}

std::vector<std::string> sortedEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A second, shorter run into the same folder would leave the first run's later
// frames among its own: it is refused, unless --overwrite clears them first.
TEST_F(BatchRunTest, AFramesFolderThatHoldsFramesIsReplacedOnlyWhenAsked)
{
    BatchOptions options = doorOptions();
    options.output.clear();
    options.frames = scratch.path("frames");
    options.steps = 3;
    options.every = 1;
    ASSERT_EQ(run(options), batchSucceeded);
    writeContents(scratch.path("frames/notes.txt"), "mine");
    const std::string firstLast = fileContents(scratch.path("frames/frame_00003.png"));

    options.steps = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(run(options), batchUsageError);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("already holds 4 frames; give --overwrite to replace them"), std::string::npos) << said;
    EXPECT_EQ(fileContents(scratch.path("frames/frame_00003.png")), firstLast) << "a refused run changed a frame";

    // A photograph that cannot be loaded stops the run before anything is cleared.
    options.overwrite = true;
    options.photograph = scratch.path("none.jpg");
    testing::internal::CaptureStderr();
    EXPECT_EQ(run(options), batchFailed);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(sortedEntries(options.frames).size(), 5u);

    options.photograph = door;
    EXPECT_EQ(run(options), batchSucceeded);
    EXPECT_EQ(sortedEntries(options.frames),
              (std::vector<std::string>{"frame_00000.png", "frame_00001.png", "notes.txt"}));
    EXPECT_EQ(fileContents(scratch.path("frames/notes.txt")), "mine");
}

TEST(FramesFolder, KnowsTheFrameNamesAndNothingElse)
{
    EXPECT_EQ(frameName(0), "frame_00000.png");
    EXPECT_EQ(frameName(123456), "frame_123456.png");
    EXPECT_TRUE(isFrameName("frame_00042.png"));
    EXPECT_TRUE(isFrameName("frame_123456.png"));
    for (const char* other : {"frame_0042.png", "frame_0000a.png", "frame_00042.jpg", "frame_00042.png~",
                              "xframe_00042.png", "frame_.png", "notes.txt"})
        EXPECT_FALSE(isFrameName(other)) << other;
    ScratchFolder scratch;
    EXPECT_EQ(framesIn(scratch.path("missing")), 0);
    std::string reason;
    EXPECT_TRUE(clearFrames(scratch.path("missing"), reason)) << reason;
}

}  // namespace
