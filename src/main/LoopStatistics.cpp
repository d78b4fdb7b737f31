#include "main/LoopStatistics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void printMilliseconds(const char* name, double seconds)
{
    if (seconds < 0.0)
        std::fprintf(stderr, ", %s -", name);
    else
        std::fprintf(stderr, ", %s %.1f ms", name, seconds * 1000.0);
}

double wallClock()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

void LoopStatistics::Latency::start(double now)
{
    if (waitingSince < 0.0)
        waitingSince = now;
}

void LoopStatistics::Latency::finish(double now)
{
    if (waitingSince < 0.0)
        return;
    last = now - waitingSince;
    waitingSince = -1.0;
}

double LoopStatistics::secondsSinceStart() const
{
    return std::chrono::duration<double>(Clock::now() - started).count();
}

void LoopStatistics::start()
{
    started = Clock::now();
    const char* wanted = std::getenv("WEATHERING_STATS");
    printing = wanted != nullptr && std::strcmp(wanted, "1") == 0;
}

void LoopStatistics::print()
{
    roll();
    std::fprintf(stderr, "stats: %.1f steps/s, %.1f refreshes/s", steps.perSecond(), refreshes.perSecond());
    printMilliseconds("last refresh", lastRefreshSeconds);
    printMilliseconds("last frame", lastFrameSeconds);
    printMilliseconds("click shown", click.last);
    printMilliseconds("dab shown", dab.last);
    printMilliseconds("dab work", lastDabSeconds);
    printMilliseconds("panel change applied", panel.last);
    std::fprintf(stderr, "\n");
}

void LoopStatistics::noteRefresh(double seconds)
{
    refreshes.count();
    lastRefreshSeconds = seconds;
}

void LoopStatistics::noteInput(InputKind kind)
{
    (kind == InputKind::click ? click : dab).start(secondsSinceStart());
}

void LoopStatistics::notePanelInput()
{
    // The latest button event counts: a change applies when the button comes up.
    panel.waitingSince = secondsSinceStart();
}

void LoopStatistics::panelChangeApplied()
{
    panel.finish(secondsSinceStart());
}

bool LoopStatistics::noteFrameShown(bool showsPicture, double seconds)
{
    lastFrameSeconds = seconds;
    const double now = secondsSinceStart();
    click.finish(now);
    dab.finish(now);
    if (!printing)
        return false;
    if (showsPicture && !pictureShown) {
        pictureShown = true;
        // The wall clock too, so that a script can add the time before main ran.
        std::fprintf(stderr, "stats: first picture %.3f s after start (clock %.3f)\n", now, wallClock());
    }
    if (timerArmed)
        return false;
    timerArmed = true;
    return true;
}

void LoopStatistics::noteBrushShown(float x, float y) const
{
    if (!printing)
        return;
    std::fprintf(stderr, "stats: brush circle at %.0f %.0f (clock %.3f)\n", x, y, wallClock());
}

bool LoopStatistics::roll()
{
    const double now = secondsSinceStart();
    refreshes.roll(now);
    return steps.roll(now);
}

void LoopStatistics::restartRateCounts()
{
    steps.restart(secondsSinceStart());
    refreshes.restart(secondsSinceStart());
}
