#pragma once

// Splits a per-pixel pass into contiguous shares of rows (or pixels), a few a thread,
// with OpenMP. Every pass that runs on several cores goes through forEachShare, so the
// threads live only inside a call and the caller's thread waits for all of them.
// A pass split this way must give the same bits for any split: each item's result may
// depend only on the item, and sums whose value depends on their order are added up by
// the caller afterwards, in item order.
//
// The thread count is OMP_NUM_THREADS when it is set, otherwise every core.

namespace parallel {

// Threads a pass may use.
int threadCount();
// Sets the threads for later passes (tests, benchmarks); 0 returns to the default.
void setThreadCount(int count);

// Work of fewer pixels than this is not worth waking a thread for. Tests lower it to 1
// so that even tiny photographs are split.
constexpr int defaultSmallestShare = 32768;
void setSmallestShare(int pixels);

// The number of shares forEachShare makes of items, each weighing pixelsPerItem; 1 inside
// a share of another pass.
int shareCount(int items, int pixelsPerItem);

using ShareBody = void (*)(void* context, int share, int begin, int end);
void runShares(int shares, int items, ShareBody body, void* context);

// Calls body(share, begin, end) for consecutive ranges [begin, end) covering [0, items),
// share = 0 ... shareCount - 1 in item order, on the threads in any order.
template <typename Body>
void forEachShare(int items, int pixelsPerItem, Body&& body)
{
    auto call = [](void* context, int share, int begin, int end) { (*static_cast<Body*>(context))(share, begin, end); };
    runShares(shareCount(items, pixelsPerItem), items, call, &body);
}

}  // namespace parallel
