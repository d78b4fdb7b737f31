#pragma once

#include "batch/BatchOptions.h"
#include "batch/ProgressLine.h"

// Exit statuses of weathering-batch.
constexpr int batchSucceeded = 0;
constexpr int batchFailed = 1;      // a file could not be read or written
constexpr int batchUsageError = 2;  // the command line asks for something impossible
constexpr int batchInterrupted = 130;

// Asked between steps; true stops the run, keeping the frames already written. A pass
// cut short through parallel::requestStop ends the run as well, with nothing more written.
using StopRequest = bool (*)();

// Weathers the photograph as the window tool would after the same photograph,
// mask and clicks and the given number of idle passes with the simulation on,
// and writes what the options ask for. `options` must have passed
// checkBatchOptions. Says what went wrong in one line on std::cerr.
int runBatch(const BatchOptions& options, ProgressLine& progress, StopRequest stopRequested);
