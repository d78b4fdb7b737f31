#pragma once

#include <atomic>

// What a job on another thread and the thread that started it share: how far the job
// has come (0..1) and whether it was asked to stop. Either side may call any of these
// at any time; the job checks cancelled() often enough to stop within a fraction of a
// second.
class JobProgress {
public:
    void cancel() { cancelRequested.store(true); }
    bool cancelled() const { return cancelRequested.load(std::memory_order_relaxed); }
    void report(float fraction) { done.store(fraction, std::memory_order_relaxed); }
    float fraction() const { return done.load(std::memory_order_relaxed); }
    void reset()
    {
        cancelRequested.store(false);
        done.store(0.0f);
    }

private:
    std::atomic<bool> cancelRequested{false};
    std::atomic<float> done{0.0f};
};
