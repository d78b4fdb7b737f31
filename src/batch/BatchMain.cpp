// weathering-batch: the window tool's weathering without a window, for scripts,
// servers and time-lapse frames.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "batch/ProgressLine.h"
#include "parallel/StopRequest.h"

namespace {

volatile std::sig_atomic_t stopSignalled = 0;

// Only async-signal-safe calls from here on.
void sayAndEnd(const char* line)
{
    const ssize_t written = write(STDERR_FILENO, line, std::strlen(line));
    (void)written;
    _exit(batchInterrupted);
}

// Ends the run when the pass under way did not: a save or a load that polls nothing.
// A save killed midway leaves nothing behind, so the frames written so far stay whole.
void onOverdue(int)
{
    sayAndEnd("weathering-batch: interrupted; the frames written so far are whole\n");
}

// The first Ctrl+C (or polite kill) asks the passes to stop and the run to end between
// two steps; a second one, or a second passing without an end, ends it at once.
void onStopSignal(int)
{
    if (stopSignalled != 0)
        sayAndEnd("weathering-batch: interrupted again; ending at once\n");
    stopSignalled = 1;
    parallel::requestStop();
    alarm(1);
}

bool stopRequested()
{
    return stopSignalled != 0;
}

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = onOverdue;
    sigaction(SIGALRM, &action, nullptr);
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
