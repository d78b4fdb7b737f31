#pragma once

// Wall-clock stopwatch in seconds. The clock itself comes from a derived class.
class StopwatchBase {
public:
    StopwatchBase();
    virtual ~StopwatchBase() = default;

    // Starts the watch; a second call while running only counts.
    void start();
    // Seconds since start (plus earlier running periods); 0 before start.
    float elapsed();

    float accumulated = 0.0f;
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
