#include "parallel/ParallelShares.h"

#include <omp.h>

#include <algorithm>

namespace parallel {

namespace {
int chosenThreads = 0;  // 0: OpenMP's own count
int smallestShare = defaultSmallestShare;
}  // namespace

int threadCount()
{
    return chosenThreads > 0 ? chosenThreads : omp_get_max_threads();
}

void setThreadCount(int count)
{
    chosenThreads = std::max(0, count);
}

void setSmallestShare(int pixels)
{
    smallestShare = std::max(1, pixels);
}

int shareCount(int items, int pixelsPerItem)
{
    // A pass called from inside another one's share runs on that share's thread.
    if (items <= 1 || omp_in_parallel())
        return 1;
    const long long pixels = static_cast<long long>(items) * std::max(1, pixelsPerItem);
    const long long worthwhile = std::max(1LL, pixels / smallestShare);
    return static_cast<int>(std::min({static_cast<long long>(threadCount()), worthwhile, static_cast<long long>(items)}));
}

void runShares(int shares, int items, ShareBody body, void* context)
{
    if (shares <= 1) {
        body(context, 0, 0, items);
        return;
    }
#pragma omp parallel for num_threads(shares) schedule(static, 1)
    for (int share = 0; share < shares; ++share) {
        const int begin = static_cast<int>(static_cast<long long>(items) * share / shares);
        const int end = static_cast<int>(static_cast<long long>(items) * (share + 1) / shares);
        body(context, share, begin, end);
    }
}

}  // namespace parallel
