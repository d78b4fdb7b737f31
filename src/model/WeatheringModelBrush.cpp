#include "model/WeatheringModel.h"

#include "colour/VectorClones.h"
#include "model/ModelIndexing.h"

#include <algorithm>
#include <cmath>

using namespace modelIndexing;

namespace {

// Adds a neighbour's degree to the rate mean if it is masked, without a branch.
void addIfMasked(float& sum, float& count, float maskValue, float degreeValue)
{
    const bool masked = isMasked(maskValue);
    sum += masked ? degreeValue : 0.0f;
    count += masked ? 1.0f : 0.0f;
}

// Degrees and mask of the rows below, at and above one row of the photograph.
struct RowNeighbourhood {
    const float* below;
    const float* here;
    const float* above;
    const float* maskBelow;
    const float* maskHere;
    const float* maskAbove;
};

// Rates of columns first ... end - 1 of a row, where all nine neighbours exist. Adding 0
// for an unmasked neighbour leaves the sum as it was (it never is -0), so the sum keeps
// its fixed column-major order. The direction is a template argument and the nine terms
// are written out so that the loop has no branch and vectorises.
template <bool backwards>
WEATHERING_VECTOR_CLONES void innerColumnRates(const RowNeighbourhood& r, float* rates, int first, int end)
{
    for (int x = first; x < end; ++x) {
        float sum = 0.0f;
        float count = 0.0f;
        addIfMasked(sum, count, r.maskBelow[x - 1], r.below[x - 1]);
        addIfMasked(sum, count, r.maskHere[x - 1], r.here[x - 1]);
        addIfMasked(sum, count, r.maskAbove[x - 1], r.above[x - 1]);
        addIfMasked(sum, count, r.maskBelow[x], r.below[x]);
        addIfMasked(sum, count, r.maskHere[x], r.here[x]);
        addIfMasked(sum, count, r.maskAbove[x], r.above[x]);
        addIfMasked(sum, count, r.maskBelow[x + 1], r.below[x + 1]);
        addIfMasked(sum, count, r.maskHere[x + 1], r.here[x + 1]);
        addIfMasked(sum, count, r.maskAbove[x + 1], r.above[x + 1]);
        const float mean = sum / count;
        const float value = backwards ? 1.0f - mean : mean;
        const float previous = rates[x];
        rates[x] = isMasked(r.maskHere[x]) ? value : previous;
    }
}

// Integer offsets o in [lowest, floor(radius)] for which centre + o can lie in [0, size).
// Narrowing only skips offsets that every caller's bounds test would reject anyway.
struct OffsetRange {
    long long first;
    long long last;
};

OffsetRange brushOffsets(float radius, int centre, int size)
{
    const double lowest = std::trunc(-static_cast<double>(radius));
    const double first = std::max(lowest, -static_cast<double>(centre));
    const double last = std::min(std::floor(static_cast<double>(radius)), static_cast<double>(size) - 1.0 - centre);
    if (!(first <= last))
        return {0, -1};
    return {static_cast<long long>(first), static_cast<long long>(last)};
}

// The largest w >= 0 with w^2 + dy^2 <= radiusSquared (the disc's test, in double), or -1.
long long discHalfWidth(long long dy, double radiusSquared)
{
    const double room = radiusSquared - static_cast<double>(dy * dy);
    if (room < 0.0)
        return -1;
    long long w = static_cast<long long>(std::sqrt(room));
    while (static_cast<double>((w + 1) * (w + 1) + dy * dy) <= radiusSquared)
        ++w;
    while (w >= 0 && static_cast<double>(w * w + dy * dy) > radiusSquared)
        --w;
    return w;
}

// The columns of one row of a brush disc, clipped to the photograph: x + dx for dx in
// first ... last.
struct DiscRow {
    long long dy;
    long long first;
    long long last;
};

// Calls body(row) for every row of the disc of radius r around (x, y) that has pixels in
// the photograph, bottom row first; exactly the offsets the disc test lets through.
template <typename Body>
void forEachDiscRow(int x, int y, float r, int width, int height, Body&& body)
{
    const double radiusSquared = static_cast<double>(r) * static_cast<double>(r);
    const OffsetRange dxs = brushOffsets(r, x, width);
    const OffsetRange dys = brushOffsets(r, y, height);
    for (long long dy = dys.first; dy <= dys.last; ++dy) {
        const long long w = discHalfWidth(dy, radiusSquared);
        const DiscRow row{dy, std::max(-w, dxs.first), std::min(w, dxs.last)};
        if (row.first <= row.last)
            body(row);
    }
}

}  // namespace

void WeatheringModel::brushRates(int x, int y, float radius, bool backwards)
{
    forEachDiscRow(x, y, radius, width, height, [&](const DiscRow& row) {
        const int py = static_cast<int>(y + row.dy);
        const int rowStart = py * width;
        int first = static_cast<int>(x + row.first);
        const int end = static_cast<int>(x + row.last) + 1;
        const bool inner = py > 0 && py < height - 1;
        // The nine-neighbour kernel where every neighbour exists, one by one elsewhere.
        for (; first < end && (!inner || first < 1); ++first)
            if (isMasked(mask[rowStart + first]))
                rate[rowStart + first] = rateOf(rowStart + first, backwards);
        const int innerEnd = inner ? std::min(end, width - 1) : first;
        if (first < innerEnd) {
            const RowNeighbourhood rows{degree.get() + rowStart - width, degree.get() + rowStart,
                                        degree.get() + rowStart + width, mask.get() + rowStart - width,
                                        mask.get() + rowStart,           mask.get() + rowStart + width};
            if (backwards)
                innerColumnRates<true>(rows, rate.get() + rowStart, first, innerEnd);
            else
                innerColumnRates<false>(rows, rate.get() + rowStart, first, innerEnd);
            first = innerEnd;
        }
        for (; first < end; ++first)
            if (isMasked(mask[rowStart + first]))
                rate[rowStart + first] = rateOf(rowStart + first, backwards);
    });
}

void WeatheringModel::brushUpdates(int x, int y, float radius, float stepFactor, bool backwards)
{
    forEachDiscRow(x, y, radius, width, height, [&](const DiscRow& row) {
        const int rowStart = static_cast<int>(y + row.dy) * width;
        for (long long dx = row.first; dx <= row.last; ++dx) {
            const int i = rowStart + static_cast<int>(x + dx);
            if (!isMasked(mask[i]))
                continue;
            const float d = degree[i];
            // The colour belongs to the degree before the advance, so it trails by one update.
            if (hasSample(d))
                pendingPaint[i] = d;
            const float step = stepFactor * rate[i];
            float advanced = backwards ? d - step : d + step;
            advanced = advanced > maxDegree ? maxDegree : advanced;
            advanced = advanced < 0.0f ? 0.0f : advanced;
            degree[i] = advanced;
        }
    });
}

void WeatheringModel::applyBrush(int x, int y, const ModelSettings& s)
{
    if (!hasImage())
        return;
    if (look == Look::natural) {
        natural.brush(*this, x, y, s);
        return;
    }
    const float r = s.brushSize;
    const float f = s.speed;
    if (!(r >= 0.0f))
        return;
    const bool backwards = runsBackwards(s);
    // All rates of a dab come from the degrees before it, so two passes over the disc.
    brushRates(x, y, r, backwards);
    brushUpdates(x, y, r, f, backwards);
    const OffsetRange dys = brushOffsets(r, y, height);
    if (dys.first <= dys.last)
        markPendingRows(static_cast<int>(y + dys.first), static_cast<int>(y + dys.last) + 1);
}
