#include "session/WeatheringSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/ScratchFolder.h"
#include "imageopen/ImageIO.h"
#include "imagesave/ImageWriter.h"

using MyAlgebra::vec3;

namespace {

// A photograph with a clean left half and a rusty right half, rows of slightly varying
// lightness, so that a two-point path places pixels all along it.
std::vector<vec3> twoToneScene(int width, int height)
{
    std::vector<vec3> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float t = static_cast<float>(x) / (width - 1);
            const float shade = 0.05f * static_cast<float>(y % 5);
            pixels[static_cast<std::size_t>(y) * width + x] = {0.3f + 0.5f * t + shade, 0.5f - 0.1f * t + shade,
                                                               0.7f - 0.6f * t + shade};
        }
    return pixels;
}

// The model as a person would judge it: degrees, colours and the path.
struct ModelLook {
    std::vector<float> degree;
    std::vector<vec3> lab;
    std::vector<float> mask;
    std::size_t pathPoints = 0;
};

ModelLook lookOf(WeatheringSession& session)
{
    WeatheringModel& model = session.model();
    ModelLook look;
    const std::size_t n = model.hasImage() ? static_cast<std::size_t>(model.pixelCount()) : 0;
    look.degree.assign(model.degree.get(), model.degree.get() + n);
    // The colours as they are, pending ones as they will be painted, without painting
    // them: the undo history keeps them pending.
    look.lab.resize(n);
    model.currentLabOf(0, static_cast<int>(n), look.lab.data());
    look.mask.assign(model.mask.get(), model.mask.get() + n);
    look.pathPoints = model.imagePoints.size();
    return look;
}

bool sameLab(const std::vector<vec3>& a, const std::vector<vec3>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z)
            return false;
    return true;
}

void expectSameLook(const ModelLook& a, const ModelLook& b)
{
    EXPECT_EQ(a.pathPoints, b.pathPoints);
    EXPECT_TRUE(a.degree == b.degree) << "degrees differ";
    EXPECT_TRUE(sameLab(a.lab, b.lab)) << "colours differ";
    EXPECT_TRUE(a.mask == b.mask) << "masks differ";
}

class WeatheringSessionTest : public ::testing::Test {
protected:
    static constexpr int width = 40;
    static constexpr int height = 30;

    void SetUp() override
    {
        initImageDecoder();
        const std::vector<vec3> scene = twoToneScene(width, height);
        std::string reason;
        ASSERT_TRUE(ImageWriter::saveRgb(photo, scene.data(), width, height, reason)) << reason;
        // The right third may weather; stored at half size, so it is scaled.
        std::vector<vec3> mask(static_cast<std::size_t>(width / 2) * (height / 2), vec3{0, 0, 0});
        for (int y = 0; y < height / 2; ++y)
            for (int x = 2 * width / 6; x < width / 2; ++x)
                mask[static_cast<std::size_t>(y) * (width / 2) + x] = {1, 1, 1};
        ASSERT_TRUE(ImageWriter::saveRgb(halfSizeMask, mask.data(), width / 2, height / 2, reason)) << reason;
    }

    // A loaded photograph with a two-point path from the clean to the rusty side.
    void loadWithPath(WeatheringSession& s)
    {
        ASSERT_TRUE(s.loadPhotograph(photo).done());
        ASSERT_TRUE(s.addPathPoint(2, 10));
        ASSERT_TRUE(s.addPathPoint(width - 3, 10));
        s.commitDueChange();
    }

    void run(WeatheringSession& s, int steps)
    {
        s.setSimulation(true);
        for (int i = 0; i < steps; ++i)
            s.step();
        s.setSimulation(false);
        s.commitDueChange();
    }

    ScratchFolder scratch;
    const std::string photo = scratch.path("photo.png");
    const std::string halfSizeMask = scratch.path("mask.png");
};

TEST_F(WeatheringSessionTest, APathClickRecomputesDegreesRestartsTheStepCountAndIsOneUndoStep)
{
    WeatheringSession s;
    loadWithPath(s);
    run(s, 5);
    ASSERT_EQ(s.stepsSinceRestart(), 5);
    const int stepsBefore = s.undoableSteps();
    const ModelLook before = lookOf(s);
    const unsigned int degreesSeen = s.degreeVersion();

    ASSERT_TRUE(s.addPathPoint(width / 2, 3));
    EXPECT_EQ(s.stepsSinceRestart(), 0);
    EXPECT_NE(s.degreeVersion(), degreesSeen);
    EXPECT_TRUE(s.changeAwaitsCommit()) << "kept only after the front end showed it";
    EXPECT_TRUE(s.commitDueChange());
    EXPECT_EQ(s.undoableSteps(), stepsBefore + 1);

    ASSERT_TRUE(s.undo().done());
    expectSameLook(lookOf(s), before);
    EXPECT_EQ(s.stepsSinceRestart(), 5) << "an undo shows the count its state had";
    ASSERT_TRUE(s.redo().done());
    EXPECT_EQ(s.model().imagePoints.size(), 3u);
    EXPECT_EQ(s.stepsSinceRestart(), 0);
}

TEST_F(WeatheringSessionTest, ClicksOutsideThePhotographAddNothingAndKeepNoStep)
{
    WeatheringSession s;
    loadWithPath(s);
    for (const auto& pixel : {std::pair<int, int>{-1, 0}, {0, -1}, {width, 0}, {0, height}}) {
        EXPECT_FALSE(s.addPathPoint(pixel.first, pixel.second)) << pixel.first << "," << pixel.second;
        EXPECT_FALSE(s.changeAwaitsCommit());
    }
    EXPECT_EQ(s.model().imagePoints.size(), 2u);

    WeatheringSession empty;
    EXPECT_FALSE(empty.addPathPoint(0, 0)) << "no photograph, no path";
}

TEST_F(WeatheringSessionTest, RightClicksWithNothingToRemoveAreNoUndoSteps)
{
    WeatheringSession s;
    loadWithPath(s);
    const int stepsBefore = s.undoableSteps();
    int removed = 0;
    for (int click = 0; click < 200; ++click) {
        removed += s.removePathPoint() ? 1 : 0;
        s.commitDueChange();  // the window's idle pass between two clicks
    }
    EXPECT_EQ(removed, 2);
    EXPECT_TRUE(s.model().imagePoints.empty());
    EXPECT_EQ(s.undoableSteps(), stepsBefore + 2);
    ASSERT_TRUE(s.undo().done());
    EXPECT_EQ(s.model().imagePoints.size(), 1u) << "the last real removal is the newest step";

    WeatheringSession empty;
    EXPECT_FALSE(empty.removePathPoint()) << "no photograph, nothing to remove";
}

TEST_F(WeatheringSessionTest, APathStopsGrowingAtItsLongestAndKeepsWorking)
{
    WeatheringSession s(WeatheringSession::History::none);
    ASSERT_TRUE(s.loadPhotograph(photo).done());
    for (int i = 0; i < WeatheringSession::mostPathPoints; ++i)
        ASSERT_TRUE(s.addPathPoint(i % width, (i / width) % height)) << "point " << i;
    EXPECT_TRUE(s.pathIsFull());
    EXPECT_FALSE(s.addPathPoint(1, 1));
    EXPECT_EQ(s.model().imagePoints.size(), static_cast<std::size_t>(WeatheringSession::mostPathPoints));
    ASSERT_TRUE(s.removePathPoint());
    EXPECT_TRUE(s.addPathPoint(1, 1)) << "room again after a right click";
}

TEST_F(WeatheringSessionTest, TheSimulationSwitchesItselfOffAtTheStopStepAndTheRunIsOneStep)
{
    WeatheringSession s;
    loadWithPath(s);
    const ModelLook before = lookOf(s);
    const int stepsBefore = s.undoableSteps();
    s.setStopAtStep(-4);
    EXPECT_EQ(s.stopAtStep(), 0) << "a negative stop means none";
    s.setStopAtStep(4);
    s.setSimulation(true);
    int made = 0;
    while (s.step() && made < 100)
        ++made;
    EXPECT_EQ(made, 4);
    EXPECT_FALSE(s.simulationOn());
    EXPECT_EQ(s.stepsSinceRestart(), 4);
    s.commitDueChange();
    EXPECT_EQ(s.undoableSteps(), stepsBefore + 1);
    ASSERT_TRUE(s.undo().done());
    expectSameLook(lookOf(s), before);
    EXPECT_EQ(s.stepsSinceRestart(), 0);

    // Switched on again after the stop, the run goes on for as many steps more, each
    // time; the same stop given again (the panel gives all its values at every change)
    // does not cut the longer run short.
    s.setStopAtStep(2);
    run(s, 3);
    EXPECT_EQ(s.stepsSinceRestart(), 2);
    for (const int stopsAt : {4, 6}) {
        s.setStopAtStep(2);
        s.setSimulation(true);
        made = 0;
        while (s.step() && made < 100) {
            ++made;
            s.setStopAtStep(2);
        }
        EXPECT_EQ(s.stepsSinceRestart(), stopsAt);
        EXPECT_FALSE(s.simulationOn());
    }
    // A new stop value counts from the start again, and so does Init.
    s.setStopAtStep(8);
    run(s, 5);
    EXPECT_EQ(s.stepsSinceRestart(), 8);
    s.init();
    s.setSimulation(true);
    made = 0;
    while (s.step() && made < 100)
        ++made;
    EXPECT_EQ(made, 8) << "after Init the run stops at the stop itself";
}

TEST_F(WeatheringSessionTest, WithoutAPathTheSimulationMayBeOnButMakesAndCountsNoSteps)
{
    WeatheringSession s;
    ASSERT_TRUE(s.loadPhotograph(photo).done());
    const ModelLook before = lookOf(s);
    const int undoBefore = s.undoableSteps();
    s.setSimulation(true);
    EXPECT_TRUE(s.simulationOn());
    EXPECT_FALSE(s.simulationAdvances());
    EXPECT_FALSE(s.step());
    ASSERT_TRUE(s.addPathPoint(2, 10));
    EXPECT_FALSE(s.pathReady()) << "one point is no path yet";
    EXPECT_FALSE(s.step());
    EXPECT_EQ(s.stepsSinceRestart(), 0);
    s.setSimulation(false);
    s.commitDueChange();
    EXPECT_EQ(s.undoableSteps(), undoBefore + 1) << "the click is a step, the empty run is none";
    s.removePathPoint();
    expectSameLook(lookOf(s), before);

    // With a second point the same ticked run starts to count.
    ASSERT_TRUE(s.addPathPoint(2, 10));
    ASSERT_TRUE(s.addPathPoint(width - 3, 10));
    s.setSimulation(true);
    EXPECT_TRUE(s.simulationAdvances());
    EXPECT_TRUE(s.step());
    EXPECT_EQ(s.stepsSinceRestart(), 1);
}

// The window refreshes the picture only every so often during a run: when the run stops,
// however it stops, the picture is to be shown again, so that its last steps show.
TEST_F(WeatheringSessionTest, AStoppedRunAsksForItsPictureToBeShown)
{
    WeatheringSession s;
    loadWithPath(s);
    s.setSimulation(true);
    ASSERT_TRUE(s.step());
    const unsigned int beforeTheStop = s.pictureVersion();
    s.setSimulation(false);
    EXPECT_NE(s.pictureVersion(), beforeTheStop) << "switched off";

    s.init();  // the stop counts from here
    s.setStopAtStep(2);
    s.setSimulation(true);
    ASSERT_TRUE(s.step());
    const unsigned int beforeTheLastStep = s.pictureVersion();
    ASSERT_TRUE(s.step());
    EXPECT_FALSE(s.simulationOn());
    EXPECT_NE(s.pictureVersion(), beforeTheLastStep) << "stopped at its stop step";

    const unsigned int idle = s.pictureVersion();
    s.setSimulation(true);
    s.setSimulation(false);
    EXPECT_EQ(s.pictureVersion(), idle) << "a switch without a step changes no picture";
}

TEST_F(WeatheringSessionTest, AStopAtTheFirstStepStillKeepsTheRunAsAStep)
{
    WeatheringSession s;
    loadWithPath(s);
    const int stepsBefore = s.undoableSteps();
    s.setStopAtStep(1);
    s.setSimulation(true);
    EXPECT_TRUE(s.step());
    EXPECT_FALSE(s.step());
    s.commitDueChange();
    EXPECT_EQ(s.undoableSteps(), stepsBefore + 1);
}

TEST_F(WeatheringSessionTest, UndoDuringARunStopsItAndTakesTheWholeRunBack)
{
    WeatheringSession s;
    loadWithPath(s);
    const ModelLook before = lookOf(s);
    s.setSimulation(true);
    for (int i = 0; i < 6; ++i)
        s.step();
    const unsigned int pictureSeen = s.pictureVersion();
    ASSERT_TRUE(s.undo().done());
    EXPECT_FALSE(s.simulationOn());
    EXPECT_NE(s.pictureVersion(), pictureSeen) << "the restored picture is to be shown";
    expectSameLook(lookOf(s), before);
    ASSERT_TRUE(s.redo().done());
    EXPECT_EQ(s.stepsSinceRestart(), 6);
}

TEST_F(WeatheringSessionTest, AStrokeIsOneStepAndIsShownWholeWhenItEnds)
{
    WeatheringSession s;
    loadWithPath(s);
    const ModelLook before = lookOf(s);
    const int stepsBefore = s.undoableSteps();

    s.beginStroke();
    EXPECT_FALSE(s.endStroke()) << "a press and release without a drag paints nothing";
    EXPECT_FALSE(s.changeAwaitsCommit());

    s.settings().brushSize = 12.0f;
    s.settings().speed = 0.09f;
    s.beginStroke();
    for (int x = 20; x < 36; x += 2)
        s.dab(x, 12);
    const unsigned int pictureSeen = s.pictureVersion();
    EXPECT_TRUE(s.endStroke());
    EXPECT_NE(s.pictureVersion(), pictureSeen);
    s.commitDueChange();
    EXPECT_EQ(s.undoableSteps(), stepsBefore + 1);
    EXPECT_FALSE(lookOf(s).degree == before.degree) << "the stroke weathered something";
    ASSERT_TRUE(s.undo().done());
    expectSameLook(lookOf(s), before);
}

TEST_F(WeatheringSessionTest, InitReturnsToThePhotographKeepingPathAndMaskAsOneStep)
{
    WeatheringSession s;
    ASSERT_TRUE(s.loadPhotograph(photo).done());
    ASSERT_TRUE(s.loadMaskOfPhotograph(halfSizeMask).done());
    ASSERT_TRUE(s.addPathPoint(2, 10));
    ASSERT_TRUE(s.addPathPoint(width - 3, 10));
    const ModelLook clicked = lookOf(s);
    run(s, 8);
    const int stepsBefore = s.undoableSteps();
    s.init();
    EXPECT_EQ(s.stepsSinceRestart(), 0);
    expectSameLook(lookOf(s), clicked);
    s.commitDueChange();
    EXPECT_EQ(s.undoableSteps(), stepsBefore + 1);
}

TEST_F(WeatheringSessionTest, ANewPhotographStartsAfreshAndAFailedLoadChangesNothing)
{
    WeatheringSession s;
    loadWithPath(s);
    run(s, 3);
    ASSERT_GT(s.undoableSteps(), 0);
    const ModelLook before = lookOf(s);
    const unsigned int photographSeen = s.photographVersion();

    const Outcome missing = s.loadPhotograph(scratch.path("missing.png"));
    EXPECT_FALSE(missing.done());
    EXPECT_EQ(missing.reason(), "cannot open file: " + scratch.path("missing.png"));
    writeContents(scratch.path("broken.png"), "\x89PNG\r\n\x1a\n this is not the rest of a PNG");
    EXPECT_FALSE(s.loadPhotograph(scratch.path("broken.png")).done());
    EXPECT_FALSE(s.loadMask(scratch.path("missing.png")).done());
    EXPECT_FALSE(s.loadMaskOfPhotograph(scratch.path("broken.png")).done());
    expectSameLook(lookOf(s), before);
    EXPECT_EQ(s.stepsSinceRestart(), 3);
    EXPECT_GT(s.undoableSteps(), 0);
    EXPECT_EQ(s.photographVersion(), photographSeen);

    ASSERT_TRUE(s.loadPhotograph(photo).done());
    EXPECT_NE(s.photographVersion(), photographSeen);
    EXPECT_EQ(s.undoableSteps(), 0);
    EXPECT_EQ(s.redoableSteps(), 0);
    EXPECT_EQ(s.stepsSinceRestart(), 0);
    EXPECT_TRUE(s.model().imagePoints.empty());
    EXPECT_FALSE(s.undo().done());
}

TEST_F(WeatheringSessionTest, APhotographTheFrontEndRefusesLeavesTheOldOneWithTheRefusalAsReason)
{
    WeatheringSession s;
    loadWithPath(s);
    const ModelLook before = lookOf(s);
    s.setPhotographCheck([](int w, int h) {
        return w * h > 100 ? std::string("photograph refused: too large for this test") : std::string();
    });
    const Outcome refused = s.loadPhotograph(photo);
    EXPECT_FALSE(refused.done());
    EXPECT_EQ(refused.reason(), "photograph refused: too large for this test");
    expectSameLook(lookOf(s), before);
    EXPECT_EQ(s.photograph().width, width);
}

TEST_F(WeatheringSessionTest, LoadMaskIsAnUndoStepWhileTheStartUpMaskIsPartOfThePhotograph)
{
    WeatheringSession withStartMask;
    ASSERT_TRUE(withStartMask.loadPhotograph(photo).done());
    ASSERT_TRUE(withStartMask.loadMaskOfPhotograph(halfSizeMask).done());
    EXPECT_EQ(withStartMask.undoableSteps(), 0);
    EXPECT_FALSE(withStartMask.changeAwaitsCommit());

    WeatheringSession withLoadedMask;
    ASSERT_TRUE(withLoadedMask.loadPhotograph(photo).done());
    ASSERT_TRUE(withLoadedMask.loadMask(halfSizeMask).done());
    withLoadedMask.commitDueChange();
    EXPECT_EQ(withLoadedMask.undoableSteps(), 1);

    // Both routes make the same model: the mask scaled to the photograph, right third only.
    const ModelLook a = lookOf(withStartMask);
    const ModelLook b = lookOf(withLoadedMask);
    expectSameLook(a, b);
    ASSERT_EQ(a.mask.size(), static_cast<std::size_t>(width * height));
    EXPECT_EQ(a.mask[0], 0.0f);
    EXPECT_EQ(a.mask[static_cast<std::size_t>(width - 1)], 1.0f);
    for (int i = 0; i < width * height; ++i)
        ASSERT_EQ(withStartMask.model().rate[i], withLoadedMask.model().rate[i]) << "rate at " << i;

    ASSERT_TRUE(withLoadedMask.undo().done());
    EXPECT_EQ(lookOf(withLoadedMask).mask, std::vector<float>(static_cast<std::size_t>(width * height), 1.0f));
}

TEST_F(WeatheringSessionTest, APhotographBeyondTheMemoryBudgetIsRefusedAndTheOldOneStays)
{
    WeatheringSession s;
    loadWithPath(s);
    const ModelLook before = lookOf(s);
    s.setAvailableMemory([]() -> long long { return 1000; });
    const Outcome refused = s.loadPhotograph(photo);
    EXPECT_FALSE(refused.done());
    EXPECT_NE(refused.reason().find("its size 40x30 needs 1 MB (model 1 MB, loading and saving 1 MB, undo copy 1 MB), "
                                    "more than the 0 MB of the 0 MB of memory available a job may take"),
              std::string::npos)
        << refused.reason();
    expectSameLook(lookOf(s), before);

    s.setAvailableMemory([]() -> long long { return -1; });
    EXPECT_TRUE(s.loadPhotograph(photo).done()) << "unknown memory is not checked";
}

// A loader on another thread asks a copy of the budget: the same answer as the session's
// own load gives, and still that answer after the session's budget changes.
TEST_F(WeatheringSessionTest, TheSizeCheckForAnotherThreadKeepsTheBudgetItWasGiven)
{
    WeatheringSession s;
    s.setAvailableMemory([]() -> long long { return 1000; });
    const auto check = s.photographSizeCheck();
    const std::string refusal = check(40, 30);
    EXPECT_NE(refusal.find("its size 40x30 needs 1 MB"), std::string::npos) << refusal;
    EXPECT_NE(s.loadPhotograph(photo).reason().find(refusal), std::string::npos) << "the same words as a load here";

    s.setAvailableMemory([]() -> long long { return -1; });
    MemoryBudget bigger;
    bigger.texture = true;
    s.setMemoryBudget(bigger);
    EXPECT_EQ(check(40, 30), refusal) << "the copy does not follow the session";
    EXPECT_EQ(s.photographSizeCheck()(40, 30), "") << "a new copy does";

    ImageRect<MyAlgebra::vec3> decoded;
    std::string reason;
    DecoderSettings settings;
    settings.sizeCheck = check;
    EXPECT_FALSE(ImageIO::load(decoded, photo.c_str(), reason, settings)) << "refused before the pixels arrive";
    EXPECT_NE(reason.find(refusal), std::string::npos) << reason;
    EXPECT_FALSE(s.hasPhotograph());
}

TEST_F(WeatheringSessionTest, AMaskWithoutAPhotographIsOnlyRead)
{
    WeatheringSession s;
    EXPECT_TRUE(s.loadMask(halfSizeMask).done());
    EXPECT_FALSE(s.hasPhotograph());
    EXPECT_EQ(s.undoableSteps(), 0);
    EXPECT_FALSE(s.loadMask(scratch.path("missing.png")).done()) << "an unreadable file still fails";
}

TEST_F(WeatheringSessionTest, SavesSayWhyTheyFailed)
{
    WeatheringSession s;
    EXPECT_EQ(s.checkSavable().reason(), "nothing to save: no photograph is loaded");
    EXPECT_EQ(s.checkDegreesSavable().reason(), "nothing to save: no photograph is loaded");
    ASSERT_TRUE(s.loadPhotograph(photo).done());
    EXPECT_TRUE(s.checkSavable().done()) << "the colours are worth saving without a path";
    ASSERT_TRUE(s.addPathPoint(2, 10));
    EXPECT_EQ(s.checkDegreesSavable().reason(), "no degrees to save: click a path of two points or more first");
    ASSERT_TRUE(s.addPathPoint(width - 3, 10));
    EXPECT_TRUE(s.checkDegreesSavable().done());
    EXPECT_TRUE(s.checkSavable().done());
    const Outcome noFolder = s.saveImage(scratch.path("no/such/folder/out.png"));
    EXPECT_FALSE(noFolder.done());
    EXPECT_FALSE(noFolder.reason().empty());
    EXPECT_FALSE(s.saveImage(scratch.path("out.xyz")).done());

    s.setSimulation(true);
    s.step();
    ASSERT_TRUE(s.saveImage(scratch.path("out.png")).done());
    ASSERT_TRUE(s.saveDegrees(scratch.path("degrees.png")).done());
    EXPECT_TRUE(s.simulationOn()) << "saving does not stop a run";
    ImageRect<vec3> saved;
    ASSERT_TRUE(ImageIO::load(saved, scratch.path("out.png").c_str()));
    EXPECT_EQ(saved.width, width);
    EXPECT_EQ(saved.height, height);
}

TEST_F(WeatheringSessionTest, WithoutAHistoryNothingIsKeptOrTakenBack)
{
    WeatheringSession s(WeatheringSession::History::none);
    loadWithPath(s);
    run(s, 2);
    EXPECT_EQ(s.undoableSteps(), 0);
    EXPECT_FALSE(s.changeAwaitsCommit());
    const ModelLook before = lookOf(s);
    const Outcome undone = s.undo();
    EXPECT_FALSE(undone.done());
    EXPECT_EQ(undone.reason(), "");
    expectSameLook(lookOf(s), before);
}

TEST_F(WeatheringSessionTest, TheLoaderGivesItsReasonAsAValueAsWellAsOnTheConsole)
{
    ImageRect<vec3> image;
    std::string reason = "left from before";
    EXPECT_FALSE(ImageIO::load(image, scratch.path("missing.png").c_str(), reason));
    EXPECT_EQ(reason, "cannot open file: " + scratch.path("missing.png"));
    EXPECT_TRUE(ImageIO::load(image, photo.c_str(), reason));
    EXPECT_EQ(reason, "");
}

}  // namespace
