#include "model/WeatheringModel.h"

#include "model/WeatheringModelTestScenes.h"
#include "parallel/ParallelShares.h"
#include "parallel/StopRequest.h"

#include <gtest/gtest.h>

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

TEST(ComputeDegrees, AStoppedPassOnSeveralThreadsAddsOnlyPlacedPixelsToTheBuckets)
{
    // The shares a stop skips never write their bucket scratch; after steps it holds old
    // degrees, whose bytes would index past the buckets.
    parallel::setSmallestShare(1);
    parallel::setThreadCount(3);
    std::mt19937 rng(11);
    auto m = modelOf(randomPhotograph(64, 48, rng), 64, 48);
    m->addPathPoint(3, 4);
    m->addPathPoint(40, 30);
    m->addPathPoint(60, 2);
    m->computeDegrees();
    for (int k = 0; k < 5; ++k)
        m->simulationStep(ModelSettings{});
    parallel::requestStop();
    m->computeDegrees();
    parallel::clearStopRequest();
    parallel::setThreadCount(0);
    parallel::setSmallestShare(parallel::defaultSmallestShare);
    for (int j = 0; j < coarseBinCount; ++j) {
        EXPECT_EQ(m->degreeBins[j].count, 0.0f) << "bucket " << j;
        EXPECT_EQ(m->degreeBins[j].lightnessSum, 0.0f) << "bucket " << j;
    }
}
