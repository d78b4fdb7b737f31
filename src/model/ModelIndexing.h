#pragma once

// Pixel and table indexing that the model's operation files share (WeatheringModel*.cpp):
// which pixels take part, which direction the weathering runs, and where a degree's
// entries lie in the degree tables.

#include "model/ModelSettings.h"
#include "model/WeatheringModel.h"

#include <limits>

namespace modelIndexing {

constexpr float emptyChroma = -1000.0f;  // a fine bin whose `a` holds this has no sample
constexpr float nothingPending = std::numeric_limits<float>::quiet_NaN();

inline bool isMasked(float maskValue)
{
    return maskValue >= 1.0f;
}

inline bool runsBackwards(const ModelSettings& s)
{
    return s.dewethering == 1;
}

// Table indices come from the single-precision product; a double product would differ
// (for example just below 17/150). A degree that is not finite, or so far outside 0 ... 1
// that its index would miss the table, indexes nothing: -1.
inline int tableIndex(float degree, float scale, int size)
{
    const float position = degree * scale;
    if (!(position > -1.0f && position < static_cast<float>(size)))
        return -1;
    return static_cast<int>(position);
}

// Whenever the fine index of a degree is valid, so is its coarse index: the degree then
// lies within (-0.0001, 1.0001).
inline int fineIndex(float degree)
{
    return tableIndex(degree, 10000.0f, fineBinCount);
}

inline int coarseIndex(float degree)
{
    return tableIndex(degree, 150.0f, coarseBinCount);
}

// The bins as a flat float array, entry k's `a` at 4 k + 1: loops that vectorise gather
// from it (GCC gathers from a plain float array, not from a field of a struct array).
static_assert(sizeof(DegreeBin) == 4 * sizeof(float), "DegreeBin is four packed floats");
constexpr int binStride = 4;
constexpr int aInBin = 1;
constexpr int bInBin = 2;

inline const float* binFloats(const DegreeBin* bins)
{
    return reinterpret_cast<const float*>(bins);
}

// The fine index of a degree, 0 for one outside the table (inside tells which).
inline int fineIndexOrZero(float degree, bool& inside)
{
    const float position = degree * 10000.0f;
    inside = position > -1.0f && position < static_cast<float>(fineBinCount);
    return static_cast<int>(inside ? position : 0.0f);
}

// Whether a degree has a colour to paint: its fine bin exists and has a sample. Free of
// branches, for loops that vectorise.
inline bool hasSampleIn(const float* bins, float degree)
{
    bool inside;
    const int k = fineIndexOrZero(degree, inside);
    return inside & (bins[binStride * k + aInBin] > emptyChroma);
}

}  // namespace modelIndexing
