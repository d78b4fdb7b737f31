// weathering-batch: the window tool's weathering without a window, for scripts,
// servers and time-lapse frames.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "batch/ProgressLine.h"

namespace {

volatile std::sig_atomic_t stopSignalled = 0;

void onStopSignal(int)
{
    stopSignalled = 1;
}

bool stopRequested()
{
    return stopSignalled != 0;
}

// Ctrl+C (and a polite kill) end the run between two steps, never inside a
// file being written.
void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    BatchOptions options;
    std::string text;
    switch (parseBatchOptions(argc, argv, options, text)) {
    case ParseOutcome::done:
        std::cout << text << std::endl;
        return batchSucceeded;
    case ParseOutcome::usageError:
        std::cerr << text << std::endl;
        return batchUsageError;
    case ParseOutcome::run:
        break;
    }
    if (!checkBatchOptions(options, text)) {
        std::cerr << text << std::endl;
        return batchUsageError;
    }
    catchStopSignals();
    ProgressLine progress(options.steps + options.back, stderr, isatty(fileno(stderr)) != 0);
    return runBatch(options, progress, stopRequested);
}
