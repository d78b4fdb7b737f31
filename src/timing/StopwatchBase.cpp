#include "timing/StopwatchBase.h"

#include <cstdio>

StopwatchBase::StopwatchBase()
{
    std::snprintf(name, sizeof name, "%s", "Stopwatch");
}

void StopwatchBase::start()
{
    ++startCount;
    if (running)
        return;
    running = true;
    markStart();
}

float StopwatchBase::elapsed()
{
    return running ? secondsSinceMark() + accumulated : accumulated;
}
