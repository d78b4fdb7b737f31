// The model against its frozen copy: random sessions of every operation on random
// photographs, masks and paths, for several thread counts, comparing every array and
// table byte for byte after every operation.

#include "ReferenceScenes.h"
#include "colour/CieLab.h"
#include "model/WeatheringModel.h"
#include "parallel/ParallelShares.h"
#include "reference/ReferenceCieLab.h"
#include "reference/ReferenceWeatheringModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using MyAlgebra::vec3;
using namespace referenceScenes;

namespace {

template <typename A, typename B>
bool sameBytes(const A* a, const B* b, size_t count)
{
    static_assert(sizeof(A) == sizeof(B), "compared element by element");
    return count == 0 || std::memcmp(a, b, sizeof(A) * count) == 0;
}

// The first difference between the two records, or "" when they agree byte for byte.
// `lab` is compared only when asked, after the model brought it up to date.
bool anyNaNIsEqual = false;

// Float arrays equal bit for bit, except that any NaN equals any other NaN.
bool sameButNaNs(const void* a, const void* b, size_t bytes)
{
    const float* x = static_cast<const float*>(a);
    const float* y = static_cast<const float*>(b);
    for (size_t k = 0; k < bytes / sizeof(float); ++k)
        if (!sameBytes(&x[k], &y[k], 1) && !(std::isnan(x[k]) && std::isnan(y[k])))
            return false;
    return true;
}

std::string firstDifference(WeatheringModel& m, reference::WeatheringModel& r, bool withLab)
{
    if (m.width != r.width || m.height != r.height || m.displayWidth != r.displayWidth ||
        m.displayHeight != r.displayHeight || m.hasImage() != r.hasImage())
        return "size";
    if (!sameBytes(&m.maxDegree, &r.maxDegree, 1))
        return "maxDegree";
    if (!sameBytes(m.degreeBins, r.degreeBins, fineBinCount) &&
        !(anyNaNIsEqual && sameButNaNs(m.degreeBins, r.degreeBins, sizeof m.degreeBins)))
        return "degreeBins";
    if (!sameBytes(m.binDistance, r.binDistance, fineBinCount))
        return "binDistance";
    if (!sameBytes(m.meanLightness, r.meanLightness, coarseBinCount) &&
        !(anyNaNIsEqual && sameButNaNs(m.meanLightness, r.meanLightness, sizeof m.meanLightness)))
        return "meanLightness";
    if (m.imagePoints.size() != r.imagePoints.size() || m.chromaPoints.size() != r.chromaPoints.size() ||
        !sameBytes(m.imagePoints.data(), r.imagePoints.data(), m.imagePoints.size()) ||
        !sameBytes(m.chromaPoints.data(), r.chromaPoints.data(), m.chromaPoints.size()))
        return "path";
    if (!m.hasImage())
        return "";
    if (withLab)
        m.bringColoursUpToDate();
    const size_t n = static_cast<size_t>(m.width) * m.height;
    struct Array {
        const char* name;
        const void* a;
        const void* b;
        size_t bytes;
    };
    const Array arrays[] = {{"rgb", m.rgb.get(), r.rgb.get(), n * sizeof(vec3)},
                            {"labReference", m.labReference.get(), r.labReference.get(), n * sizeof(vec3)},
                            {"degree", m.degree.get(), r.degree.get(), n * sizeof(float)},
                            {"rate", m.rate.get(), r.rate.get(), n * sizeof(float)},
                            {"mask", m.mask.get(), r.mask.get(), n * sizeof(float)},
                            {"detail", m.detail.get(), r.detail.get(), n * sizeof(float)},
                            {"lab", m.lab.get(), r.lab.get(), withLab ? n * sizeof(vec3) : 0}};
    for (const Array& array : arrays) {
        if (std::memcmp(array.a, array.b, array.bytes) == 0 ||
            (anyNaNIsEqual && sameButNaNs(array.a, array.b, array.bytes)))
            continue;
        const size_t elementSize = array.bytes / n;
        size_t i = 0;
        while (std::memcmp(static_cast<const char*>(array.a) + i * elementSize,
                           static_cast<const char*>(array.b) + i * elementSize, elementSize) == 0)
            ++i;
        std::ostringstream out;
        out << array.name << " at pixel " << i << " (" << i % m.width << ", " << i / m.width << ")";
        return out.str();
    }
    return "";
}

// The model and its frozen copy, driven through the same operations.
struct Twins {
    std::unique_ptr<WeatheringModel> model = std::make_unique<WeatheringModel>();
    std::unique_ptr<reference::WeatheringModel> frozen = std::make_unique<reference::WeatheringModel>();
    Photograph photograph;

    void load(const Photograph& p)
    {
        photograph = p;
        frozen->width = frozen->displayWidth = p.width;
        frozen->height = frozen->displayHeight = p.height;
        const bool a = model->initFromImage(p.pixels.data(), p.width, p.height);
        const bool b = frozen->initFromImage(p.pixels.data());
        EXPECT_EQ(a, b);
    }
};

ModelSettings randomSettings(std::mt19937& rng, int width, int height)
{
    const float radii[] = {0.0f, 0.5f, 1.0f, 2.5f, 10.0f, 10.5f};
    std::uniform_int_distribution<int> pick(0, 7), flip(0, 1);
    std::uniform_real_distribution<float> speed(0.0f, 1.0f),
        anyRadius(0.0f, static_cast<float>(std::max(width, height) + 3));
    ModelSettings s;
    s.dewethering = flip(rng);
    const int r = pick(rng);
    s.brushSize = r < 6 ? radii[r] : anyRadius(rng);
    s.speed = flip(rng) ? 0.05f : speed(rng);
    return s;
}

// Mostly inside, often on an edge or a corner, sometimes outside.
int randomPosition(std::mt19937& rng, int size)
{
    std::uniform_int_distribution<int> kind(0, 5), inside(0, size - 1), outside(-6, size + 6);
    switch (kind(rng)) {
    case 0:
        return 0;
    case 1:
        return size - 1;
    case 2:
        return outside(rng);
    default:
        return inside(rng);
    }
}

void clickPathPoint(Twins& t, std::mt19937& rng)
{
    WeatheringModel& m = *t.model;
    std::uniform_int_distribution<int> kind(0, 9);
    float x = static_cast<float>(randomPosition(rng, m.width));
    float y = static_cast<float>(randomPosition(rng, m.height));
    const int k = kind(rng);
    if (k == 0 && !m.imagePoints.empty()) {  // the same pixel again
        x = m.imagePoints.back().x;
        y = m.imagePoints.back().y;
    } else if (k == 1) {
        x += 0.5f;
    }
    m.addPathPoint(x, y);
    t.frozen->addPathPoint(x, y);
}

enum Operation {
    step,
    dab,
    refresh,
    refreshInBrush,
    addPoint,
    removePoint,
    rates,
    rateAt,
    restart,
    newMask,
    newPhotograph,
    lookAtColours,
    operationCount
};

Operation randomOperation(std::mt19937& rng)
{
    // Weights in the order of the enumeration.
    static const int weights[operationCount] = {30, 20, 5, 8, 7, 4, 3, 3, 5, 4, 2, 12};
    std::discrete_distribution<int> pick(std::begin(weights), std::end(weights));
    return static_cast<Operation>(pick(rng));
}

const char* nameOf(Operation op)
{
    static const char* names[operationCount] = {"simulationStep",        "applyBrush",    "refreshTexture",
                                                "refreshTextureInBrush", "addPathPoint",  "removeLastPathPoint",
                                                "computeRates",          "computeRateAt", "reinitialise",
                                                "applyMaskImage",        "initFromImage", "reading lab"};
    return names[op];
}

// Applies one operation to both; returns whether lab should be compared after it.
bool apply(Twins& t, Operation op, std::mt19937& rng)
{
    WeatheringModel& m = *t.model;
    reference::WeatheringModel& r = *t.frozen;
    const ModelSettings s = randomSettings(rng, m.width, m.height);
    switch (op) {
    case step:
        m.simulationStep(s);
        r.simulationStep(s);
        return false;
    case dab: {
        const int x = randomPosition(rng, m.width), y = randomPosition(rng, m.height);
        m.applyBrush(x, y, s);
        r.applyBrush(x, y, s);
        return false;
    }
    case refresh:
        m.refreshTexture();
        r.refreshTexture();
        return false;
    case refreshInBrush: {
        const float x = static_cast<float>(randomPosition(rng, m.width)),
                    y = static_cast<float>(randomPosition(rng, m.height));
        m.refreshTextureInBrush(x, y, s);
        r.refreshTextureInBrush(x, y, s);
        return false;
    }
    case addPoint:
        clickPathPoint(t, rng);
        m.computeDegrees();
        r.computeDegrees();
        return false;
    case removePoint:
        m.removeLastPathPoint();
        r.removeLastPathPoint();
        m.computeDegrees();
        r.computeDegrees();
        return false;
    case rates:
        m.computeRates(s);
        r.computeRates(s);
        return false;
    case rateAt: {
        const float x = static_cast<float>(randomPosition(rng, m.width)),
                    y = static_cast<float>(randomPosition(rng, m.height));
        m.computeRateAt(x, y, s);
        r.computeRateAt(x, y, s);
        return false;
    }
    case restart:
        m.reinitialise(t.photograph.pixels.data(), s);
        r.reinitialise(t.photograph.pixels.data(), s);
        return false;
    case newMask: {
        const std::vector<float> mask = randomMask(m.width, m.height, rng);
        m.applyMaskImage(mask.data(), static_cast<int>(mask.size()));
        r.applyMaskImage(mask.data(), static_cast<int>(mask.size()));
        if (std::bernoulli_distribution(0.7)(rng)) {
            m.reinitialise(t.photograph.pixels.data(), s);
            r.reinitialise(t.photograph.pixels.data(), s);
        }
        return false;
    }
    case newPhotograph:
        t.load(photographOfRandomSize(rng));
        return false;
    default:
        return true;
    }
}

// A session: a photograph, maybe a mask, a path of 0 to 10 points, then random
// operations. Returns the first difference, described.
std::string runSession(unsigned seed, int operations)
{
    std::mt19937 rng(seed);
    Twins t;
    t.load(photographOfRandomSize(rng));
    if (std::bernoulli_distribution(0.6)(rng)) {
        const std::vector<float> mask = randomMask(t.model->width, t.model->height, rng);
        t.model->applyMaskImage(mask.data(), static_cast<int>(mask.size()));
        t.frozen->applyMaskImage(mask.data(), static_cast<int>(mask.size()));
    }
    const int clicks = std::uniform_int_distribution<int>(0, 10)(rng);
    for (int k = 0; k < clicks; ++k)
        clickPathPoint(t, rng);
    t.model->reinitialise(t.photograph.pixels.data(), ModelSettings{});
    t.frozen->reinitialise(t.photograph.pixels.data(), ModelSettings{});
    std::string difference = firstDifference(*t.model, *t.frozen, true);
    if (!difference.empty())
        return "after the start: " + difference;
    for (int k = 0; k < operations; ++k) {
        const Operation op = randomOperation(rng);
        const bool withLab = apply(t, op, rng);
        difference = firstDifference(*t.model, *t.frozen, withLab);
        if (!difference.empty()) {
            std::ostringstream out;
            out << "operation " << k << " (" << nameOf(op) << ") on " << t.model->width << " x " << t.model->height
                << ", path of " << t.model->chromaPoints.size() << ": " << difference;
            return out.str();
        }
    }
    difference = firstDifference(*t.model, *t.frozen, true);
    return difference.empty() ? "" : "at the end: " + difference;
}

// Every pass split as finely as the thread count allows, even on tiny photographs. The
// lines both models print about masks of the wrong size are swallowed.
class SameResultsAsReference : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        parallel::setThreadCount(GetParam());
        parallel::setSmallestShare(1);
        savedErrors = std::cerr.rdbuf(swallowed.rdbuf());
    }
    void TearDown() override
    {
        anyNaNIsEqual = false;
        std::cerr.rdbuf(savedErrors);
        parallel::setThreadCount(0);
        parallel::setSmallestShare(parallel::defaultSmallestShare);
    }

private:
    std::ostringstream swallowed;
    std::streambuf* savedErrors = nullptr;
};

}  // namespace

TEST_P(SameResultsAsReference, RandomSessionsOfEveryOperation)
{
    for (unsigned seed = 1; seed <= 150; ++seed) {
        const std::string difference = runSession(seed, 80);
        ASSERT_EQ(difference, "") << "session " << seed << " with " << GetParam() << " threads";
    }
}

TEST_P(SameResultsAsReference, LongSimulationWithDabsOnALargerPhotograph)
{
    std::mt19937 rng(1234);
    Twins t;
    t.load(randomPhotograph(301, 203, rng));
    const std::vector<float> mask = randomMask(301, 203, rng);
    t.model->applyMaskImage(mask.data(), static_cast<int>(mask.size()));
    t.frozen->applyMaskImage(mask.data(), static_cast<int>(mask.size()));
    for (int k = 0; k < 6; ++k)
        clickPathPoint(t, rng);
    t.model->reinitialise(t.photograph.pixels.data(), ModelSettings{});
    t.frozen->reinitialise(t.photograph.pixels.data(), ModelSettings{});
    for (int k = 0; k < 80; ++k) {
        ModelSettings s = randomSettings(rng, 301, 203);
        s.dewethering = k % 20 >= 15 ? 1 : 0;
        t.model->simulationStep(s);
        t.frozen->simulationStep(s);
        if (k % 7 == 0) {
            const int x = randomPosition(rng, 301), y = randomPosition(rng, 203);
            t.model->applyBrush(x, y, s);
            t.frozen->applyBrush(x, y, s);
        }
        if (k % 10 == 9) {
            t.model->refreshTexture();
            t.frozen->refreshTexture();
        }
        ASSERT_EQ(firstDifference(*t.model, *t.frozen, k % 10 == 9), "") << "step " << k;
    }
}

TEST_P(SameResultsAsReference, BlocksOfPixelsAroundThePathPoints)
{
    for (unsigned seed = 900; seed < 960; ++seed) {
        std::mt19937 rng(seed);
        const int points = std::uniform_int_distribution<int>(2, 7)(rng);
        Twins t;
        t.load(photographAroundPathPoints(points, rng));
        for (int e = 0; e < points; ++e) {
            const float x = static_cast<float>(std::uniform_int_distribution<int>(0, 255)(rng));
            t.model->addPathPoint(x, static_cast<float>(e));
            t.frozen->addPathPoint(x, static_cast<float>(e));
        }
        t.model->reinitialise(t.photograph.pixels.data(), ModelSettings{});
        t.frozen->reinitialise(t.photograph.pixels.data(), ModelSettings{});
        ASSERT_EQ(firstDifference(*t.model, *t.frozen, true), "") << "seed " << seed;
        for (int k = 0; k < 4; ++k) {
            const Operation op = k % 2 == 0 ? removePoint : addPoint;
            apply(t, op, rng);
            ASSERT_EQ(firstDifference(*t.model, *t.frozen, false), "") << "seed " << seed << ", " << nameOf(op);
        }
    }
}

TEST_P(SameResultsAsReference, NotANumberAndInfinitePixelsOffThePath)
{
    // Such pixels get degree 0 and spoil the lightness of their bucket, as they always
    // did; nothing else changes. NaNs may differ in their payload bits.
    anyNaNIsEqual = true;
    for (unsigned seed = 500; seed < 530; ++seed) {
        std::mt19937 rng(seed);
        Twins t;
        Photograph p = randomPhotograph(23, 17, rng);
        const vec3 awkward[] = {{NAN, 0.5f, 0.5f}, {INFINITY, INFINITY, INFINITY}, {0.2f, -INFINITY, 0.3f}};
        std::vector<int> spoiled;
        for (int k = 0; k < 6; ++k) {
            const int i = std::uniform_int_distribution<int>(0, 23 * 17 - 1)(rng);
            p.pixels[i] = awkward[k % 3];
            spoiled.push_back(i);
        }
        t.load(p);
        for (int k = 0; k < 5;) {
            const int x = std::uniform_int_distribution<int>(0, 22)(rng),
                      y = std::uniform_int_distribution<int>(0, 16)(rng);
            if (std::find(spoiled.begin(), spoiled.end(), y * 23 + x) != spoiled.end())
                continue;
            t.model->addPathPoint(static_cast<float>(x), static_cast<float>(y));
            t.frozen->addPathPoint(static_cast<float>(x), static_cast<float>(y));
            ++k;
        }
        t.model->reinitialise(p.pixels.data(), ModelSettings{});
        t.frozen->reinitialise(p.pixels.data(), ModelSettings{});
        for (int k = 0; k < 30; ++k) {
            const Operation op = k % 3 == 2 ? dab : (k % 5 == 4 ? refresh : step);
            const bool withLab = apply(t, op, rng);
            const std::string difference = firstDifference(*t.model, *t.frozen, withLab || k % 4 == 0);
            ASSERT_EQ(difference, "") << "seed " << seed << " operation " << k;
        }
    }
    anyNaNIsEqual = false;
}

namespace {

// Colours in and around the unit cube, on the companding thresholds, and far outside.
std::vector<vec3> awkwardColours(int count, float spread, std::mt19937& rng)
{
    std::uniform_real_distribution<float> wide(-spread, spread), unit(-0.05f, 1.05f);
    std::uniform_int_distribution<int> kind(0, 9);
    const float special[] = {0.0f, -0.0f, 1.0f, 0.008856f, 7.999625f, 1e-30f, -1e-30f, 1e30f, 0.5f, 100.0f};
    std::vector<vec3> colours(count);
    for (vec3& c : colours) {
        const int k = kind(rng);
        if (k == 0)
            c = {special[kind(rng)], special[kind(rng)], special[kind(rng)]};
        else if (k < 4)
            c = {wide(rng), wide(rng), wide(rng)};
        else
            c = {unit(rng), unit(rng), unit(rng)};
    }
    return colours;
}

}  // namespace

TEST_P(SameResultsAsReference, ColourConversionsOfAwkwardColours)
{
    std::mt19937 rng(99);
    for (int trial = 0; trial < 30; ++trial) {
        const int count = std::uniform_int_distribution<int>(0, 5000)(rng);
        const std::vector<vec3> rgb = awkwardColours(count, 3.0f, rng);
        std::vector<vec3> lab(count), frozenLab(count);
        rgbToLab(rgb.data(), lab.data(), count);
        reference::rgbToLab(rgb.data(), frozenLab.data(), count);
        ASSERT_TRUE(sameBytes(lab.data(), frozenLab.data(), count)) << "rgbToLab, trial " << trial;

        const std::vector<vec3> anyLab = awkwardColours(count, 150.0f, rng);
        std::vector<vec3> back(count), frozenBack(count);
        labToRgb(anyLab.data(), back.data(), count);
        reference::labToRgb(anyLab.data(), frozenBack.data(), count);
        ASSERT_TRUE(sameBytes(back.data(), frozenBack.data(), count)) << "labToRgb, trial " << trial;

        const int width = std::uniform_int_distribution<int>(1, 90)(rng);
        const int height = std::max(1, count / width);
        if (width * height > count)
            continue;
        std::vector<float> selection(width * height);
        for (float& v : selection)
            v = std::bernoulli_distribution(0.8)(rng) ? 1.0f : 0.999f;
        const float radius = std::uniform_real_distribution<float>(0.0f, 40.0f)(rng);
        const float cx = static_cast<float>(randomPosition(rng, width)),
                    cy = static_cast<float>(randomPosition(rng, height));
        labToRgbInDisc(anyLab.data(), back.data(), width, height, radius, selection.data(), cx, cy);
        reference::labToRgbInDisc(anyLab.data(), frozenBack.data(), width, height, radius, selection.data(), cx, cy);
        ASSERT_TRUE(sameBytes(back.data(), frozenBack.data(), count)) << "labToRgbInDisc, trial " << trial;
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, SameResultsAsReference, ::testing::Values(1, 2, 3, 7),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "threads";
                         });
