#include "main/LoopStatistics.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "timing/RateCounter.h"

namespace {

using Clock = std::chrono::steady_clock;

// Latencies in seconds; negative: nothing measured or nothing waiting.
struct Latency {
    double waitingSince = -1.0;
    double last = -1.0;

    void start(double now)
    {
        if (waitingSince < 0.0) waitingSince = now;
    }
    void finish(double now)
    {
        if (waitingSince < 0.0) return;
        last = now - waitingSince;
        waitingSince = -1.0;
    }
};

Clock::time_point started = Clock::now();
bool printing = false;
bool timerArmed = false;
bool pictureShown = false;
RateCounter steps;
RateCounter refreshes;
double lastRefreshSeconds = -1.0;
double lastFrameSeconds = -1.0;
double lastDabSeconds = -1.0;
Latency click, dab, panel;

double secondsSinceStart()
{
    return std::chrono::duration<double>(Clock::now() - started).count();
}

void printMilliseconds(const char* name, double seconds)
{
    if (seconds < 0.0)
        std::fprintf(stderr, ", %s -", name);
    else
        std::fprintf(stderr, ", %s %.1f ms", name, seconds * 1000.0);
}

void printStatistics(int)
{
    rollLoopStatistics();
    std::fprintf(stderr, "stats: %.1f steps/s, %.1f refreshes/s", steps.perSecond(), refreshes.perSecond());
    printMilliseconds("last refresh", lastRefreshSeconds);
    printMilliseconds("last frame", lastFrameSeconds);
    printMilliseconds("click shown", click.last);
    printMilliseconds("dab shown", dab.last);
    printMilliseconds("dab work", lastDabSeconds);
    printMilliseconds("panel change applied", panel.last);
    std::fprintf(stderr, "\n");
    glutTimerFunc(1000, printStatistics, 0);
}

}  // namespace

void startLoopStatistics()
{
    started = Clock::now();
    const char* wanted = std::getenv("WEATHERING_STATS");
    printing = wanted != nullptr && std::strcmp(wanted, "1") == 0;
}

void noteStep()
{
    steps.count();
}

void noteRefresh(double seconds)
{
    refreshes.count();
    lastRefreshSeconds = seconds;
}

void noteInput(InputKind kind)
{
    (kind == InputKind::click ? click : dab).start(secondsSinceStart());
}

void noteDabWork(double seconds)
{
    lastDabSeconds = seconds;
}

void notePanelInput()
{
    // The latest button event counts: a change applies when the button comes up.
    panel.waitingSince = secondsSinceStart();
}

void panelChangeApplied()
{
    panel.finish(secondsSinceStart());
}

void noteFrameShown(bool showsPicture, double seconds)
{
    lastFrameSeconds = seconds;
    const double now = secondsSinceStart();
    click.finish(now);
    dab.finish(now);
    if (!printing) return;
    if (showsPicture && !pictureShown) {
        pictureShown = true;
        // The wall clock too, so that a script can add the time before main ran.
        const double epoch = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        std::fprintf(stderr, "stats: first picture %.3f s after start (clock %.3f)\n", now, epoch);
    }
    // GLUT is up once a frame has been drawn.
    if (!timerArmed) {
        timerArmed = true;
        glutTimerFunc(1000, printStatistics, 0);
    }
}

void noteBrushShown(float x, float y)
{
    if (!printing) return;
    const double epoch = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::fprintf(stderr, "stats: brush circle at %.0f %.0f (clock %.3f)\n", x, y, epoch);
}

bool rollLoopStatistics()
{
    const double now = secondsSinceStart();
    refreshes.roll(now);
    return steps.roll(now);
}

double stepsPerSecond()
{
    return steps.perSecond();
}

void restartRateCounts()
{
    steps.restart(secondsSinceStart());
    refreshes.restart(secondsSinceStart());
}
