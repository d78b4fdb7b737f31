#include "parallel/StopRequest.h"

#include <atomic>

namespace parallel {

namespace {
// Lock-free, so that a signal handler may set it; read by every thread of a pass.
std::atomic<bool> stopAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets it");
}  // namespace

void requestStop()
{
    stopAsked.store(true, std::memory_order_relaxed);
}

bool stopRequested()
{
    return stopAsked.load(std::memory_order_relaxed);
}

void clearStopRequest()
{
    stopAsked.store(false, std::memory_order_relaxed);
}

}  // namespace parallel
