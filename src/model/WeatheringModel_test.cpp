#include "model/WeatheringModel.h"

#include "colour/CieLab.h"
#include "colour/Rgba8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

std::unique_ptr<WeatheringModel> modelOf(const std::vector<vec3>& pixels, int w, int h)
{
    auto m = std::make_unique<WeatheringModel>();
    m->width = m->displayWidth = w;
    m->height = m->displayHeight = h;
    EXPECT_TRUE(m->initFromImage(pixels.data()));
    return m;
}

std::vector<vec3> randomPhotograph(int w, int h, std::mt19937& rng)
{
    // A few colour families with noise, so that paths run through populated chroma.
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), noise(-0.08f, 0.08f);
    const vec3 base[3] = {{unit(rng), unit(rng), unit(rng)}, {unit(rng), unit(rng), unit(rng)}, {unit(rng), unit(rng), unit(rng)}};
    std::vector<vec3> pixels(w * h);
    for (int i = 0; i < w * h; ++i) {
        const float t = unit(rng);
        const vec3& a = base[i % 3 == 0 ? 0 : 1];
        const vec3& b = base[2];
        auto mix = [&](float p, float q) { return std::fmin(1.0f, std::fmax(0.0f, p + t * (q - p) + noise(rng))); };
        pixels[i] = {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z)};
    }
    return pixels;
}

// A Lab colour (L* 50) whose chroma-plane position is exactly (px, py).
vec3 labAtChroma(float px, float py)
{
    vec3 lab{50.0f, px / 1.422f - 134.0f, py / 1.954f - 140.0f};
    for (int step = 0; step < 64 && chromaPlanePosition(lab).x != px; ++step)
        lab.y = std::nextafter(lab.y, chromaPlanePosition(lab).x < px ? 1e9f : -1e9f);
    for (int step = 0; step < 64 && chromaPlanePosition(lab).y != py; ++step)
        lab.z = std::nextafter(lab.z, chromaPlanePosition(lab).y < py ? 1e9f : -1e9f);
    EXPECT_EQ(chromaPlanePosition(lab).x, px);
    EXPECT_EQ(chromaPlanePosition(lab).y, py);
    return lab;
}

// A one-row model whose reference colours sit at the given chroma positions. Both the
// colours and the path move by 256 in x and y: only there do the float colour steps fall
// fine enough to hit every whole position exactly; the degrees do not change.
std::unique_ptr<WeatheringModel> modelAtChroma(const std::vector<Point2f>& chroma, const std::vector<Point2f>& path)
{
    const int w = static_cast<int>(chroma.size());
    auto m = modelOf(std::vector<vec3>(w, vec3{0.5f, 0.5f, 0.5f}), w, 1);
    for (int i = 0; i < w; ++i)
        m->labReference[i] = labAtChroma(chroma[i].x + 256.0f, chroma[i].y + 256.0f);
    m->chromaPoints.clear();
    for (const Point2f& p : path)
        m->chromaPoints.push_back({p.x + 256.0f, p.y + 256.0f});
    m->imagePoints.assign(path.size(), Point2f{0.0f, 0.0f});
    return m;
}

// The degree pass written plainly, pixel by pixel; the model must agree bit for bit.
void referenceComputeDegrees(WeatheringModel& m)
{
    const std::vector<Point2f>& p = m.chromaPoints;
    const int n = static_cast<int>(p.size());
    if (n < 2)
        return;
    for (DegreeBin& b : m.degreeBins)
        b = {0.0f, -1000.0f, -1000.0f, 0.0f};
    for (float& d : m.binDistance)
        d = -1.0f;
    for (float& l : m.meanLightness)
        l = 0.0f;
    m.maxDegree = 0.0f;
    auto length2 = [&](int l) {
        const float dx = p[l].x - p[l - 1].x, dy = p[l].y - p[l - 1].y;
        return dx * dx + dy * dy;
    };
    double S = 0.0;
    for (int l = 1; l < n; ++l)
        S += length2(l);
    for (int i = 0; i < m.width * m.height; ++i) {
        if (!(m.mask[i] >= 1.0f))
            continue;
        m.degree[i] = m.rate[i] = m.detail[i] = 0.0f;
        const Point2f g = chromaPlanePosition(m.labReference[i]);
        float best = -1.0f, partial = 0.0f;
        int seg = 1;
        for (int l = 1; l < n && S != 0.0; ++l) {
            const float ax = p[l - 1].x - p[l].x, ay = p[l - 1].y - p[l].y;
            const float den = ax * ax + ay * ay;
            if (den == 0.0f)
                continue;
            const float num = (g.x - p[l].x) * ax + (g.y - p[l].y) * ay;
            const float t = num / den;
            const float qx = p[l].x + t * ax, qy = p[l].y + t * ay;
            if ((qx - p[l].x) * (qx - p[l - 1].x) + (qy - p[l].y) * (qy - p[l - 1].y) <= 0.0f) {
                const float e = (g.x - qx) * (g.x - qx) + (g.y - qy) * (g.y - qy);
                if (e < best || best < 0.0f) {
                    best = e;
                    seg = l;
                    partial = (qx - p[l - 1].x) * (qx - p[l - 1].x) + (qy - p[l - 1].y) * (qy - p[l - 1].y);
                }
            }
        }
        float T = 0.0f;
        if (best >= 0.0f) {
            T = partial;
            for (int l = 1; l < seg; ++l)
                T += length2(l);
        } else {
            int v = 0;
            float dv = 0.0f;
            for (int k = 0; k < n; ++k) {
                const float d = (g.x - p[k].x) * (g.x - p[k].x) + (g.y - p[k].y) * (g.y - p[k].y);
                if (k == 0 || d < dv) {
                    v = k;
                    dv = d;
                }
            }
            for (int l = 1; l <= v; ++l)
                T += length2(l);
        }
        const float degree = S == 0.0 ? 0.0f : static_cast<float>(T / S);
        m.degree[i] = degree;
        if (best >= 0.0f && degree > m.maxDegree)
            m.maxDegree = degree;
        const int j = static_cast<int>(degree * 150.0f);
        m.degreeBins[j].lightnessSum += m.labReference[i].x;
        m.degreeBins[j].count += 1.0f;
        const int k = static_cast<int>(degree * 10000.0f);
        if (S != 0.0 && (m.binDistance[k] < 0.0f || (best >= 0.0f && best < m.binDistance[k]))) {
            m.degreeBins[k].a = m.labReference[i].y;
            m.degreeBins[k].b = m.labReference[i].z;
            m.binDistance[k] = best;
        }
    }
    for (int i = 0; i < m.width * m.height; ++i) {
        if (!(m.mask[i] >= 1.0f))
            continue;
        const int j = static_cast<int>(m.degree[i] * 150.0f);
        m.meanLightness[j] = m.degreeBins[j].lightnessSum / m.degreeBins[j].count;
        m.detail[i] = m.meanLightness[j] == 0.0f ? 0.0f : m.labReference[i].x / m.meanLightness[j];
    }
}

float referenceRate(const WeatheringModel& m, int i, bool backwards)
{
    const int x = i % m.width, y = i / m.width;
    float sum = 0.0f, count = 0.0f;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && nx < m.width && ny >= 0 && ny < m.height && m.mask[ny * m.width + nx] >= 1.0f) {
                sum += m.degree[ny * m.width + nx];
                count += 1.0f;
            }
        }
    return backwards ? 1.0f - sum / count : sum / count;
}

void referenceUpdate(WeatheringModel& m, int i, float f, bool backwards)
{
    const float d = m.degree[i];
    const DegreeBin& bin = m.degreeBins[static_cast<int>(d * 10000.0f)];
    if (bin.a > -1000.0f)
        m.lab[i] = {m.meanLightness[static_cast<int>(d * 150.0f)] * m.detail[i], bin.a, bin.b};
    float next = backwards ? d - f * m.rate[i] : d + f * m.rate[i];
    if (next > m.maxDegree)
        next = m.maxDegree;
    if (next < 0.0f)
        next = 0.0f;
    m.degree[i] = next;
}

void referenceSimulationStep(WeatheringModel& m, bool backwards)
{
    const int n = m.width * m.height;
    for (int i = 0; i < n; ++i)
        if (m.mask[i] >= 1.0f)
            m.rate[i] = referenceRate(m, i, backwards);
    for (int i = 0; i < n; ++i)
        if (m.mask[i] >= 1.0f)
            referenceUpdate(m, i, 0.01f, backwards);
}

template <typename T>
bool sameBits(const T* a, const T* b, int count)
{
    return std::memcmp(a, b, sizeof(T) * count) == 0;
}

bool sameState(const WeatheringModel& a, const WeatheringModel& b)
{
    const int n = a.width * a.height;
    return a.maxDegree == b.maxDegree && sameBits(a.degree.get(), b.degree.get(), n) &&
           sameBits(a.rate.get(), b.rate.get(), n) && sameBits(a.detail.get(), b.detail.get(), n) &&
           sameBits(a.lab.get(), b.lab.get(), n) && sameBits(a.degreeBins, b.degreeBins, fineBinCount) &&
           sameBits(a.meanLightness, b.meanLightness, coarseBinCount);
}

struct RandomScene {
    int w, h;
    std::vector<vec3> pixels;
    std::vector<float> mask;
    std::vector<Point2f> clicks;
};

RandomScene randomScene(std::mt19937& rng)
{
    std::uniform_int_distribution<int> size(1, 48), points(2, 7);
    RandomScene s;
    s.w = size(rng);
    s.h = size(rng);
    s.pixels = randomPhotograph(s.w, s.h, rng);
    std::bernoulli_distribution masked(0.7);
    s.mask.resize(s.w * s.h);
    for (float& v : s.mask)
        v = masked(rng) ? 1.0f : 0.0f;
    std::uniform_int_distribution<int> px(0, s.w - 1), py(0, s.h - 1);
    const int count = points(rng);
    for (int k = 0; k < count; ++k)
        s.clicks.push_back({static_cast<float>(px(rng)), static_cast<float>(py(rng))});
    return s;
}

std::unique_ptr<WeatheringModel> modelOf(const RandomScene& s)
{
    auto m = modelOf(s.pixels, s.w, s.h);
    m->applyMaskImage(s.mask.data(), s.w * s.h);
    for (const Point2f& c : s.clicks)
        m->addPathPoint(c.x, c.y);
    m->reinitialise(s.pixels.data(), ModelSettings{});
    return m;
}

constexpr float justAboveOne = 1.0000001f;  // one unit in the last place, the pinned arithmetic allows it

}  // namespace

TEST(InitFromImage, StartsMaskedInWithEmptyPathAndTablesWithoutSamples)
{
    std::mt19937 rng(1);
    const std::vector<vec3> pixels = randomPhotograph(7, 5, rng);
    auto m = modelOf(pixels, 7, 5);
    m->mask[3] = 0.0f;
    m->addPathPoint(1, 1);
    ASSERT_TRUE(m->initFromImage(pixels.data()));
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
    m->width = m->displayWidth = 65536;
    m->height = m->displayHeight = 65536;
    const vec3 one{0, 0, 0};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(m->initFromImage(&one));
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(m->lab.get(), before);
    EXPECT_EQ(m->width, 4);
    EXPECT_EQ(m->height, 3);
    EXPECT_TRUE(m->hasImage());
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

TEST(ComputeDegrees, SquaredLengthsPlacePixelsAlongATwoPointPath)
{
    auto m = modelAtChroma({{150, 130}, {175, 90}, {50, 100}, {260, 100}}, {{100, 100}, {200, 100}});
    m->computeDegrees();
    EXPECT_FLOAT_EQ(m->degree[0], 0.25f);
    EXPECT_FLOAT_EQ(m->degree[1], 0.5625f);
    EXPECT_EQ(m->degree[2], 0.0f);
    EXPECT_EQ(m->degree[3], 1.0f);
    EXPECT_EQ(m->maxDegree, m->degree[1]) << "a pixel beside no segment must not raise it";
}

TEST(ComputeDegrees, LaterSegmentsAddTheSquaredLengthsBeforeThem)
{
    auto m = modelAtChroma({{100, 5}}, {{0, 0}, {100, 0}, {100, 10}});
    m->computeDegrees();
    EXPECT_FLOAT_EQ(m->degree[0], 10025.0f / 10100.0f);

    // Equidistant from both segments: the earlier one wins (8100 / 20000, not 10100 / 20000).
    auto tie = modelAtChroma({{90, 10}}, {{0, 0}, {100, 0}, {100, 100}});
    tie->computeDegrees();
    EXPECT_FLOAT_EQ(tie->degree[0], 0.405f);
}

TEST(ComputeDegrees, FineBinsKeepTheNearestSampleThenTheFirst)
{
    // Pixels 0 and 1 tie at distance 900 in bin 2500; pixel 2 is nearer; pixel 3 lies
    // beside no segment and may only fill an empty bin.
    auto m = modelAtChroma({{150, 130}, {150, 70}, {150, 110}, {60, 100}, {40, 100}}, {{100, 100}, {200, 100}});
    m->computeDegrees();
    const vec3 nearest = m->labReference[2];
    EXPECT_EQ(m->degreeBins[2500].a, nearest.y);
    EXPECT_EQ(m->binDistance[2500], 100.0f);
    // Both beside-no-segment pixels land in bin 0; the last in index order holds it.
    EXPECT_EQ(m->degreeBins[0].a, m->labReference[4].y);
    EXPECT_EQ(m->binDistance[0], -1.0f);
    EXPECT_EQ(m->degreeBins[1].a, -1000.0f) << "a bin no pixel reaches stays without a sample";

    auto first = modelAtChroma({{150, 130}, {150, 70}}, {{100, 100}, {200, 100}});
    first->computeDegrees();
    EXPECT_EQ(first->degreeBins[2500].a, first->labReference[0].y);
}

TEST(ComputeDegrees, PathWithoutLengthGivesDegreeZeroAndNoColourSamples)
{
    std::mt19937 rng(3);
    const std::vector<vec3> pixels = randomPhotograph(10, 10, rng);
    auto m = modelOf(pixels, 10, 10);
    m->addPathPoint(4, 4);
    m->addPathPoint(4, 4);
    m->computeDegrees();
    float sum = 0.0f;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(m->degree[i], 0.0f);
        sum += m->labReference[i].x;
    }
    EXPECT_EQ(m->maxDegree, 0.0f);
    for (int k = 0; k < fineBinCount; ++k)
        ASSERT_EQ(m->degreeBins[k].a, -1000.0f) << "bin " << k;
    EXPECT_EQ(m->degreeBins[0].count, 100.0f);
    EXPECT_FLOAT_EQ(m->meanLightness[0], sum / 100.0f);
    EXPECT_FLOAT_EQ(m->detail[0], m->labReference[0].x / m->meanLightness[0]);

    const std::vector<vec3> labBefore(m->lab.get(), m->lab.get() + 100);
    m->simulationStep(ModelSettings{});
    m->applyBrush(5, 5, ModelSettings{});
    m->bringColoursUpToDate();
    EXPECT_TRUE(sameBits(m->lab.get(), labBefore.data(), 100)) << "nothing may be repainted";
}

TEST(ComputeDegrees, ZeroLengthSegmentAndShortenedPathLeaveDegreesAsTheyWere)
{
    std::mt19937 rng(4);
    const std::vector<vec3> pixels = randomPhotograph(16, 16, rng);
    auto plain = modelOf(pixels, 16, 16);
    auto doubled = modelOf(pixels, 16, 16);
    plain->addPathPoint(1, 2);
    plain->addPathPoint(9, 9);
    doubled->addPathPoint(1, 2);
    doubled->addPathPoint(1, 2);
    doubled->addPathPoint(9, 9);
    plain->computeDegrees();
    doubled->computeDegrees();
    EXPECT_TRUE(sameBits(plain->degree.get(), doubled->degree.get(), 256));

    const std::vector<float> before(plain->degree.get(), plain->degree.get() + 256);
    plain->removeLastPathPoint();
    plain->computeDegrees();
    EXPECT_TRUE(sameBits(plain->degree.get(), before.data(), 256));
}

TEST(ComputeDegrees, RandomScenesMatchThePlainPassAndStayWithinZeroToOne)
{
    std::mt19937 rng(5);
    for (int trial = 0; trial < 150; ++trial) {
        const RandomScene scene = randomScene(rng);
        auto m = modelOf(scene);
        if (trial % 3 == 0) {
            // Arbitrary chroma points too, far from any pixel colour and sometimes repeated.
            std::uniform_real_distribution<float> plane(0.0f, 500.0f);
            m->chromaPoints = {{plane(rng), plane(rng)}, {plane(rng), plane(rng)}, {plane(rng), plane(rng)}};
            m->chromaPoints.push_back(m->chromaPoints.back());
            m->imagePoints.resize(4);
        }
        auto reference = modelOf(scene);
        reference->chromaPoints = m->chromaPoints;
        m->computeDegrees();
        referenceComputeDegrees(*reference);
        ASSERT_TRUE(sameState(*m, *reference)) << "trial " << trial;
        ASSERT_TRUE(sameBits(m->binDistance, reference->binDistance, fineBinCount)) << "trial " << trial;
        EXPECT_LE(m->maxDegree, justAboveOne);
        for (int i = 0; i < scene.w * scene.h; ++i)
            ASSERT_TRUE(m->degree[i] >= 0.0f && m->degree[i] <= justAboveOne) << "degree " << m->degree[i];
    }
}

namespace {

// A 2 x 2 photograph, all masked: the corner pixel 0 at degree 0.4, its three neighbours
// at 0.8, tables with samples everywhere.
std::unique_ptr<WeatheringModel> cornerModel()
{
    auto m = modelOf(std::vector<vec3>(4, vec3{0.5f, 0.5f, 0.5f}), 2, 2);
    const float degrees[4] = {0.4f, 0.8f, 0.8f, 0.8f};
    std::copy(degrees, degrees + 4, m->degree.get());
    m->maxDegree = 1.0f;
    for (DegreeBin& b : m->degreeBins)
        b.a = b.b = 5.0f;
    return m;
}

}  // namespace

TEST(SimulationStep, CornerRateIsTheMeanOfItsMaskedNeighbourhood)
{
    ModelSettings s;
    auto m = cornerModel();
    m->simulationStep(s);
    EXPECT_FLOAT_EQ(m->rate[0], 0.7f);
    EXPECT_FLOAT_EQ(m->degree[0], 0.407f);

    s.dewethering = 1;
    auto back = cornerModel();
    back->simulationStep(s);
    EXPECT_FLOAT_EQ(back->rate[0], 0.3f);
    EXPECT_FLOAT_EQ(back->degree[0], 0.397f);

    // Unmasked neighbours do not enter the mean.
    auto alone = cornerModel();
    alone->mask[1] = alone->mask[2] = alone->mask[3] = 0.0f;
    alone->computeRates(ModelSettings{});
    EXPECT_FLOAT_EQ(alone->rate[0], 0.4f);
}

TEST(SimulationStep, ClampsToMaxDegreeAndZeroAndLeavesColourWhereTheBinIsEmpty)
{
    auto m = cornerModel();
    m->maxDegree = 0.45f;
    m->degreeBins[4000].a = -1000.0f;  // pixel 0's bin has no sample
    const vec3 colourBefore = m->lab[0];
    m->simulationStep(ModelSettings{});
    m->bringColoursUpToDate();
    EXPECT_TRUE(sameBits(&m->lab[0], &colourBefore, 1));
    EXPECT_GT(m->degree[0], 0.4f);
    EXPECT_EQ(m->degree[1], 0.45f);

    auto low = cornerModel();
    low->degree[0] = 0.001f;
    ModelSettings s;
    s.dewethering = 1;
    s.speed = 1.0f;
    low->applyBrush(0, 0, s);
    EXPECT_EQ(low->degree[0], 0.0f);
}

TEST(SimulationStep, BeforeAnyPathColoursStayAsTheyAre)
{
    std::mt19937 rng(6);
    const std::vector<vec3> pixels = randomPhotograph(9, 9, rng);
    auto m = modelOf(pixels, 9, 9);
    const std::vector<vec3> lab(m->lab.get(), m->lab.get() + 81);
    m->simulationStep(ModelSettings{});
    m->applyBrush(4, 4, ModelSettings{});
    m->bringColoursUpToDate();
    EXPECT_TRUE(sameBits(m->lab.get(), lab.data(), 81));

    // Init with a one-point path leaves the photograph as it is, too.
    m->addPathPoint(2, 2);
    m->reinitialise(pixels.data(), ModelSettings{});
    m->simulationStep(ModelSettings{});
    m->bringColoursUpToDate();
    EXPECT_TRUE(sameBits(m->lab.get(), lab.data(), 81));
    for (int i = 0; i < 81; ++i)
        ASSERT_EQ(m->degree[i], 0.0f);
}

TEST(SimulationStep, TableIndicesComeFromTheSingleProduct)
{
    // The float just below 17/150 whose float product with 150 rounds up to 17 while the
    // double product stays below it.
    float d = 17.0f / 150.0f;
    for (int step = 0; step < 1000; ++step) {
        if (static_cast<int>(d * 150.0f) == 17 && static_cast<int>(static_cast<double>(d) * 150.0) == 16)
            break;
        d = std::nextafter(d, 0.0f);
    }
    ASSERT_EQ(static_cast<int>(static_cast<double>(d) * 150.0), 16);
    auto m = cornerModel();
    m->degree[0] = d;
    m->detail[0] = 1.0f;
    m->meanLightness[16] = 16.0f;
    m->meanLightness[17] = 17.0f;
    m->simulationStep(ModelSettings{});
    m->bringColoursUpToDate();
    EXPECT_EQ(m->lab[0].x, 17.0f);
}

TEST(ApplyBrush, DiscOfRadiusTenUpdates317PixelsAndTheCornerOnlyItsInsidePart)
{
    auto count = [](float radius, int cx, int cy) {
        auto m = modelOf(std::vector<vec3>(64 * 64, vec3{0.5f, 0.5f, 0.5f}), 64, 64);
        std::fill(m->degree.get(), m->degree.get() + 64 * 64, 0.5f);
        m->maxDegree = 1.0f;
        ModelSettings s;
        s.brushSize = radius;
        m->applyBrush(cx, cy, s);
        int changed = 0;
        for (int i = 0; i < 64 * 64; ++i)
            changed += m->degree[i] != 0.5f ? 1 : 0;
        return changed;
    };
    EXPECT_EQ(count(10.0f, 32, 32), 317);
    EXPECT_EQ(count(10.0f, 0, 0), 90);    // the quarter disc with dx, dy >= 0
    EXPECT_EQ(count(10.5f, 32, 32), 349);  // offsets -10 ... 10 inside dx^2 + dy^2 <= 110.25
    EXPECT_EQ(count(-1.0f, 32, 32), 0);
    EXPECT_EQ(count(10.0f, -200, 32), 0);
}

TEST(ApplyBrush, DabAdvancesByTheSpeedTimesTheRate)
{
    auto m = cornerModel();
    m->applyBrush(0, 0, ModelSettings{});
    EXPECT_FLOAT_EQ(m->degree[0], 0.4f + 0.035f);
}

TEST(Weathering, RandomStepsAndDabsMatchThePlainRulesAndKeepInvariants)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 60; ++trial) {
        const RandomScene scene = randomScene(rng);
        auto m = modelOf(scene);
        auto reference = modelOf(scene);
        const int n = scene.w * scene.h;
        const std::vector<vec3> lab0(m->lab.get(), m->lab.get() + n);
        const std::vector<float> degree0(m->degree.get(), m->degree.get() + n);
        const std::vector<float> rate0(m->rate.get(), m->rate.get() + n);
        const std::vector<float> detail0(m->detail.get(), m->detail.get() + n);
        std::uniform_int_distribution<int> px(-5, scene.w + 5), py(-5, scene.h + 5);
        std::uniform_real_distribution<float> radius(0.0f, 12.0f), speed(0.0f, 1.0f);
        for (int action = 0; action < 30; ++action) {
            ModelSettings s;
            s.dewethering = action % 7 == 3 ? 1 : 0;
            if (action % 2 == 0) {
                m->simulationStep(s);
                referenceSimulationStep(*reference, s.dewethering == 1);
            } else {
                s.brushSize = radius(rng);
                s.speed = speed(rng);
                const int x = px(rng), y = py(rng);
                m->applyBrush(x, y, s);
                // The plain dab: rates over the whole disc first, then the updates.
                for (int pass = 0; pass < 2; ++pass)
                    for (int i = 0; i < n; ++i) {
                        const int dx = i % scene.w - x, dy = i / scene.w - y;
                        if (dx * dx + dy * dy > static_cast<double>(s.brushSize) * s.brushSize || !(reference->mask[i] >= 1.0f))
                            continue;
                        if (pass == 0)
                            reference->rate[i] = referenceRate(*reference, i, s.dewethering == 1);
                        else
                            referenceUpdate(*reference, i, s.speed, s.dewethering == 1);
                    }
            }
            m->bringColoursUpToDate();
            ASSERT_TRUE(sameState(*m, *reference)) << "trial " << trial << " action " << action;
        }
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE((m->degree[i] >= 0.0f && m->degree[i] <= m->maxDegree) || scene.mask[i] < 1.0f)
                << "degree " << m->degree[i] << " max " << m->maxDegree;
            if (scene.mask[i] < 1.0f) {
                ASSERT_TRUE(sameBits(&m->lab[i], &lab0[i], 1) && m->degree[i] == degree0[i] &&
                            m->rate[i] == rate0[i] && m->detail[i] == detail0[i])
                    << "unmasked pixel " << i << " changed";
            }
        }
    }
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
void countingUploader(unsigned int& texture, const std::uint32_t*, int, int, const PixelRect& changed)
{
    texture = 7;
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
    EXPECT_EQ(m->texture, 7u);
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

    // A brush off the photograph converts and uploads nothing.
    m->refreshTextureInBrush(-50, 16, ModelSettings{});
    EXPECT_EQ(uploads, 2);
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
