#pragma once

// Paces the simulation at a number of steps per second, so that weathering can be
// watched as it grows; 0 lets it run as fast as it goes. Times are seconds on any
// steady clock.
class StepPacer {
public:
    // Negative rates count as 0.
    void setRate(int stepsPerSecond);
    int rate() const { return stepsPerSecond; }
    // The next step is due at once (a run switched on starts without a wait).
    void restart() { started = false; }
    bool due(double now) const;
    // Seconds from now until the next step is due; 0 when it is due already.
    double secondsUntilDue(double now) const;
    // A step was made at `now`.
    void stepped(double now);

private:
    int stepsPerSecond = 0;
    bool started = false;
    double nextDue = 0.0;
};
