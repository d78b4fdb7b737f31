#pragma once

#include <atomic>
#include <chrono>
#include <thread>

// What a job on another thread and the thread that started it share: how far the job
// has come (0..1), whether it was asked to stop, and when the user last acted. Either
// side may call any of these at any time; the job checks cancelled() often enough to
// stop within a fraction of a second, and calls giveWay() between its pieces.
class JobProgress {
public:
    void cancel() { cancelRequested.store(true); }
    bool cancelled() const { return cancelRequested.load(std::memory_order_relaxed); }
    void report(float fraction) { done.store(fraction, std::memory_order_relaxed); }
    float fraction() const { return done.load(std::memory_order_relaxed); }

    // The user has just clicked, dragged or typed: for a moment the answer to it has
    // the processor to itself (on two cores a save's conversion halves the speed of a
    // path click's pass).
    void userActed() { lastUserAct.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }
    // Waits until the user has not acted for that moment, or the job is cancelled; a
    // second at most, so that a long drag slows the work down without stopping it.
    void giveWay() const
    {
        const Clock::time_point latest = Clock::now() + std::chrono::seconds(1);
        for (Clock::time_point now = Clock::now(); now < latest && !cancelled(); now = Clock::now()) {
            if (now.time_since_epoch().count() - lastUserAct.load(std::memory_order_relaxed) >= answerTime)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    void reset()
    {
        cancelRequested.store(false);
        done.store(0.0f);
    }

private:
    using Clock = std::chrono::steady_clock;
    // Long enough for a click's whole-picture pass and its frame at 12 Mpx.
    static constexpr Clock::rep answerTime =
        std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(250)).count();

    std::atomic<bool> cancelRequested{false};
    std::atomic<Clock::rep> lastUserAct{0};
    std::atomic<float> done{0.0f};
};
