#include "timing/StopwatchSteady.h"

StopwatchSteady::StopwatchSteady()
{
    description = "steady wall clock (std::chrono::steady_clock)";
}

void StopwatchSteady::markStart()
{
    startTicks = std::chrono::steady_clock::now();
}

float StopwatchSteady::secondsSinceMark()
{
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - startTicks;
    return static_cast<float>(seconds.count());
}
