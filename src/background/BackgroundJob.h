#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "background/JobProgress.h"

// One piece of slow work (decoding a file, encoding a picture) on a thread of its own,
// at a lower priority, so that the thread that started it stays free to draw and to
// answer. The work
// touches only what it was given; its owner reads the results after collect(), on its
// own thread. One job at a time: a new one starts only once the last was collected.
// Destroying a job that still runs cancels it and waits for it, so no work outlives
// its owner.
class BackgroundJob {
public:
    using Work = std::function<void(JobProgress&)>;

    BackgroundJob() = default;
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // False, starting nothing, while an earlier job has not been collected.
    bool start(Work work);
    // Started and not yet collected.
    bool busy() const { return worker.joinable(); }
    // The work has returned (or none runs).
    bool finished() const { return !busy() || workDone.load(); }
    // Once the work has returned: ends the thread and makes the job free again. True
    // exactly once per job; the owner then reads what the work produced.
    bool collect();
    // Asks the work to stop; it still has to return before it can be collected.
    void cancel() { progress.cancel(); }
    // Cancels and waits for the work to return; the job is free afterwards.
    void cancelAndWait();
    bool cancelled() const { return progress.cancelled(); }
    // The user has just acted: the work gives way for a moment (JobProgress::giveWay).
    void userActed() { progress.userActed(); }
    float fraction() const { return progress.fraction(); }

private:
    std::thread worker;
    JobProgress progress;
    std::atomic<bool> workDone{false};
};
