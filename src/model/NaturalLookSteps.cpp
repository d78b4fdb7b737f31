#include "model/NaturalLook.h"
#include "model/NaturalLookRules.h"

#include "model/WeatheringModel.h"
#include "colour/VectorClones.h"
#include "parallel/ParallelShares.h"
#include "parallel/StopRequest.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <vector>

// The Natural look as it moves: colours at a degree, the step and the brush.

using MyAlgebra::vec3;
using namespace naturalLook;

namespace {

// The degree of a pixel that has moved a share of the way to its weathered target
// (0 ... 1) or to its clean one (0 ... -1).
float degreeAt(float progress, float start, float up, float down)
{
    if (progress > 0.0f)
        return start + progress * up;
    if (progress < 0.0f)
        return start + progress * down;
    return start;
}

}  // namespace

// A pixel with a clean target recedes as far as its progress can age; one without
// (clean already) no further than the photograph.
float NaturalLook::lowestProgress(int i) const
{
    return lowest[i];
}

// The colour of pixel i at a degree: its own colour in the photograph, moved as far as
// its degree's mean moved, with its fine detail scaled as the fine detail of the
// degrees' pixels differs, so new weathering has the texture of the old.
vec3 NaturalLook::colourAt(const WeatheringModel& m, int i, float degree) const
{
    const vec3& own = m.labReference[i];
    const float d0 = startDegree[i];
    if (degree == d0)
        return own;
    const int from = binOf(d0);
    const int to = binOf(degree);
    const float scaleL = clampTo(fineL[to] / fineL[from], leastScale, largestScale) - 1.0f;
    const float scaleC = clampTo(fineC[to] / fineC[from], leastScale, largestScale) - 1.0f;
    // A pixel far out of its neighbourhood keeps its own difference, not a larger one.
    const float reachL = largestFine * fineL[from];
    const float reachC = largestFine * fineC[from];
    const vec3 fine = fineDetail(i);
    return {own.x + (meanL[to] - meanL[from]) + clampTo(fine.x, -reachL, reachL) * scaleL,
            own.y + (meanA[to] - meanA[from]) + clampTo(fine.y, -reachC, reachC) * scaleC,
            own.z + (meanB[to] - meanB[from]) + clampTo(fine.z, -reachC, reachC) * scaleC};
}

vec3 NaturalLook::fineDetail(int i) const
{
    return {detailL[i], detailA[i], detailB[i]};
}

// How each pixel of the photograph differs from the mean of its 5 x 5 neighbourhood
// (clipped at the borders): its fine detail, the texture a degree's tables scale.
void NaturalLook::measureFineDetail(const WeatheringModel& m)
{
    const int w = m.width;
    const int h = m.height;
    float* rowSums[3] = {upSpan.get(), downSpan.get(), before.get()};  // scratch here
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y)
            for (int x = 0; x < w; ++x) {
                float sums[3] = {0.0f, 0.0f, 0.0f};
                for (int nx = std::max(0, x - 2); nx <= std::min(w - 1, x + 2); ++nx) {
                    const vec3& c = m.labReference[y * w + nx];
                    sums[0] += c.x;
                    sums[1] += c.y;
                    sums[2] += c.z;
                }
                for (int c = 0; c < 3; ++c)
                    rowSums[c][y * w + x] = sums[c];
            }
    });
    float* details[3] = {detailL.get(), detailA.get(), detailB.get()};
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y)
            for (int x = 0; x < w; ++x) {
                const int y0 = std::max(0, y - 2);
                const int y1 = std::min(h - 1, y + 2);
                const float count =
                    static_cast<float>((y1 - y0 + 1) * (std::min(w - 1, x + 2) - std::max(0, x - 2) + 1));
                const int i = y * w + x;
                const float own[3] = {m.labReference[i].x, m.labReference[i].y, m.labReference[i].z};
                for (int c = 0; c < 3; ++c) {
                    float sum = 0.0f;
                    for (int ny = y0; ny <= y1; ++ny)
                        sum += rowSums[c][ny * w + x];
                    details[c][i] = own[c] - sum / count;
                }
            }
    });
}

// Moves pixel i to a progress; true when its degree changed (its colour follows).
bool NaturalLook::moveTo(WeatheringModel& m, int i, float progress) const
{
    m.rate[i] = progress;
    return recolour(m, i, progress);
}

// The degree and colour of pixel i at a progress; true when the degree changed.
bool NaturalLook::recolour(WeatheringModel& m, int i, float progress) const
{
    const float d = degreeAt(clampTo(progress, -1.0f, 1.0f), startDegree[i], upSpan[i], downSpan[i]);
    if (d == m.degree[i])
        return false;
    m.degree[i] = d;
    m.lab[i] = colourAt(m, i, d);
    return true;
}

namespace {

// Forward, a row's new progress: a pixel whose source has gone far enough moves on at
// its speed. One loop without branches over the row (the source's progress gathered).
WEATHERING_VECTOR_CLONES void advanceRowForward(const float* __restrict before, const float* __restrict startsAt,
                                                const std::uint8_t* __restrict from, const float* __restrict speed,
                                                const int* __restrict sourceStep, float* __restrict next, int first,
                                                int end)
{
    for (int i = first; i < end; ++i) {
        const float p = before[i];
        const bool moves = before[i + sourceStep[from[i]]] >= startsAt[i];
        const float moved = std::min(p + stepFactor * speed[i], longestAge);
        next[i] = moves ? moved : p;
    }
}

}  // namespace

// The step of row y, from the progress before the step (`before`). Each pixel is reached
// from one neighbour, the one its arrival time comes through (its source); it starts
// once that neighbour has gone a share of the way that grows with how much earlier it
// was reached, so fronts follow the arrival times rather than the pixel grid, and then
// moves at its own speed. Backward a pixel recedes once every neighbour reached through
// it is back where it was, on the way out, that long after this pixel: weathered areas
// recede in the reverse order of their growth. Then the pixels whose progress moved
// within -1 ... 1 take their new degree and colour.
void NaturalLook::advanceRow(WeatheringModel& m, int y, bool backwards, const float* now, float* next) const
{
    const int w = m.width;
    const int first = y * w;
    const int end = first + w;
    if (!backwards) {
        int sourceStep[9];
        for (int k = 0; k < 8; ++k)
            sourceStep[k] = neighbourStep(k, w);
        sourceStep[notFromNeighbour] = 0;
        advanceRowForward(now, startsAt.get(), reachedFrom.get(), spreadSpeed.get(), sourceStep, next, first, end);
    } else {
        for (int i = first; i < end; ++i) {
            const float p = now[i];
            next[i] = p;
            if (p <= lowest[i])
                continue;
            const float schedule = p / spreadSpeed[i];
            bool moves = true;
            for (unsigned bits = children[i]; bits != 0 && moves; bits &= bits - 1) {
                const int k = __builtin_ctz(bits);
                const int j = i + neighbourStep(k, w);
                // Neighbour j, reached through i: no further along its way than it was
                // when this pixel was here, unless it is as far back as it goes.
                moves = now[j] <= lowest[j] ||
                    now[j] / spreadSpeed[j] <= schedule - startsAt[j] / spreadSpeed[i] + stepFactor;
            }
            if (moves)
                next[i] = std::max(p - stepFactor * spreadSpeed[i], lowest[i]);
        }
    }
    for (int i = first; i < end; ++i) {
        const float was = clampTo(now[i], -1.0f, 1.0f);
        if (clampTo(next[i], -1.0f, 1.0f) != was)
            recolour(m, i, next[i]);
    }
}

void NaturalLook::step(WeatheringModel& m, const ModelSettings& s)
{
    if (!prepared || heldCount != m.pixelCount())
        return;
    const bool backwards = s.dewethering == 1;
    // Every row reads the progress before the step and writes the next into the spare
    // array, so rows are independent; then the two arrays change places.
    const float* now = m.rate.get();
    float* next = before.get();
    parallel::forEachShare(m.height, m.width, [&](int, int first, int end) {
        for (int y = first; y < end && !parallel::stopRequested(); ++y)
            advanceRow(m, y, backwards, now, next);
    });
    std::swap(m.rate, before);
}

// A dab moves the pixels of the disc towards their targets by a soft falloff from the
// centre, varied by the same noise as the spread, so its edge is irregular and no pixel
// jumps alone.
void NaturalLook::brush(WeatheringModel& m, int x, int y, const ModelSettings& s)
{
    const float r = s.brushSize;
    if (!prepared || heldCount != m.pixelCount() || !(r > 0.0f) || !(r < 1.0e6f))
        return;
    const float strength = s.dewethering == 1 ? -s.speed : s.speed;
    const int reach = static_cast<int>(std::ceil(r));
    const long long y0 = std::max(0LL, static_cast<long long>(y) - reach);
    const long long y1 = std::min(static_cast<long long>(m.height) - 1, static_cast<long long>(y) + reach);
    const long long x0 = std::max(0LL, static_cast<long long>(x) - reach);
    const long long x1 = std::min(static_cast<long long>(m.width) - 1, static_cast<long long>(x) + reach);
    for (long long py = y0; py <= y1; ++py) {
        for (long long px = x0; px <= x1; ++px) {
            const int i = static_cast<int>(py * m.width + px);
            const float dx = static_cast<float>(px - x);
            const float dy = static_cast<float>(py - y);
            const float closeness = 1.0f - (dx * dx + dy * dy) / (r * r);
            if (closeness <= 0.0f || !isMasked(m.mask[i]))
                continue;
            const float p = m.rate[i];
            moveTo(m, i, clampTo(p + strength * closeness * closeness * spreadSpeed[i], lowestProgress(i), longestAge));
        }
    }
}
