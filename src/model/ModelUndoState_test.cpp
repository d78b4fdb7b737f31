#include "model/ModelUndoState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

// Everything the history must give back, copied out of a model.
struct ModelRecord {
    PixelState pixelsView;
    std::vector<Bytes> pixels;
    Bytes rest;

    explicit ModelRecord(WeatheringModel& m) : pixelsView(undoablePixels(m)), rest(undoableRest(m))
    {
        const std::size_t n = static_cast<std::size_t>(m.pixelCount());
        for (const StateArray& a : pixelsView.arrays)
            pixels.emplace_back(a.bytes, a.bytes + n * a.elementSize);
    }

    bool operator==(const ModelRecord& o) const { return pixels == o.pixels && rest == o.rest; }
};

std::vector<vec3> noisyPhotograph(int w, int h, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<vec3> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<std::size_t>(y) * w + x] = {0.2f + 0.6f * x / w + 0.1f * unit(rng),
                                                           0.7f - 0.5f * y / h + 0.1f * unit(rng), 0.3f * unit(rng)};
    return pixels;
}

// Smooth colours with noise of a level or so of 8 bits, like a camera's photograph.
std::vector<vec3> smoothPhotograph(int w, int h, std::mt19937& rng)
{
    std::uniform_real_distribution<float> noise(-1.0f / 255.0f, 1.0f / 255.0f);
    std::vector<vec3> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = static_cast<float>(x) / w, v = static_cast<float>(y) / h;
            pixels[static_cast<std::size_t>(y) * w + x] = {0.3f + 0.4f * u * v + noise(rng),
                                                           0.6f - 0.3f * u + noise(rng), 0.2f + 0.3f * v + noise(rng)};
        }
    return pixels;
}

// The model and its history, changed the way the shell changes them.
struct Session {
    std::mt19937 rng{5};
    int width = 97;
    int height = 83;
    std::vector<vec3> photograph = noisyPhotograph(width, height, rng);
    WeatheringModel model;
    UndoHistory history;
    ModelSettings settings;

    Session()
    {
        model.initFromImage(photograph.data(), width, height);
        startUndoHistory(history, model);
    }

    int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

    void stroke()
    {
        settings.brushSize = 10.0f + below(20);
        settings.speed = 0.09f;
        settings.dewethering = below(3) == 0;
        int x = below(width), y = below(height);
        for (int dab = 0; dab < 8; ++dab) {
            const DabBounds b = dabBounds(static_cast<float>(x), static_cast<float>(y), settings.brushSize);
            history.willChange(b.x0, b.y0, b.x1, b.y1);
            model.applyBrush(x, y, settings);
            x += below(9) - 4;
            y += below(9) - 4;
        }
    }

    void run()
    {
        settings.dewethering = below(4) == 0;
        history.willChangeAll();
        for (int step = 0; step < 1 + below(40); ++step)
            model.simulationStep(settings);
    }

    void click()
    {
        history.willChangeAll();
        if (below(4) == 0)
            model.removeLastPathPoint();
        else
            model.addPathPoint(static_cast<float>(below(width)), static_cast<float>(below(height)));
        model.computeDegrees();
    }

    void init()
    {
        history.willChangeAll();
        model.reinitialise(photograph.data(), settings);
    }

    void loadMask()
    {
        std::vector<float> mask(static_cast<std::size_t>(width) * height);
        const int edge = below(width);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                mask[static_cast<std::size_t>(y) * width + x] = x > edge ? 1.0f : 0.0f;
        history.willChangeAll();
        model.applyMaskImage(mask.data(), static_cast<int>(mask.size()));
        model.reinitialise(photograph.data(), settings);
    }

    void switchLook()
    {
        history.willChangeAll();
        model.setLook(model.look == Look::natural ? Look::sampled : Look::natural, photograph.data(), settings);
    }

    bool commit() { return commitUndoStep(history, model); }
    bool undo() { return undoModelStep(history, model); }
    bool redo() { return redoModelStep(history, model); }
};

}  // namespace

TEST(ModelUndoState, RandomStrokesRunsClicksInitsAndLooksUndoAndRedoBitForBit)
{
    Session s;
    std::vector<ModelRecord> states = {ModelRecord(s.model)};
    std::size_t at = 0;  // the state the model should be in
    for (int action = 0; action < 120; ++action) {
        const int choice = s.below(10);
        if (choice < 2) {
            const bool done = s.undo();
            EXPECT_EQ(done, at > 0) << "action " << action;
            if (done)
                --at;
        } else if (choice < 3) {
            const bool done = s.redo();
            EXPECT_EQ(done, at + 1 < states.size()) << "action " << action;
            if (done)
                ++at;
        } else {
            switch (s.below(8)) {
            case 0:
            case 1:
                s.stroke();
                break;
            case 2:
                s.run();
                break;
            case 3:
            case 4:
                s.click();
                break;
            case 5:
                s.init();
                break;
            case 6:
                s.switchLook();
                break;
            default:
                s.loadMask();
                break;
            }
            if (s.commit()) {
                states.erase(states.begin() + static_cast<std::ptrdiff_t>(at) + 1, states.end());
                states.push_back(ModelRecord(s.model));
                ++at;
            }
        }
        ASSERT_TRUE(ModelRecord(s.model) == states[at]) << "after action " << action;
        ASSERT_EQ(s.history.undoSteps(), static_cast<int>(at));
    }
    EXPECT_GT(states.size(), 40u);  // most changes changed something
    while (s.undo())
        --at;
    EXPECT_EQ(at, 0u);
    EXPECT_TRUE(ModelRecord(s.model) == states[0]);
}

TEST(ModelUndoState, RestRoundTripsAndRefusesOtherShapes)
{
    Session s;
    s.model.addPathPoint(3, 4);
    s.model.addPathPoint(90, 70);
    s.model.computeDegrees();
    const Bytes rest = undoableRest(s.model);
    WeatheringModel other;
    other.initFromImage(s.photograph.data(), s.width, s.height);
    ASSERT_TRUE(restoreUndoableRest(other, rest));
    EXPECT_EQ(undoableRest(other), rest);
    ASSERT_EQ(other.imagePoints.size(), 2u);
    EXPECT_EQ(other.imagePoints[1].x, 90.0f);

    for (std::size_t cut : {std::size_t(0), std::size_t(100), rest.size() - 1}) {
        Bytes shorter(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(restoreUndoableRest(other, shorter)) << cut;
    }
    Bytes longer = rest;
    longer.push_back(0);
    EXPECT_FALSE(restoreUndoableRest(other, longer));
    EXPECT_EQ(undoableRest(other), rest);
}

TEST(ModelUndoState, DabBoundsCoverTheBrushDisc)
{
    const DabBounds b = dabBounds(50.0f, 20.0f, 10.0f);
    EXPECT_LE(b.x0, 40);
    EXPECT_GE(b.x1, 61);
    EXPECT_LE(b.y0, 10);
    EXPECT_GE(b.y1, 31);
    const DabBounds huge = dabBounds(0.0f, 0.0f, 1e30f);
    EXPECT_LT(huge.x0, -1000000);
    EXPECT_GT(huge.x1, 1000000);
    EXPECT_TRUE(undoablePixels(*std::make_unique<WeatheringModel>()).arrays.empty());
}

TEST(ModelUndoState, ReadingTheCurrentColoursLeavesTheHistoryInStep)
{
    Session s;
    s.model.addPathPoint(10, 10);
    s.model.addPathPoint(80, 70);
    s.history.willChangeAll();
    s.model.computeDegrees();
    ASSERT_TRUE(s.commit());
    s.history.willChangeAll();
    for (int step = 0; step < 5; ++step)
        s.model.simulationStep(s.settings);
    ASSERT_TRUE(s.commit());

    // What a save reads: the colours as they will be painted, the model left as it is.
    const int n = s.model.pixelCount();
    std::vector<vec3> current(static_cast<std::size_t>(n));
    s.model.currentLabOf(0, n, current.data());
    const ModelRecord afterRun(s.model);
    ASSERT_TRUE(ModelRecord(s.model) == afterRun);

    ASSERT_TRUE(s.undo());
    ASSERT_TRUE(s.redo());
    ASSERT_TRUE(ModelRecord(s.model) == afterRun);
    s.model.bringColoursUpToDate();
    EXPECT_EQ(std::memcmp(current.data(), s.model.lab.get(), current.size() * sizeof(vec3)), 0);
}

// The degrees and the degrees still to be painted, alone: what a run or an Init must
// cost at most, give or take the forecast's misses.
PixelState degreesAlone(WeatheringModel& m)
{
    PixelState state = undoablePixels(m);
    state.arrays = {state.arrays[1], state.arrays[5]};
    return state;
}

TEST(ModelUndoState, RunsAndInitsKeepDegreesNotColours)
{
    Session s;
    s.width = 320;
    s.height = 256;
    s.photograph = smoothPhotograph(s.width, s.height, s.rng);
    ASSERT_TRUE(s.model.initFromImage(s.photograph.data(), s.width, s.height));
    s.model.addPathPoint(20, 30);
    s.model.addPathPoint(300, 200);
    s.model.reinitialise(s.photograph.data(), s.settings);
    ASSERT_TRUE(startUndoHistory(s.history, s.model));
    UndoHistory alone;
    ASSERT_TRUE(alone.reset(degreesAlone(s.model), {}));

    const auto keep = [&](const char* what) {
        const std::size_t before = s.history.bytesHeld(), aloneBefore = alone.bytesHeld();
        ASSERT_TRUE(s.commit()) << what;
        alone.rebind(degreesAlone(s.model));
        ASSERT_TRUE(alone.commit({})) << what;
        const std::size_t step = s.history.bytesHeld() - before, degrees = alone.bytesHeld() - aloneBefore;
        EXPECT_LT(step * 10, degrees * 13) << what << ": " << step << " bytes, the degrees alone " << degrees;
    };
    for (int round = 0; round < 3; ++round) {
        s.history.willChangeAll();
        alone.willChangeAll();
        for (int step = 0; step < 10; ++step)
            s.model.simulationStep(s.settings);
        keep("run");
        s.history.willChangeAll();
        alone.willChangeAll();
        s.model.reinitialise(s.photograph.data(), s.settings);
        keep("Init");
    }
    const ModelRecord last(s.model);
    for (int back = 0; back < 6; ++back)
        ASSERT_TRUE(s.undo());
    for (int forward = 0; forward < 6; ++forward)
        ASSERT_TRUE(s.redo());
    EXPECT_TRUE(ModelRecord(s.model) == last);
}
