// The Natural look: what it keeps, where it stays in bounds, that it runs back, and that
// the split of the work and the undo history change nothing.

#include "model/ModelUndoState.h"
#include "model/WeatheringModel.h"
#include "parallel/ParallelShares.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

constexpr int side = 96;

// Grey stone with noise, and rusty blotches in a few places: clean and weathered areas
// for the spread to grow between.
std::vector<vec3> blotchedPhotograph(std::mt19937& rng)
{
    std::normal_distribution<float> noise(0.0f, 0.02f);
    std::vector<vec3> pixels(side * side);
    const float centres[3][2] = {{20, 20}, {70, 35}, {40, 75}};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            float rust = 0.0f;
            for (const auto& c : centres) {
                const float d = std::hypot(x - c[0], y - c[1]);
                rust = std::fmax(rust, std::fmin(1.0f, std::fmax(0.0f, (9.0f - d) / 4.0f)));
            }
            auto channel = [&](float clean, float weathered) {
                return std::fmin(1.0f, std::fmax(0.0f, clean + rust * (weathered - clean) + noise(rng)));
            };
            pixels[y * side + x] = {channel(0.55f, 0.6f), channel(0.55f, 0.3f), channel(0.55f, 0.15f)};
        }
    return pixels;
}

struct Scene {
    std::mt19937 rng{11};
    std::vector<vec3> photograph = blotchedPhotograph(rng);
    std::vector<float> maskImage;
    std::unique_ptr<WeatheringModel> model = std::make_unique<WeatheringModel>();
    ModelSettings settings;

    // Natural, the right third masked out, a path from clean stone into a blotch.
    explicit Scene(bool masked = true)
    {
        model->initFromImage(photograph.data(), side, side);
        if (masked) {
            maskImage.assign(side * side, 1.0f);
            for (int y = 0; y < side; ++y)
                for (int x = 2 * side / 3; x < side; ++x)
                    maskImage[y * side + x] = 0.0f;
            model->applyMaskImage(maskImage.data(), side * side);
        }
        model->setLook(Look::natural, photograph.data(), settings);
        model->addPathPoint(50.0f, 60.0f);
        model->computeDegrees();
        model->addPathPoint(20.0f, 20.0f);
        model->computeDegrees();
    }

    void run(int steps, bool backwards)
    {
        settings.dewethering = backwards ? 1 : 0;
        for (int step = 0; step < steps; ++step)
            model->simulationStep(settings);
    }

    int pixels() const { return model->pixelCount(); }
};

double deltaE(const vec3& p, const vec3& q)
{
    return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
}

template <typename T>
std::vector<T> copyOf(const PixelArray<T>& values, int count)
{
    return std::vector<T>(values.get(), values.get() + count);
}

bool sameBits(const std::vector<vec3>& a, const std::vector<vec3>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(vec3)) == 0;
}

}  // namespace

TEST(NaturalLook, UnmaskedPixelsAndPixelsTheSpreadHasNotReachedKeepTheirExactColours)
{
    Scene s;
    s.run(60, false);
    s.settings.brushSize = 12.0f;
    s.model->applyBrush(60, 50, s.settings);
    int unreached = 0, weathered = 0;
    for (int i = 0; i < s.pixels(); ++i) {
        const bool unchanged = s.model->degree[i] == s.model->natural.startDegreeOf(i);
        if (s.model->mask[i] < 1.0f || unchanged) {
            ASSERT_EQ(std::memcmp(&s.model->lab[i], &s.model->labReference[i], sizeof(vec3)), 0) << "pixel " << i;
            unreached += s.model->mask[i] >= 1.0f;
        } else {
            ++weathered;
        }
    }
    // Both kinds exist: the spread has grown, and not over everything.
    EXPECT_GT(weathered, s.pixels() / 20);
    EXPECT_GT(unreached, s.pixels() / 5);
}

TEST(NaturalLook, DegreesStayWithinThePathAndColoursFinite)
{
    Scene s;
    std::uniform_int_distribution<int> at(0, side - 1);
    for (int round = 0; round < 6; ++round) {
        s.run(25, round % 2 == 1);
        s.settings.brushSize = 5.0f + 10.0f * round;
        s.settings.speed = 0.9f;
        s.model->applyBrush(at(s.rng), at(s.rng), s.settings);
        for (int i = 0; i < s.pixels(); ++i) {
            ASSERT_GE(s.model->degree[i], 0.0f) << "pixel " << i;
            ASSERT_LE(s.model->degree[i], 1.0f) << "pixel " << i;
            ASSERT_TRUE(std::isfinite(s.model->lab[i].x) && std::isfinite(s.model->lab[i].y) &&
                        std::isfinite(s.model->lab[i].z));
        }
    }
}

TEST(NaturalLook, WeatheringGrowsOutOfTheBlotchesAndRunsBackToThePhotograph)
{
    Scene s(false);
    const std::vector<vec3> photograph = copyOf(s.model->labReference, s.pixels());
    s.run(120, false);
    const std::vector<vec3> forward = copyOf(s.model->lab, s.pixels());
    s.run(120, true);
    double there = 0.0, back = 0.0, nearBlotch = 0.0, farAway = 0.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int i = y * side + x;
            there += deltaE(forward[i], photograph[i]);
            back += deltaE(s.model->lab[i], photograph[i]);
            // Next to the blotch at (20, 20) against the far corner.
            if (std::hypot(x - 20.0, y - 20.0) > 9.0 && std::hypot(x - 20.0, y - 20.0) < 13.0)
                nearBlotch += deltaE(forward[i], photograph[i]);
            if (x > 85 && y < 10)
                farAway += deltaE(forward[i], photograph[i]);
        }
    EXPECT_GT(there, 0.5 * s.pixels());  // it weathered visibly
    EXPECT_LT(back, 0.3 * there) << "forward " << there << ", left after as many steps back " << back;
    EXPECT_GT(nearBlotch, 5.0 * (farAway + 1.0));
}

TEST(NaturalLook, AnyNumberOfThreadsGivesTheSameBits)
{
    parallel::setSmallestShare(1);
    std::vector<vec3> firstLab;
    std::vector<float> firstDegree, firstRate;
    for (int threads : {1, 2, 3, 7}) {
        parallel::setThreadCount(threads);
        Scene s;
        s.run(40, false);
        s.settings.brushSize = 9.0f;
        s.model->applyBrush(30, 40, s.settings);
        s.run(15, true);
        const std::vector<vec3> lab = copyOf(s.model->lab, s.pixels());
        const std::vector<float> degree = copyOf(s.model->degree, s.pixels());
        const std::vector<float> rate = copyOf(s.model->rate, s.pixels());
        if (threads == 1) {
            firstLab = lab;
            firstDegree = degree;
            firstRate = rate;
            continue;
        }
        EXPECT_TRUE(sameBits(lab, firstLab)) << threads << " threads";
        EXPECT_EQ(std::memcmp(degree.data(), firstDegree.data(), degree.size() * sizeof(float)), 0) << threads;
        EXPECT_EQ(std::memcmp(rate.data(), firstRate.data(), rate.size() * sizeof(float)), 0) << threads;
    }
    parallel::setThreadCount(0);
    parallel::setSmallestShare(parallel::defaultSmallestShare);
}

TEST(NaturalLook, AClickPicksTheColourAroundItNotOneOddPixel)
{
    Scene s;
    const int x = 50, y = 60;
    vec3& odd = s.model->lab[y * side + x];
    const vec3 before = NaturalLook::pathSample(*s.model, x, y);
    odd = {odd.x, odd.y + 40.0f, odd.z - 40.0f};
    const vec3 after = NaturalLook::pathSample(*s.model, x, y);
    EXPECT_LT(deltaE(before, after), 1.0);
    // The colour picked is kept with the point, for the panel to show.
    ASSERT_EQ(s.model->pathColours.size(), s.model->imagePoints.size());
    s.model->addPathPoint(static_cast<float>(x), static_cast<float>(y));
    EXPECT_LT(deltaE(s.model->pathColours.back(), before), 1.0);
    s.model->removeLastPathPoint();
    EXPECT_EQ(s.model->pathColours.size(), s.model->imagePoints.size());
}

TEST(NaturalLook, SwitchingBackToSampledGivesTheSampledModelUnchanged)
{
    Scene s;
    s.run(10, false);
    s.model->setLook(Look::sampled, s.photograph.data(), s.settings);
    // The same photograph, mask and clicks in a model that never left Sampled.
    WeatheringModel plain;
    plain.initFromImage(s.photograph.data(), side, side);
    plain.applyMaskImage(s.maskImage.data(), side * side);
    plain.reinitialise(s.photograph.data(), s.settings);
    for (const Point2f& p : s.model->imagePoints) {
        plain.addPathPoint(p.x, p.y);
        plain.computeDegrees();
    }
    // Only the clicks' colours differ (picked around the point in Natural): take them over.
    plain.chromaPoints = s.model->chromaPoints;
    plain.reinitialise(s.photograph.data(), s.settings);
    s.run(20, false);
    for (int step = 0; step < 20; ++step)
        plain.simulationStep(s.settings);
    s.model->bringColoursUpToDate();
    plain.bringColoursUpToDate();
    EXPECT_TRUE(sameBits(copyOf(s.model->lab, s.pixels()), copyOf(plain.lab, s.pixels())));
}

TEST(NaturalLook, UndoGivesBackTheStateAndTheSpreadGoesOnAsBefore)
{
    Scene s;
    UndoHistory history;
    startUndoHistory(history, *s.model);
    history.willChangeAll();
    s.run(30, false);
    ASSERT_TRUE(commitUndoStep(history, *s.model));
    const std::vector<vec3> after30 = copyOf(s.model->lab, s.pixels());
    const std::vector<float> progress30 = copyOf(s.model->rate, s.pixels());
    history.willChangeAll();
    s.run(30, false);
    ASSERT_TRUE(commitUndoStep(history, *s.model));
    const std::vector<vec3> after60 = copyOf(s.model->lab, s.pixels());
    // A switch of look is one more step, taken back like any other.
    history.willChangeAll();
    s.model->setLook(Look::sampled, s.photograph.data(), s.settings);
    ASSERT_TRUE(commitUndoStep(history, *s.model));
    ASSERT_TRUE(undoModelStep(history, *s.model));
    EXPECT_EQ(s.model->look, Look::natural);
    EXPECT_TRUE(sameBits(copyOf(s.model->lab, s.pixels()), after60));

    ASSERT_TRUE(undoModelStep(history, *s.model));
    EXPECT_TRUE(sameBits(copyOf(s.model->lab, s.pixels()), after30));
    EXPECT_EQ(std::memcmp(s.model->rate.get(), progress30.data(), progress30.size() * sizeof(float)), 0);
    // What the look derives is rebuilt: the next 30 steps give what they gave before.
    s.run(30, false);
    EXPECT_TRUE(sameBits(copyOf(s.model->lab, s.pixels()), after60));
}
