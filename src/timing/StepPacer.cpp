#include "timing/StepPacer.h"

void StepPacer::setRate(int rate)
{
    stepsPerSecond = rate < 0 ? 0 : rate;
}

bool StepPacer::due(double now) const
{
    return secondsUntilDue(now) <= 0.0;
}

double StepPacer::secondsUntilDue(double now) const
{
    if (stepsPerSecond == 0 || !started)
        return 0.0;
    return nextDue > now ? nextDue - now : 0.0;
}

void StepPacer::stepped(double now)
{
    if (stepsPerSecond == 0)
        return;
    const double interval = 1.0 / stepsPerSecond;
    // Counting on from the last due time keeps the rate exact when steps come a little
    // late; a step that came a whole interval late (a dialog, a busy machine) does not
    // bring a burst of steps to catch up.
    nextDue = started ? nextDue + interval : now + interval;
    if (nextDue <= now)
        nextDue = now + interval;
    started = true;
}
