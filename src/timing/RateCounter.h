#pragma once

// Events per second, measured over windows of at least a second: count() every event,
// roll(now) as often as convenient; when a second has passed since the window opened,
// roll closes it, its rate becomes perSecond() and a new window opens.
class RateCounter {
public:
    void count() { ++events; }

    // Opens a new window at now, forgetting the events counted so far.
    void restart(double now)
    {
        windowStart = now;
        events = 0;
    }

    // True when a window closed and perSecond() has a new value. The first call only
    // opens a window.
    bool roll(double now)
    {
        if (windowStart < 0.0) {
            restart(now);
            return false;
        }
        if (now - windowStart < 1.0)
            return false;
        rate = events / (now - windowStart);
        restart(now);
        return true;
    }

    double perSecond() const { return rate; }

private:
    double windowStart = -1.0;
    long long events = 0;
    double rate = 0.0;
};
