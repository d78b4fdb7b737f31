#pragma once

// Wall-clock stopwatch in seconds. The clock itself comes from a derived class.
class StopwatchBase {
public:
    StopwatchBase();
    virtual ~StopwatchBase() = default;

    // Starts the watch; a second call while running only counts.
    void start();
    // Seconds since start; 0 before start. The watch is never stopped, so there are no
    // earlier running periods: `accumulated` stays 0 unless a caller sets it.
    float elapsed();

    float accumulated = 0.0f;  // added to the running period's seconds
    int startCount = 0;
    char name[40];
    const char* description = "Stopwatch virtual base class";
    bool running = false;

protected:
    // Records the clock reading that starts a running period.
    virtual void markStart() = 0;
    // Seconds since the last markStart.
    virtual float secondsSinceMark() = 0;
};
