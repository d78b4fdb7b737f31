#include "model/UndoHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// A state shaped like the model's: floats, packed float triples and bytes, on a
// photograph whose sides are not whole tiles.
struct TestState {
    int width;
    int height;
    std::vector<float> degree;
    std::vector<float> lab;  // three per pixel
    std::vector<unsigned char> flags;
    Bytes rest = {1, 2, 3};

    TestState(int w, int h)
        : width(w), height(h), degree(static_cast<std::size_t>(w) * h), lab(3 * degree.size()), flags(degree.size())
    {
    }

    PixelState view()
    {
        PixelState s;
        s.width = width;
        s.height = height;
        s.arrays = {{"degree", reinterpret_cast<unsigned char*>(degree.data()), 4},
                    {"lab", reinterpret_cast<unsigned char*>(lab.data()), 12},
                    {"flags", flags.data(), 1}};
        return s;
    }

    bool operator==(const TestState& o) const
    {
        return std::memcmp(degree.data(), o.degree.data(), degree.size() * 4) == 0 &&
            std::memcmp(lab.data(), o.lab.data(), lab.size() * 4) == 0 && flags == o.flags && rest == o.rest;
    }
};

struct Rect {
    int x0, y0, x1, y1;
};

// Changes the pixels of a rectangle a little, as a brush or a simulation step would.
void nudge(TestState& s, Rect r, std::mt19937& rng)
{
    std::uniform_real_distribution<float> step(-0.01f, 0.01f);
    for (int y = std::max(0, r.y0); y < std::min(s.height, r.y1); ++y) {
        for (int x = std::max(0, r.x0); x < std::min(s.width, r.x1); ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * s.width + x;
            s.degree[i] += step(rng);
            s.lab[3 * i] += step(rng) * 100.0f;
            s.lab[3 * i + 2] -= step(rng);
            s.flags[i] ^= static_cast<unsigned char>(rng() & 1);
        }
    }
}

TestState randomState(int width, int height, std::mt19937& rng)
{
    TestState s(width, height);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (float& d : s.degree)
        d = unit(rng);
    for (float& c : s.lab)
        c = 100.0f * unit(rng);
    return s;
}

// One step that nudges the given rectangles and sometimes changes the rest.
bool recordStep(UndoHistory& history, TestState& s, const std::vector<Rect>& rects, bool changeRest, std::mt19937& rng)
{
    for (const Rect& r : rects) {
        history.willChange(r.x0, r.y0, r.x1, r.y1);
        nudge(s, r, rng);
    }
    if (changeRest)
        s.rest.resize(s.rest.size() + 1 + rng() % 5, static_cast<unsigned char>(rng()));
    return history.commit(s.rest);
}

Rect randomRect(const TestState& s, std::mt19937& rng)
{
    const int x = static_cast<int>(rng() % (s.width + 20)) - 10;
    const int y = static_cast<int>(rng() % (s.height + 20)) - 10;
    return {x, y, x + 1 + static_cast<int>(rng() % 40), y + 1 + static_cast<int>(rng() % 40)};
}

bool undoInto(UndoHistory& history, TestState& s)
{
    return history.undo(s.rest);
}

bool redoInto(UndoHistory& history, TestState& s)
{
    return history.redo(s.rest);
}

}  // namespace

TEST(UndoHistory, RandomStepsUndoAndRedoBitForBit)
{
    std::mt19937 rng(7);
    TestState s = randomState(150, 100, rng);
    UndoHistory history;
    ASSERT_TRUE(history.reset(s.view(), s.rest));
    std::vector<TestState> recorded = {s};
    for (int step = 0; step < 40; ++step) {
        std::vector<Rect> rects;
        const int kind = static_cast<int>(rng() % 4);
        if (kind == 0)
            rects.push_back({0, 0, s.width, s.height});  // a whole-picture change
        for (int k = 0; k < 1 + static_cast<int>(rng() % 6); ++k)
            rects.push_back(randomRect(s, rng));
        ASSERT_TRUE(recordStep(history, s, rects, kind == 1, rng)) << "step " << step;
        recorded.push_back(s);
    }
    EXPECT_EQ(history.undoSteps(), 40);
    for (int step = 39; step >= 0; --step) {
        ASSERT_TRUE(undoInto(history, s));
        ASSERT_TRUE(s == recorded[step]) << "after undoing back to state " << step;
    }
    EXPECT_FALSE(undoInto(history, s));
    EXPECT_EQ(history.redoSteps(), 40);
    for (int step = 1; step <= 40; ++step) {
        ASSERT_TRUE(redoInto(history, s));
        ASSERT_TRUE(s == recorded[step]) << "after redoing to state " << step;
    }
    EXPECT_FALSE(redoInto(history, s));
}

TEST(UndoHistory, ANewStepAfterUndoDropsTheRedoSteps)
{
    std::mt19937 rng(11);
    TestState s = randomState(70, 65, rng);
    UndoHistory history;
    history.reset(s.view(), s.rest);
    const TestState start = s;
    recordStep(history, s, {{3, 3, 20, 20}}, false, rng);
    recordStep(history, s, {{30, 30, 69, 64}}, false, rng);
    ASSERT_TRUE(undoInto(history, s));
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == start);
    // A step that changes nothing leaves the redo steps in place.
    EXPECT_FALSE(history.commit(s.rest));
    EXPECT_EQ(history.redoSteps(), 2);
    recordStep(history, s, {{0, 60, 70, 65}}, true, rng);
    EXPECT_EQ(history.undoSteps(), 1);
    EXPECT_EQ(history.redoSteps(), 0);
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == start);
}

TEST(UndoHistory, OnlyStepsThatChangeSomethingAreKept)
{
    std::mt19937 rng(3);
    TestState s = randomState(64, 64, rng);
    UndoHistory history;
    EXPECT_FALSE(history.commit(s.rest));  // no photograph yet
    history.reset(s.view(), s.rest);
    history.willChangeAll();
    EXPECT_FALSE(history.commit(s.rest));
    EXPECT_EQ(history.undoSteps(), 0);
    EXPECT_EQ(history.bytesHeld(), 0u);
    // Outside the photograph: nothing marked, nothing changed.
    EXPECT_FALSE(recordStep(history, s, {{-50, -50, -1, -1}, {64, 0, 90, 64}}, false, rng));
    // Only the rest changed (a path point on a path too short to place pixels).
    EXPECT_TRUE(recordStep(history, s, {}, true, rng));
    EXPECT_EQ(history.undoSteps(), 1);
}

TEST(UndoHistory, CopiesOnlyTheTilesThatWereAboutToChange)
{
    std::mt19937 rng(4);
    TestState s = randomState(200, 130, rng);  // 4 x 3 tiles, the last column and row partial
    for (unsigned char& f : s.flags)
        f = static_cast<unsigned char>(rng());
    const TestState start = s;
    UndoHistory history;
    ASSERT_TRUE(history.reset(s.view(), s.rest));
    EXPECT_EQ(history.copyBytes(), 0u);
    history.willChange(10, 10, 20, 20);
    history.willChange(30, 5, 40, 12);  // the same tile
    EXPECT_EQ(history.copyBytes(), 64u * 64u * 17u);
    history.willChange(195, 128, 400, 400);  // the corner tile, 8 x 2 pixels
    EXPECT_EQ(history.copyBytes(), 64u * 64u * 17u + 8u * 2u * 17u);
    nudge(s, {10, 10, 20, 20}, rng);
    nudge(s, {195, 128, 200, 130}, rng);
    ASSERT_TRUE(history.commit(s.rest));
    EXPECT_EQ(history.copyBytes(), 64u * 64u * 17u + 8u * 2u * 17u);
    history.willChangeAll();
    EXPECT_EQ(history.copyBytes(), 200u * 130u * 17u);
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == start);
    EXPECT_FALSE(history.commit(s.rest));  // marked, unchanged
    history.reset(s.view(), s.rest);
    EXPECT_EQ(history.copyBytes(), 0u);
}

TEST(UndoHistory, KeepsNoCopyOfARepeatedValueOrOfAnArrayStillAsItsBase)
{
    std::mt19937 rng(8);
    TestState s = randomState(130, 70, rng);
    std::fill(s.degree.begin(), s.degree.end(), 0.25f);
    const std::vector<float> labBase = s.lab;
    const auto view = [&] {
        PixelState v = s.view();
        v.arrays[1].base = reinterpret_cast<const unsigned char*>(labBase.data());
        return v;
    };
    const TestState start = s;
    UndoHistory history;
    ASSERT_TRUE(history.reset(view(), s.rest));
    history.willChangeAll();
    EXPECT_EQ(history.copyBytes(), 0u);
    nudge(s, {0, 0, 10, 10}, rng);
    ASSERT_TRUE(history.commit(s.rest));
    const TestState once = s;
    // Only the tile that changed needs its copy now.
    history.willChangeAll();
    EXPECT_EQ(history.copyBytes(), 64u * 64u * 17u);
    nudge(s, {60, 60, 130, 70}, rng);
    ASSERT_TRUE(history.commit(s.rest));
    const TestState twice = s;
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == once);
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == start);
    ASSERT_TRUE(redoInto(history, s));
    ASSERT_TRUE(redoInto(history, s));
    EXPECT_TRUE(s == twice);
}

TEST(UndoHistory, ATileMarkedBeforeAnUndoKeepsTheStateTheUndoLeft)
{
    std::mt19937 rng(6);
    TestState s = randomState(100, 70, rng);
    UndoHistory history;
    history.reset(s.view(), s.rest);
    const TestState start = s;
    recordStep(history, s, {{0, 0, 30, 30}}, false, rng);
    // Marked, then taken back before it changed: the change that follows belongs to
    // the state the undo put back.
    history.willChange(0, 0, 30, 30);
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == start);
    nudge(s, {0, 0, 30, 30}, rng);
    ASSERT_TRUE(history.commit(s.rest));
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == start);
}

TEST(UndoHistory, OldestStepsGoWhenTheBudgetIsFull)
{
    std::mt19937 rng(5);
    TestState s = randomState(256, 256, rng);
    // Whole-picture nudges of random floats compress to about 0.5 MB a step.
    UndoHistory history(3u << 20);
    history.reset(s.view(), s.rest);
    std::vector<TestState> recorded = {s};
    for (int step = 0; step < 12; ++step) {
        recordStep(history, s, {{0, 0, 256, 256}}, false, rng);
        recorded.push_back(s);
        EXPECT_LE(history.bytesHeld(), history.budget());
    }
    const int kept = history.undoSteps();
    EXPECT_GE(kept, 2);
    EXPECT_LT(kept, 12);
    for (int k = 0; k < kept; ++k)
        ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == recorded[12 - kept]);
    EXPECT_FALSE(undoInto(history, s));
}

TEST(UndoHistory, AStepLargerThanTheBudgetEmptiesTheHistory)
{
    std::mt19937 rng(9);
    TestState s = randomState(256, 256, rng);
    UndoHistory history(200u << 10);
    history.reset(s.view(), s.rest);
    EXPECT_TRUE(recordStep(history, s, {{0, 0, 16, 16}}, false, rng));
    EXPECT_FALSE(recordStep(history, s, {{0, 0, 256, 256}}, false, rng));
    EXPECT_EQ(history.undoSteps(), 0);
    EXPECT_EQ(history.bytesHeld(), 0u);
    // Later steps are kept again, from the state as it now is.
    const TestState now = s;
    EXPECT_TRUE(recordStep(history, s, {{0, 0, 16, 16}}, false, rng));
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == now);
}

TEST(UndoHistory, AStateChangedBehindItsBackIsNotOverwritten)
{
    std::mt19937 rng(13);
    TestState s = randomState(100, 100, rng);
    UndoHistory history;
    history.reset(s.view(), s.rest);
    recordStep(history, s, {{0, 0, 50, 50}}, false, rng);
    recordStep(history, s, {{10, 10, 60, 60}}, false, rng);
    s.degree[90 * 100 + 90] += 1.0f;  // a change nobody marked or committed
    const TestState tampered = s;
    EXPECT_FALSE(undoInto(history, s));
    EXPECT_TRUE(s == tampered);
    EXPECT_EQ(history.undoSteps(), 0);
    EXPECT_EQ(history.redoSteps(), 0);
    // The history starts again from what is there now.
    EXPECT_TRUE(recordStep(history, s, {{0, 0, 5, 5}}, false, rng));
    ASSERT_TRUE(undoInto(history, s));
    EXPECT_TRUE(s == tampered);

    // The same for the rest of the state.
    recordStep(history, s, {{0, 0, 5, 5}}, false, rng);
    s.rest.push_back(9);
    const TestState restChanged = s;
    EXPECT_FALSE(undoInto(history, s));
    EXPECT_TRUE(s == restChanged);
}

TEST(UndoHistory, ANewPhotographStartsANewHistory)
{
    std::mt19937 rng(17);
    TestState s = randomState(80, 60, rng);
    UndoHistory history;
    history.reset(s.view(), s.rest);
    recordStep(history, s, {{0, 0, 8, 8}}, false, rng);
    TestState other = randomState(60, 80, rng);
    history.reset(other.view(), other.rest);
    EXPECT_EQ(history.undoSteps(), 0);
    EXPECT_FALSE(undoInto(history, other));
    const TestState start = other;
    recordStep(history, other, {{50, 70, 60, 80}}, false, rng);
    ASSERT_TRUE(undoInto(history, other));
    EXPECT_TRUE(other == start);
    history.clear();
    EXPECT_FALSE(history.active());
    EXPECT_FALSE(redoInto(history, other));
}

TEST(UndoHistory, ArraysMovedByTheirOwnerAreFollowedAndOtherShapesRefused)
{
    std::mt19937 rng(19);
    TestState s = randomState(70, 50, rng);
    UndoHistory history;
    history.reset(s.view(), s.rest);
    const TestState start = s;
    recordStep(history, s, {{0, 0, 20, 20}}, false, rng);
    // The owner swaps its buffers, as a simulation step does with its degrees.
    TestState moved = s;
    s = TestState(1, 1);
    ASSERT_TRUE(history.rebind(moved.view()));
    ASSERT_TRUE(undoInto(history, moved));
    EXPECT_TRUE(moved == start);

    TestState smaller = randomState(69, 50, rng);
    EXPECT_FALSE(history.rebind(smaller.view()));
    EXPECT_FALSE(history.active());
    EXPECT_EQ(history.undoSteps(), 0);
}

TEST(UndoHistory, BudgetHoldsAtTwelveMegapixels)
{
    // A 4000 x 3000 photograph with a degree array: 48 MB of state.
    std::mt19937 rng(21);
    const int width = 4000;
    const int height = 3000;
    std::vector<float> degree(static_cast<std::size_t>(width) * height, 0.25f);
    PixelState view;
    view.width = width;
    view.height = height;
    view.arrays = {{"degree", reinterpret_cast<unsigned char*>(degree.data()), 4}};
    Bytes rest;
    UndoHistory history;
    ASSERT_TRUE(history.reset(view, rest));

    // Thirty brush strokes of radius 100 along a line: each keeps about its rectangle.
    for (int stroke = 0; stroke < 30; ++stroke) {
        const int y = 100 + 90 * stroke;
        for (int x = 200; x < 1400; x += 40) {
            history.willChange(x - 100, y - 100, x + 101, y + 101);
            for (int dy = -100; dy <= 100; dy += 3)
                for (int dx = -100; dx <= 100; dx += 3)
                    degree[static_cast<std::size_t>(y + dy) * width + x + dx] += 0.01f;
        }
        ASSERT_TRUE(history.commit(rest));
    }
    EXPECT_EQ(history.undoSteps(), 30);
    EXPECT_LT(history.bytesHeld(), 50u << 20);

    // Whole-picture changes to random bits, 48 MB that do not compress: the budget
    // holds by letting the oldest steps go.
    std::vector<std::uint32_t> noise(degree.size());
    std::uint64_t seed = 1;
    for (int run = 0; run < 24; ++run) {
        history.willChangeAll();
        for (std::size_t i = 0; i < noise.size(); ++i) {
            std::uint64_t z = seed + i * 0x9E3779B97F4A7C15ull;
            z = (z ^ (z >> 31)) * 0xBF58476D1CE4E5B9ull;
            noise[i] = static_cast<std::uint32_t>(z >> 32);
        }
        seed += noise.size() * 0x9E3779B97F4A7C15ull;
        std::memcpy(degree.data(), noise.data(), noise.size() * 4);
        ASSERT_TRUE(history.commit(rest));
        ASSERT_LE(history.bytesHeld(), UndoHistory::defaultBudget);
    }
    // About 21 of the 48 MB steps fit, and no stroke.
    EXPECT_LT(history.undoSteps(), 24);
    EXPECT_GE(history.undoSteps(), 20);
    ASSERT_TRUE(history.undo(rest));
    ASSERT_TRUE(history.redo(rest));
    EXPECT_EQ(std::memcmp(degree.data(), noise.data(), noise.size() * 4), 0);
}

namespace {

// Foretells each value as the sum of its own and its left neighbour's degree inside
// the rect (its own alone at the rect's left edge).
void degreeSumWithTheLeft(const unsigned char* const* arrays, int width, const ForecastRect& r, unsigned char* out)
{
    const float* degree = reinterpret_cast<const float*>(arrays[0]);
    float* forecast = reinterpret_cast<float*>(out);
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            *forecast++ = x > r.x0 ? degree[i - 1] + degree[i] : degree[i];
        }
}

// Degrees, and a second array that the forecast mostly (not always) gets right.
struct ForetoldState {
    int width = 150;
    int height = 70;
    std::vector<float> degree = std::vector<float>(static_cast<std::size_t>(width) * height);
    std::vector<float> follower = degree;

    PixelState view()
    {
        PixelState s;
        s.width = width;
        s.height = height;
        s.arrays = {{"degree", reinterpret_cast<unsigned char*>(degree.data()), 4},
                    {"follower", reinterpret_cast<unsigned char*>(follower.data()), 4, degreeSumWithTheLeft}};
        return s;
    }

    // New degrees everywhere; the follower is the foretold sum, but in one column in 17
    // and at random spots.
    void change(std::mt19937& rng)
    {
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (float& d : degree)
            d = unit(rng);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                follower[i] = x > 0 && x % 17 != 0 && rng() % 50 != 0 ? degree[i - 1] + degree[i] : unit(rng);
            }
    }
};

}  // namespace

TEST(UndoHistory, ForetoldArraysComeBackBitForBitAndCostLittleWhereForetoldRight)
{
    std::mt19937 rng(11);
    ForetoldState s;
    UndoHistory plain;
    UndoHistory foretelling;
    PixelState plainView = s.view();
    plainView.arrays[1].forecast = nullptr;
    ASSERT_TRUE(foretelling.reset(s.view(), {}));
    ASSERT_TRUE(plain.reset(plainView, {}));
    std::vector<std::vector<float>> followers{s.follower}, degrees{s.degree};
    for (int step = 0; step < 4; ++step) {
        foretelling.willChangeAll();
        plain.willChangeAll();
        s.change(rng);
        ASSERT_TRUE(foretelling.commit({}));
        ASSERT_TRUE(plain.commit({}));
        followers.push_back(s.follower);
        degrees.push_back(s.degree);
    }
    // The plain history pays for two arrays of noise, the foretelling one for little more
    // than one.
    EXPECT_LT(foretelling.bytesHeld() * 4, plain.bytesHeld() * 3);

    for (int back = 3; back >= 0; --back) {
        Bytes rest;
        ASSERT_TRUE(foretelling.undo(rest));
        ASSERT_EQ(s.degree, degrees[back]);
        ASSERT_EQ(s.follower, followers[back]) << "undone to " << back;
    }
    for (int forward = 1; forward <= 4; ++forward) {
        Bytes rest;
        ASSERT_TRUE(foretelling.redo(rest));
        ASSERT_EQ(s.follower, followers[forward]) << "redone to " << forward;
    }
}
