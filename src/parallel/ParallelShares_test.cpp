#include "parallel/ParallelShares.h"
#include "parallel/StopRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// Runs forEachShare and records which share saw which range.
struct Range {
    int begin = -1;
    int end = -1;
};

std::vector<Range> sharesOf(int items, int pixelsPerItem)
{
    std::vector<Range> seen(parallel::shareCount(items, pixelsPerItem));
    parallel::forEachShare(items, pixelsPerItem, [&](int share, int begin, int end) { seen[share] = {begin, end}; });
    return seen;
}

class ParallelSharesTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        parallel::setThreadCount(0);
        parallel::setSmallestShare(parallel::defaultSmallestShare);
    }
};

}  // namespace

TEST_F(ParallelSharesTest, SharesCoverEveryItemOnceInOrder)
{
    parallel::setSmallestShare(1);
    for (int threads : {1, 2, 3, 7}) {
        parallel::setThreadCount(threads);
        for (int items : {0, 1, 2, 5, 17, 1000}) {
            const std::vector<Range> seen = sharesOf(items, 1);
            ASSERT_FALSE(seen.empty());
            int next = 0;
            for (const Range& r : seen) {
                ASSERT_EQ(r.begin, next) << threads << " threads, " << items << " items";
                ASSERT_LE(r.begin, r.end);
                next = r.end;
            }
            EXPECT_EQ(next, items < 0 ? 0 : items);
            EXPECT_LE(static_cast<int>(seen.size()), std::max(1, items));
        }
    }
}

TEST_F(ParallelSharesTest, SmallWorkAndOneThreadStayOnOneShare)
{
    parallel::setThreadCount(4);
    EXPECT_EQ(parallel::shareCount(100, 1), 1) << "100 pixels are not worth a thread";
    EXPECT_GT(parallel::shareCount(100, 100000), 1) << "100 rows of 100000 pixels are";
    parallel::setThreadCount(1);
    EXPECT_EQ(parallel::shareCount(100, 100000), 1);
    EXPECT_EQ(parallel::threadCount(), 1);
}

TEST_F(ParallelSharesTest, APassInsideAShareRunsOnItsThread)
{
    parallel::setThreadCount(2);
    parallel::setSmallestShare(1);
    std::atomic<int> innerShares{0};
    parallel::forEachShare(8, 1, [&](int, int, int) { innerShares += parallel::shareCount(1000, 1000); });
    EXPECT_EQ(innerShares.load(), parallel::shareCount(8, 1));
}

TEST_F(ParallelSharesTest, AStopRequestSkipsTheSharesNotYetStartedUntilCleared)
{
    parallel::setSmallestShare(1);
    parallel::setThreadCount(2);
    std::atomic<int> calls{0};
    parallel::forEachShare(64, 1, [&](int, int, int) {
        if (calls.fetch_add(1) == 0)
            parallel::requestStop();
    });
    EXPECT_TRUE(parallel::stopRequested());
    EXPECT_LT(calls.load(), parallel::shareCount(64, 1)) << "the shares after the request still ran";

    calls = 0;
    parallel::forEachShare(64, 1, [&](int, int, int) { ++calls; });
    EXPECT_EQ(calls.load(), 0);
    parallel::clearStopRequest();
    parallel::forEachShare(64, 1, [&](int, int, int) { ++calls; });
    EXPECT_EQ(calls.load(), parallel::shareCount(64, 1));
}
