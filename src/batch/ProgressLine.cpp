#include "batch/ProgressLine.h"

#include <cmath>

namespace {

constexpr int barWidth = 30;
constexpr auto redrawInterval = std::chrono::milliseconds(100);

std::string minutesAndSeconds(double seconds)
{
    const long whole = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string progressText(int step, int total, double seconds)
{
    const double done = total > 0 ? static_cast<double>(step) / total : 1.0;
    const int filled = static_cast<int>(done * barWidth);
    const std::string bar = std::string(filled, '#') + std::string(barWidth - filled, '-');
    const double rate = seconds > 0.0 ? step / seconds : 0.0;
    std::string left = "--:--";
    if (rate > 0.0)
        left = minutesAndSeconds((total - step) / rate);
    char text[128];
    std::snprintf(text, sizeof text, "[%s] %3d%%  %.1f steps/s  %s left", bar.c_str(), static_cast<int>(done * 100.0),
                  rate, left.c_str());
    return text;
}

ProgressLine::ProgressLine(int totalSteps, std::FILE* stream, bool enabled)
    : total(totalSteps), out(stream), on(enabled), start(Clock::now()), lastDraw(start)
{
}

void ProgressLine::update(int step)
{
    if (!on)
        return;
    const Clock::time_point now = Clock::now();
    if (drawn && now - lastDraw < redrawInterval && step < total)
        return;
    lastDraw = now;
    drawn = true;
    const double seconds = std::chrono::duration<double>(now - start).count();
    std::fprintf(out, "\r%s\033[K", progressText(step, total, seconds).c_str());
    std::fflush(out);
}

void ProgressLine::finish()
{
    if (!on || !drawn)
        return;
    std::fputs("\r\033[K", out);
    std::fflush(out);
    drawn = false;
}
