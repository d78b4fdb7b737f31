#include "background/BackgroundJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

void waitUntilFinished(const BackgroundJob& job)
{
    while (!job.finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Work that runs until it is cancelled, saying that it started.
BackgroundJob::Work untilCancelled(std::atomic<bool>& started)
{
    return [&started](JobProgress& progress) {
        started = true;
        while (!progress.cancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
}

}  // namespace

TEST(BackgroundJob, ResultsAreReadAfterOneCollectAndTheJobIsFreeAgain)
{
    BackgroundJob job;
    EXPECT_FALSE(job.busy());
    EXPECT_FALSE(job.collect()) << "nothing was started";
    int result = 0;
    ASSERT_TRUE(job.start([&result](JobProgress& progress) {
        progress.report(0.5f);
        result = 42;
    }));
    waitUntilFinished(job);
    EXPECT_TRUE(job.busy()) << "finished but not yet collected";
    EXPECT_EQ(job.fraction(), 0.5f);
    ASSERT_TRUE(job.collect());
    EXPECT_EQ(result, 42);
    EXPECT_FALSE(job.collect()) << "collected once only";
    EXPECT_FALSE(job.busy());
    EXPECT_FALSE(job.cancelled());
}

TEST(BackgroundJob, OneJobAtATimeAndEachStartsAfresh)
{
    BackgroundJob job;
    std::atomic<bool> started{false};
    ASSERT_TRUE(job.start(untilCancelled(started)));
    bool secondRan = false;
    EXPECT_FALSE(job.start([&secondRan](JobProgress&) { secondRan = true; }));
    job.cancelAndWait();
    EXPECT_FALSE(job.busy());
    EXPECT_FALSE(secondRan);
    EXPECT_TRUE(job.cancelled()) << "the owner can still tell that it was cancelled";

    // The next job is neither cancelled nor advanced by the last one.
    std::atomic<bool> sawCancel{true};
    std::atomic<float> sawFraction{-1.0f};
    ASSERT_TRUE(job.start([&](JobProgress& progress) {
        sawCancel = progress.cancelled();
        sawFraction = progress.fraction();
    }));
    waitUntilFinished(job);
    ASSERT_TRUE(job.collect());
    EXPECT_FALSE(sawCancel);
    EXPECT_EQ(sawFraction, 0.0f);
}

TEST(BackgroundJob, CancelReachesTheWorkWhichStillHasToReturn)
{
    BackgroundJob job;
    std::atomic<bool> started{false};
    ASSERT_TRUE(job.start(untilCancelled(started)));
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(job.finished());
    job.cancel();
    waitUntilFinished(job);
    EXPECT_TRUE(job.collect());
}

TEST(BackgroundJob, DestroyingARunningJobStopsItAndWaitsForIt)
{
    std::atomic<bool> started{false};
    std::atomic<bool> returned{false};
    {
        BackgroundJob job;
        ASSERT_TRUE(job.start([&](JobProgress& progress) {
            untilCancelled(started)(progress);
            returned = true;
        }));
        while (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(returned) << "the work outlived its job";
}

TEST(BackgroundJob, CancelAndWaitWithNothingRunningDoesNothing)
{
    BackgroundJob job;
    job.cancelAndWait();
    EXPECT_FALSE(job.busy());
    int runs = 0;
    ASSERT_TRUE(job.start([&runs](JobProgress&) { ++runs; }));
    waitUntilFinished(job);
    job.cancelAndWait();  // finished but not collected: it is collected now
    EXPECT_FALSE(job.busy());
    EXPECT_EQ(runs, 1);
}

TEST(BackgroundJob, WorkGivesWayForAMomentAfterTheUserActsAndNotWhenCancelled)
{
    using std::chrono::milliseconds;
    using Clock = std::chrono::steady_clock;
    const auto millisecondsOf = [](const std::function<void()>& wait) {
        const Clock::time_point start = Clock::now();
        wait();
        return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    };
    BackgroundJob job;
    std::atomic<bool> acted{false};
    std::atomic<long long> waited{-1};
    ASSERT_TRUE(job.start([&](JobProgress& progress) {
        while (!acted)
            std::this_thread::sleep_for(milliseconds(1));
        waited = millisecondsOf([&progress] { progress.giveWay(); });
    }));
    job.userActed();
    acted = true;
    waitUntilFinished(job);
    EXPECT_TRUE(job.collect());
    EXPECT_GE(waited, 150);  // the moment lasts 250 ms from the act
    EXPECT_LE(waited, 1100);

    JobProgress progress;
    EXPECT_LT(millisecondsOf([&progress] { progress.giveWay(); }), 100);  // nobody acted
    progress.userActed();
    progress.cancel();
    EXPECT_LT(millisecondsOf([&progress] { progress.giveWay(); }), 100);
}
