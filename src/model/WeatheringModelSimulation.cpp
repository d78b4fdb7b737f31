#include "model/WeatheringModel.h"

#include "colour/VectorClones.h"
#include "model/DegreeBlock.h"
#include "model/ModelIndexing.h"
#include "model/StreamingStores.h"
#include "parallel/ParallelShares.h"
#include "parallel/StopRequest.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace modelIndexing;

namespace {

constexpr float simulationStepFactor = 0.01f;

// The rates of whole rows, from three rows of prepared values: each row's degrees with
// unmasked pixels as 0 and its mask as 1 or 0, prepared once for the three rows of rates
// that use it when rows come in order. The nine terms add up in the same column-major
// order as one pixel's rule; the count of masked neighbours is a whole number, exact in
// any order. Where the three rows lie wholly inside the mask (`allInside`), every count
// is 9 and every pixel takes its rate.
template <bool backwards, bool allInside>
WEATHERING_VECTOR_CLONES void innerRatesOfRow(const float* __restrict below, const float* __restrict here,
                                              const float* __restrict above, const float* __restrict columnCount,
                                              const float* __restrict maskHere, float* __restrict rates, int width)
{
    for (int x = 1; x < width - 1; ++x) {
        float sum = 0.0f;
        sum += below[x - 1];
        sum += here[x - 1];
        sum += above[x - 1];
        sum += below[x];
        sum += here[x];
        sum += above[x];
        sum += below[x + 1];
        sum += here[x + 1];
        sum += above[x + 1];
        const float count = allInside ? 9.0f : columnCount[x - 1] + columnCount[x] + columnCount[x + 1];
        const float mean = sum / count;
        const float value = backwards ? 1.0f - mean : mean;
        if (allInside) {
            rates[x] = value;
        } else {
            const float previous = rates[x];
            rates[x] = isMasked(maskHere[x]) ? value : previous;
        }
    }
}

// Returns how many of the row's pixels lie inside the mask.
WEATHERING_VECTOR_CLONES int prepareRateRow(const float* __restrict degrees, const float* __restrict masks,
                                            float* __restrict masked, float* __restrict inside, int width)
{
    int insideCount = 0;
    for (int x = 0; x < width; ++x) {
        const bool in = isMasked(masks[x]);
        masked[x] = in ? degrees[x] : 0.0f;
        inside[x] = in ? 1.0f : 0.0f;
        insideCount += in ? 1 : 0;
    }
    return insideCount;
}

WEATHERING_VECTOR_CLONES void addColumns(const float* __restrict below, const float* __restrict here,
                                         const float* __restrict above, float* __restrict sum, int width)
{
    for (int x = 0; x < width; ++x)
        sum[x] = below[x] + here[x] + above[x];
}

// The step's update of some pixels: each degree with a colour becomes the pending colour
// (painted later, from the tables as they are now), and the advanced and clamped degree
// goes to `next`; unmasked pixels keep theirs. When every fine bin the pixels' degrees
// fall in has a sample (`allSampled`), a degree has a colour exactly when it falls in
// the table, and the bins need not be read.
template <bool backwards, bool allSampled>
inline __attribute__((always_inline)) void advancePixels(const float* __restrict now, const float* __restrict masks,
                                                         const float* __restrict rates, float* __restrict next,
                                                         float* __restrict pending, const float* __restrict bins,
                                                         int count, float stepFactor, float maxDegree)
{
    for (int k = 0; k < count; ++k) {
        const float d = now[k];
        const float waiting = pending[k];
        bool inside;
        fineIndexOrZero(d, inside);
        pending[k] = (allSampled ? inside : hasSampleIn(bins, d)) ? d : waiting;
        const float step = stepFactor * rates[k];
        float advanced = backwards ? d - step : d + step;
        advanced = advanced > maxDegree ? maxDegree : advanced;
        advanced = advanced < 0.0f ? 0.0f : advanced;
        next[k] = isMasked(masks[k]) ? advanced : d;
    }
}

constexpr int advanceChunk = 256;  // pixels whose fine bins are checked together

// advancePixels over a row, a chunk at a time. `emptyBelow[k]` counts the fine bins
// below k without a sample, so a chunk whose lowest and highest fine index count the
// same has a sample in every bin between them.
template <bool backwards>
WEATHERING_VECTOR_CLONES void advanceRow(const float* __restrict now, const float* __restrict masks,
                                         const float* __restrict rates, float* __restrict next,
                                         float* __restrict pending, const float* __restrict bins,
                                         const int* __restrict emptyBelow, int count, float stepFactor, float maxDegree)
{
    for (int first = 0; first < count; first += advanceChunk) {
        const int n = std::min(advanceChunk, count - first);
        int lowest = fineBinCount - 1;
        int highest = 0;
        for (int k = 0; k < n; ++k) {
            bool inside;
            const int fine = fineIndexOrZero(now[first + k], inside);
            lowest = std::min(lowest, fine);
            highest = std::max(highest, fine);
        }
        if (emptyBelow[highest + 1] == emptyBelow[lowest])
            advancePixels<backwards, true>(now + first, masks + first, rates + first, next + first, pending + first,
                                           bins, n, stepFactor, maxDegree);
        else
            advancePixels<backwards, false>(now + first, masks + first, rates + first, next + first, pending + first,
                                            bins, n, stepFactor, maxDegree);
    }
}

}  // namespace

class WeatheringModel::RateWindow {
public:
    RateWindow(const float* degree, const float* mask, int width)
        : nextRow(width), degree(degree), mask(mask), width(width), columnCount(width)
    {
        for (int slot = 0; slot < 3; ++slot) {
            masked[slot].resize(width);
            inside[slot].resize(width);
        }
    }

    // Rates of columns 1 ... width - 2 of row y, which has rows above and below it.
    void innerRates(int y, bool backwards, float* rates)
    {
        const int below = prepare(y - 1), here = prepare(y), above = prepare(y + 1);
        const bool allInside = wholeRow[below] && wholeRow[here] && wholeRow[above];
        if (!allInside)
            addColumns(inside[below].data(), inside[here].data(), inside[above].data(), columnCount.data(), width);
        const float* maskHere = mask + static_cast<size_t>(y) * width;
        const float *b = masked[below].data(), *h = masked[here].data(), *a = masked[above].data();
        const float* counts = columnCount.data();
        if (backwards)
            allInside ? innerRatesOfRow<true, true>(b, h, a, counts, maskHere, rates, width)
                      : innerRatesOfRow<true, false>(b, h, a, counts, maskHere, rates, width);
        else
            allInside ? innerRatesOfRow<false, true>(b, h, a, counts, maskHere, rates, width)
                      : innerRatesOfRow<false, false>(b, h, a, counts, maskHere, rates, width);
    }

    // A row of next degrees, streamed out whole: the next step reads them, long after
    // they would have left the caches.
    std::vector<float> nextRow;

private:
    int prepare(int row)
    {
        const int slot = row % 3;
        if (preparedRow[slot] != row) {
            const size_t start = static_cast<size_t>(row) * width;
            wholeRow[slot] =
                prepareRateRow(degree + start, mask + start, masked[slot].data(), inside[slot].data(), width) == width;
            preparedRow[slot] = row;
        }
        return slot;
    }

    const float* degree;
    const float* mask;
    int width;
    std::vector<float> masked[3];
    std::vector<float> inside[3];
    std::vector<float> columnCount;
    int preparedRow[3] = {-1, -1, -1};
    bool wholeRow[3] = {false, false, false};  // the row lies wholly inside the mask
};

float WeatheringModel::rateOf(int i, bool backwards) const
{
    const int x = i % width;
    const int y = i / width;
    float sum = 0.0f;
    float count = 0.0f;
    for (int nx = x - 1; nx <= x + 1; ++nx) {
        if (nx < 0 || nx >= width)
            continue;
        for (int ny = y - 1; ny <= y + 1; ++ny) {
            if (ny < 0 || ny >= height)
                continue;
            const int j = ny * width + nx;
            if (isMasked(mask[j])) {
                sum += degree[j];
                count += 1.0f;
            }
        }
    }
    const float mean = sum / count;
    return backwards ? 1.0f - mean : mean;
}

void WeatheringModel::computeRates(const ModelSettings& s)
{
    // The Natural look keeps each pixel's progress in `rate`.
    if (!hasImage() || look == Look::natural)
        return;
    const bool backwards = runsBackwards(s);
    parallel::forEachShare(height, width, [&](int, int first, int end) {
        RateWindow window(degree.get(), mask.get(), width);
        for (int y = first; y < end; ++y)
            rowRates(y, backwards, window);
    });
}

void WeatheringModel::detailAndRates(const ModelSettings& s)
{
    const bool backwards = runsBackwards(s);
    parallel::forEachShare(height, width, [&](int, int first, int end) {
        RateWindow window(degree.get(), mask.get(), width);
        for (int y = first; y < end; ++y) {
            const int start = y * width;
            pathProjection::lightnessDetail(degree.get() + start, mask.get() + start, meanLightness,
                                            detail.get() + start, width);
            rowRates(y, backwards, window);
        }
    });
}

void WeatheringModel::rowRates(int y, bool backwards, RateWindow& window)
{
    const int rowStart = y * width;
    if (y == 0 || y == height - 1 || width < 3) {
        for (int i = rowStart; i < rowStart + width; ++i)
            if (isMasked(mask[i]))
                rate[i] = rateOf(i, backwards);
        return;
    }
    if (isMasked(mask[rowStart]))
        rate[rowStart] = rateOf(rowStart, backwards);
    window.innerRates(y, backwards, rate.get() + rowStart);
    const int last = rowStart + width - 1;
    if (isMasked(mask[last]))
        rate[last] = rateOf(last, backwards);
}

void WeatheringModel::computeRateAt(float x, float y, const ModelSettings& s)
{
    if (!hasImage() || look == Look::natural)
        return;
    const double position = static_cast<double>(width) * y + x;
    if (!(position >= 0.0 && position < static_cast<double>(pixelCount())))
        return;
    const int i = static_cast<int>(position);
    if (isMasked(mask[i]))
        rate[i] = rateOf(i, runsBackwards(s));
}

// Rates of row y from the degrees before the step, then the row's pending colours and
// next degrees. Rows only read the degrees before the step and write their own entries,
// so any rows can run at the same time.
void WeatheringModel::stepRow(int y, bool backwards, RateWindow& window)
{
    rowRates(y, backwards, window);
    const int start = y * width;
    const float* now = degree.get() + start;
    const float* masks = mask.get() + start;
    const float* rates = rate.get() + start;
    float* next = window.nextRow.data();
    float* pending = pendingPaint.get() + start;
    const float* bins = binFloats(degreeBins);
    const int* emptyBelow = emptyFineBinsBelow.data();
    if (backwards)
        advanceRow<true>(now, masks, rates, next, pending, bins, emptyBelow, width, simulationStepFactor, maxDegree);
    else
        advanceRow<false>(now, masks, rates, next, pending, bins, emptyBelow, width, simulationStepFactor, maxDegree);
    streamFloats(next, width, nextDegree.get() + start);
}

// The fine bins without a sample below each index, for the step: the tables do not
// change while it runs.
void WeatheringModel::countEmptyFineBins()
{
    emptyFineBinsBelow.resize(fineBinCount + 1);
    const float* bins = binFloats(degreeBins);
    int empty = 0;
    for (int k = 0; k < fineBinCount; ++k) {
        emptyFineBinsBelow[k] = empty;
        empty += bins[binStride * k + aInBin] > emptyChroma ? 0 : 1;
    }
    emptyFineBinsBelow[fineBinCount] = empty;
}

void WeatheringModel::simulationStep(const ModelSettings& s)
{
    if (!hasImage())
        return;
    if (look == Look::natural) {
        natural.step(*this, s);
        return;
    }
    const bool backwards = runsBackwards(s);
    countEmptyFineBins();
    parallel::forEachShare(height, width, [&](int, int first, int end) {
        RateWindow window(degree.get(), mask.get(), width);
        for (int y = first; y < end && !parallel::stopRequested(); ++y)
            stepRow(y, backwards, window);
        finishStreaming();
    });
    std::swap(degree, nextDegree);
    markPendingRows(0, height);
}
