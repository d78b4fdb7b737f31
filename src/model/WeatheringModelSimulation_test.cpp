#include "model/WeatheringModel.h"

#include "model/WeatheringModelTestScenes.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(count(10.0f, 0, 0), 90);     // the quarter disc with dx, dy >= 0
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
                        if (dx * dx + dy * dy > static_cast<double>(s.brushSize) * s.brushSize ||
                            !(reference->mask[i] >= 1.0f))
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
                ASSERT_TRUE(sameBits(&m->lab[i], &lab0[i], 1) && m->degree[i] == degree0[i] && m->rate[i] == rate0[i] &&
                            m->detail[i] == detail0[i])
                    << "unmasked pixel " << i << " changed";
            }
        }
    }
}
