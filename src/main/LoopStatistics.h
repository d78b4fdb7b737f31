#pragma once

#include <chrono>

#include "timing/RateCounter.h"

// The tool's own figures of speed: simulation steps and texture refreshes a second, the
// cost of the last refresh, and how long input took to show. The panel shows steps/s
// while the simulation runs; with WEATHERING_STATS=1 in the environment all of them go
// to stderr once a second.
class LoopStatistics {
public:
    // Starts the clock (first thing in main) and, when asked for, the printing.
    void start();

    void noteStep() { steps.count(); }
    void noteRefresh(double seconds);
    // Input that the main window will show: a path click or a brush dab. The time until
    // the end of the next frame is its latency.
    enum class InputKind { click, dab };
    void noteInput(InputKind kind);
    // The work of a shown brush dab: the dab and its refresh, without the frame.
    void noteDabWork(double seconds) { lastDabSeconds = seconds; }
    // A panel control's input arrived now; panelChangeApplied() when a frame applied it.
    void notePanelInput();
    void panelChangeApplied();
    // The main window finished a frame that took this long; showsPicture: with the
    // photograph's texture. True once, when the printing should start: GLUT is up once a
    // frame has been drawn, and then print() is due every second.
    bool noteFrameShown(bool showsPicture, double seconds);
    // A frame showed the brush circle at a new place (when printing, a line with the wall
    // clock, for a script to tell how far the circle trails the pointer).
    void noteBrushShown(float x, float y) const;

    // Closes the counting windows when a second has passed; true when steps/s changed.
    bool roll();
    double stepsPerSecond() const { return steps.perSecond(); }
    // Forgets the steps and refreshes counted so far (the simulation was switched on).
    void restartRateCounts();
    // One line of every figure on stderr.
    void print();

private:
    using Clock = std::chrono::steady_clock;
    // Latencies in seconds; negative: nothing measured or nothing waiting.
    struct Latency {
        double waitingSince = -1.0;
        double last = -1.0;
        void start(double now);
        void finish(double now);
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

    double secondsSinceStart() const;
};
