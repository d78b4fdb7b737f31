#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// One line of progress on a terminal, redrawn in place at most ten times a
// second: a bar, percent, steps/s and the time left. Disabled it prints nothing,
// so that logs and pipes get no control characters.
class ProgressLine {
public:
    ProgressLine(int totalSteps, std::FILE* stream, bool enabled);
    // Draws the line for `step` steps done, unless it was drawn less than 0.1 s ago.
    void update(int step);
    // Clears the line, so that what is printed next starts on a clean line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    int total;
    std::FILE* out;
    bool on;
    bool drawn = false;
    Clock::time_point start;
    Clock::time_point lastDraw;
};

// The text of the line (without the carriage return) after `step` of `total`
// steps in `seconds`.
std::string progressText(int step, int total, double seconds);
