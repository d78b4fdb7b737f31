#include "parallel/ParallelShares.h"

#include "parallel/StopRequest.h"

#include <omp.h>

#include <algorithm>

namespace parallel {

namespace {
int chosenThreads = 0;  // 0: OpenMP's own count
int smallestShare = defaultSmallestShare;
// Several shares a thread, handed out as threads become free: a thread whose core is
// busy with another program then takes fewer, rather than holding up the pass.
constexpr int sharesPerThread = 4;
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
    const int threads = threadCount();
    if (threads <= 1)
        return 1;
    const long long pixels = static_cast<long long>(items) * std::max(1, pixelsPerItem);
    const long long worthwhile = std::max(1LL, pixels / smallestShare);
    const long long most = static_cast<long long>(threads) * sharesPerThread;
    return static_cast<int>(std::min({most, worthwhile, static_cast<long long>(items)}));
}

void runShares(int shares, int items, ShareBody body, void* context)
{
    if (shares <= 1) {
        body(context, 0, 0, items);
        return;
    }
    const int threads = std::min(shares, threadCount());
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
    for (int share = 0; share < shares; ++share) {
        const int begin = static_cast<int>(static_cast<long long>(items) * share / shares);
        const int end = static_cast<int>(static_cast<long long>(items) * (share + 1) / shares);
        if (!stopRequested())
            body(context, share, begin, end);
    }
}

}  // namespace parallel
