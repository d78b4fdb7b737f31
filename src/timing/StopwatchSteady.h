#pragma once

#include <chrono>

#include "timing/StopwatchBase.h"

// The stopwatch on std::chrono::steady_clock: monotonic, never set back.
class StopwatchSteady : public StopwatchBase {
public:
    StopwatchSteady();

protected:
    void markStart() override;
    float secondsSinceMark() override;

private:
    std::chrono::steady_clock::time_point startTicks;
};
