#include "model/WeatheringModel.h"

#include "colour/CieLab.h"
#include "colour/Rgba8.h"
#include "colour/VectorClones.h"
#include "parallel/ParallelShares.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iostream>
#include <limits>

using MyAlgebra::vec3;

namespace {

constexpr float emptyChroma = -1000.0f;  // a fine bin whose `a` holds this has no sample
constexpr float simulationStepFactor = 0.01f;
constexpr int degreeBlockSize = 256;  // pixels projected onto the path together
constexpr float nothingPending = std::numeric_limits<float>::quiet_NaN();
// Pixels a whole-image pass works through in turn, while they are in cache.
constexpr int chunkSize = 16384;

bool isMasked(float maskValue)
{
    return maskValue >= 1.0f;
}

bool runsBackwards(const ModelSettings& s)
{
    return s.dewethering == 1;
}

// Table indices come from the single-precision product; a double product would differ
// (for example just below 17/150). A degree that is not finite, or so far outside 0 ... 1
// that its index would miss the table, indexes nothing: -1.
int tableIndex(float degree, float scale, int size)
{
    const float position = degree * scale;
    if (!(position > -1.0f && position < static_cast<float>(size)))
        return -1;
    return static_cast<int>(position);
}

// Whenever the fine index of a degree is valid, so is its coarse index: the degree then
// lies within (-0.0001, 1.0001).
int fineIndex(float degree)
{
    return tableIndex(degree, 10000.0f, fineBinCount);
}

int coarseIndex(float degree)
{
    return tableIndex(degree, 150.0f, coarseBinCount);
}

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

// The rates of whole rows, from three rows of prepared values: each row's degrees with
// unmasked pixels as 0 and its mask as 1 or 0, prepared once for the three rows of rates
// that use it when rows come in order. The nine terms add up in the same column-major
// order as one pixel's rule; the count of masked neighbours is a whole number, exact in
// any order.
template <bool backwards>
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
        const float count = columnCount[x - 1] + columnCount[x] + columnCount[x + 1];
        const float mean = sum / count;
        const float value = backwards ? 1.0f - mean : mean;
        const float previous = rates[x];
        rates[x] = isMasked(maskHere[x]) ? value : previous;
    }
}

WEATHERING_VECTOR_CLONES void prepareRateRow(const float* __restrict degrees, const float* __restrict masks,
                                             float* __restrict masked, float* __restrict inside, int width)
{
    for (int x = 0; x < width; ++x) {
        const bool in = isMasked(masks[x]);
        masked[x] = in ? degrees[x] : 0.0f;
        inside[x] = in ? 1.0f : 0.0f;
    }
}

WEATHERING_VECTOR_CLONES void addColumns(const float* __restrict below, const float* __restrict here,
                                         const float* __restrict above, float* __restrict sum, int width)
{
    for (int x = 0; x < width; ++x)
        sum[x] = below[x] + here[x] + above[x];
}

// The bins as a flat float array, entry k's `a` at 4 k + 1: loops that vectorise gather
// from it (GCC gathers from a plain float array, not from a field of a struct array).
static_assert(sizeof(DegreeBin) == 4 * sizeof(float), "DegreeBin is four packed floats");
constexpr int binStride = 4;
constexpr int aInBin = 1;
constexpr int bInBin = 2;

const float* binFloats(const DegreeBin* bins)
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

// The colours pending for a run of pixels, as a step or dab would have painted them
// (the paintedColour rule): in one loop that vectorises, gathering from the tables.
constexpr int paintRunSize = 256;

struct PaintRun {
    float lightness[paintRunSize];
    float a[paintRunSize];
    float b[paintRunSize];
    std::uint32_t painted[paintRunSize];  // 1: the pixel's colour is painted
};

WEATHERING_VECTOR_CLONES void paintedColours(const float* __restrict pending, const float* __restrict masks,
                                             const float* __restrict details, const float* __restrict bins,
                                             const float* __restrict means, int count, PaintRun& run)
{
    for (int k = 0; k < count; ++k) {
        bool inside;
        const float d = pending[k];
        const int fine = fineIndexOrZero(d, inside);
        const int coarse = static_cast<int>(inside ? d * 150.0f : 0.0f);
        const float a = bins[binStride * fine + aInBin];
        run.painted[k] = isMasked(masks[k]) & inside & (a > emptyChroma) ? 1u : 0u;
        run.lightness[k] = means[coarse] * details[k];
        run.a[k] = a;
        run.b[k] = bins[binStride * fine + bInBin];
    }
}

// The step's update of a row of pixels: each degree with a colour becomes the pending
// colour (painted later, from the tables as they are now), and the advanced and clamped
// degree goes to `next`; unmasked pixels keep theirs.
template <bool backwards>
WEATHERING_VECTOR_CLONES void advanceRow(const float* __restrict now, const float* __restrict masks,
                                         const float* __restrict rates, float* __restrict next,
                                         float* __restrict pending, const float* __restrict bins, int count,
                                         float stepFactor, float maxDegree)
{
    for (int k = 0; k < count; ++k) {
        const float d = now[k];
        const float waiting = pending[k];
        pending[k] = hasSampleIn(bins, d) ? d : waiting;
        const float step = stepFactor * rates[k];
        float advanced = backwards ? d - step : d + step;
        advanced = advanced > maxDegree ? maxDegree : advanced;
        advanced = advanced < 0.0f ? 0.0f : advanced;
        next[k] = isMasked(masks[k]) ? advanced : d;
    }
}

// One path segment from P[l-1] (start) to P[l] (end), with A = start - end.
struct PathSegment {
    float startX, startY;
    float endX, endY;
    float ax, ay;
    float lengthSquared;  // A . A, also the segment's term of the path size
};

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

class WeatheringModel::RateWindow {
public:
    RateWindow(const float* degree, const float* mask, int width)
        : degree(degree), mask(mask), width(width), columnCount(width)
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
        addColumns(inside[below].data(), inside[here].data(), inside[above].data(), columnCount.data(), width);
        const float* maskHere = mask + static_cast<size_t>(y) * width;
        if (backwards)
            innerRatesOfRow<true>(masked[below].data(), masked[here].data(), masked[above].data(), columnCount.data(),
                                  maskHere, rates, width);
        else
            innerRatesOfRow<false>(masked[below].data(), masked[here].data(), masked[above].data(), columnCount.data(),
                                   maskHere, rates, width);
    }

private:
    int prepare(int row)
    {
        const int slot = row % 3;
        if (preparedRow[slot] != row) {
            const size_t start = static_cast<size_t>(row) * width;
            prepareRateRow(degree + start, mask + start, masked[slot].data(), inside[slot].data(), width);
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
};

Point2f chromaPlanePosition(const vec3& lab)
{
    // Sum and product in double from the float components and constants, rounded once.
    const double x = (static_cast<double>(lab.y) + 134.0) * static_cast<double>(1.422f);
    const double y = (static_cast<double>(lab.z) + 140.0) * static_cast<double>(1.954f);
    return {static_cast<float>(x), static_cast<float>(y)};
}

bool WeatheringModel::hasImage() const
{
    return rgb != nullptr && width == heldWidth && height == heldHeight;
}

bool WeatheringModel::initFromImage(const vec3* pixels)
{
    const long long count = static_cast<long long>(width) * height;
    const bool sizeUsable = pixels != nullptr && width > 0 && height > 0 && count <= INT_MAX;
    PixelArray<vec3> newRgb, newLab, newReference;
    PixelArray<float> newDegree, newRate, newMask, newDetail, newPending, newNext;
    PixelArray<std::uint32_t> newRgba;
    if (sizeUsable) {
        const int n = static_cast<int>(count);
        newRgb = allocatePixelArray<vec3>(n);
        newLab = allocatePixelArray<vec3>(n);
        newReference = allocatePixelArray<vec3>(n);
        newDegree = allocatePixelArray<float>(n);
        newRate = allocatePixelArray<float>(n);
        newMask = allocatePixelArray<float>(n);
        newDetail = allocatePixelArray<float>(n);
        newPending = allocatePixelArray<float>(n);
        newNext = allocatePixelArray<float>(n);
        newRgba = allocatePixelArray<std::uint32_t>(n);
    }
    if (!newRgb || !newLab || !newReference || !newDegree || !newRate || !newMask || !newDetail || !newPending ||
        !newNext || !newRgba) {
        std::cerr << "weathering model: cannot hold a photograph of " << width << " x " << height << " pixels\n";
        // The caller set the size for the photograph that was refused; the held one stays.
        if (rgb) {
            width = heldWidth;
            height = heldHeight;
            displayWidth = heldDisplayWidth;
            displayHeight = heldDisplayHeight;
        }
        return false;
    }

    rgb = std::move(newRgb);
    lab = std::move(newLab);
    labReference = std::move(newReference);
    degree = std::move(newDegree);
    rate = std::move(newRate);
    mask = std::move(newMask);
    detail = std::move(newDetail);
    pendingPaint = std::move(newPending);
    nextDegree = std::move(newNext);
    rgba = std::move(newRgba);
    heldWidth = width;
    heldHeight = height;
    heldDisplayWidth = displayWidth;
    heldDisplayHeight = displayHeight;

    startFromPhotograph(pixels, true);
    resetDegreeTables();
    imagePoints.clear();
    chromaPoints.clear();
    pathColours.clear();
    natural.release();
    return true;
}

// lab from the pixels, degrees, rates and detail 0, nothing pending. A new photograph
// also gets rgb (the pixels themselves), its mask reset, its labReference and its 8-bit
// copy; a restart leaves rgb to the refresh that ends it, which writes all of it.
void WeatheringModel::startFromPhotograph(const vec3* pixels, bool newPhotograph)
{
    parallel::forEachShare(pixelCount(), 1, [&](int, int begin, int end) {
        for (int first = begin; first < end; first += chunkSize) {
            const int last = std::min(end, first + chunkSize);
            std::fill(degree.get() + first, degree.get() + last, 0.0f);
            std::fill(rate.get() + first, rate.get() + last, 0.0f);
            std::fill(detail.get() + first, detail.get() + last, 0.0f);
            std::fill(pendingPaint.get() + first, pendingPaint.get() + last, nothingPending);
            rgbToLab(pixels + first, lab.get() + first, last - first);
            if (newPhotograph) {
                std::copy(pixels + first, pixels + last, rgb.get() + first);
                std::fill(mask.get() + first, mask.get() + last, 1.0f);
                std::copy(lab.get() + first, lab.get() + last, labReference.get() + first);
                rgbToRgba8(rgb.get() + first, rgba.get() + first, last - first);
            }
        }
    });
    pendingFirstRow = pendingEndRow = 0;
}

void WeatheringModel::resetDegreeTables()
{
    // Fine bins start without a sample, so that steps and dabs leave colours alone until
    // a path of positive length has filled them.
    std::fill(std::begin(degreeBins), std::end(degreeBins), DegreeBin{0.0f, emptyChroma, emptyChroma, 0.0f});
    std::fill(std::begin(binDistance), std::end(binDistance), -1.0f);
    std::fill(std::begin(meanLightness), std::end(meanLightness), 0.0f);
    maxDegree = 0.0f;
}

void WeatheringModel::applyMaskImage(const float* values, int count)
{
    if (!hasImage() || values == nullptr)
        return;
    // Pending colours belong to the pixels masked in now.
    bringColoursUpToDate();
    const int n = pixelCount();
    if (count != n)
        std::cerr << "mask has " << count << " pixels, the photograph " << n << "; using the first "
                  << std::max(0, std::min(count, n)) << "\n";
    const int written = std::min(count, n);
    for (int i = 0; i < written; ++i)
        mask[i] = values[i] > 0.5f ? 1.0f : 0.0f;
}

// --- lazily painted colours -------------------------------------------------------

bool WeatheringModel::hasSample(float d) const
{
    return hasSampleIn(binFloats(degreeBins), d);
}

// The colour a step or dab paints pixel i with at degree d, which has a sample.
vec3 WeatheringModel::paintedColour(float d, int i) const
{
    const DegreeBin& bin = degreeBins[fineIndex(d)];
    return {meanLightness[coarseIndex(d)] * detail[i], bin.a, bin.b};
}

vec3 WeatheringModel::currentLab(int i) const
{
    const float pending = pendingPaint[i];
    return isMasked(mask[i]) && hasSample(pending) ? paintedColour(pending, i) : lab[i];
}

// The colours of pixels start ... start + count - 1 (at most paintRunSize) as they are
// now: painted where a colour is pending, from lab elsewhere.
void WeatheringModel::currentColours(int start, int count, vec3* colours) const
{
    PaintRun run;
    paintedColours(pendingPaint.get() + start, mask.get() + start, detail.get() + start, binFloats(degreeBins),
                   meanLightness, count, run);
    // Without a branch: masks and bins mix painted and unpainted pixels at random.
    const vec3* kept = lab.get() + start;
    for (int k = 0; k < count; ++k) {
        const bool painted = run.painted[k] != 0;
        colours[k] = {painted ? run.lightness[k] : kept[k].x, painted ? run.a[k] : kept[k].y,
                      painted ? run.b[k] : kept[k].z};
    }
}

void WeatheringModel::paintPendingIn(int first, int last)
{
    for (int start = first; start < last; start += paintRunSize) {
        const int count = std::min(paintRunSize, last - start);
        currentColours(start, count, lab.get() + start);
        std::fill(pendingPaint.get() + start, pendingPaint.get() + start + count, nothingPending);
    }
}

void WeatheringModel::paintPendingInRect(const PixelRect& rect)
{
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        paintPendingIn(y * width + rect.x, y * width + rect.x + rect.width);
}

void WeatheringModel::markPendingRows(int first, int end)
{
    if (pendingFirstRow == pendingEndRow) {
        pendingFirstRow = first;
        pendingEndRow = end;
        return;
    }
    pendingFirstRow = std::min(pendingFirstRow, first);
    pendingEndRow = std::max(pendingEndRow, end);
}

void WeatheringModel::bringColoursUpToDate()
{
    if (!hasImage() || pendingFirstRow == pendingEndRow)
        return;
    const int first = pendingFirstRow * width;
    parallel::forEachShare(pendingEndRow - pendingFirstRow, width, [&](int, int begin, int end) {
        paintPendingIn(first + begin * width, first + end * width);
    });
    pendingFirstRow = pendingEndRow = 0;
}

// --- the path and the degrees -----------------------------------------------------

void WeatheringModel::addPathPoint(float x, float y)
{
    if (!hasImage())
        return;
    if (!(x >= 0.0f && x < static_cast<float>(width) && y >= 0.0f && y < static_cast<float>(height)))
        return;
    // Exact in double for whole positions; a fractional one could round past the end.
    const long long index = static_cast<long long>(static_cast<double>(width) * y + x);
    if (index >= pixelCount())
        return;
    // The Natural look picks the colour around the click, so one noisy pixel does not
    // set the path.
    const vec3 picked = look == Look::natural
                            ? NaturalLook::pathSample(*this, static_cast<int>(x), static_cast<int>(y))
                            : currentLab(static_cast<int>(index));
    imagePoints.push_back({x, y});
    chromaPoints.push_back(chromaPlanePosition(picked));
    pathColours.push_back(picked);
}

void WeatheringModel::removeLastPathPoint()
{
    if (!hasImage() || imagePoints.empty() || chromaPoints.empty())
        return;
    imagePoints.pop_back();
    chromaPoints.pop_back();
    if (!pathColours.empty())
        pathColours.pop_back();
}

namespace {

// Per-pass state of the projection of one block of pixels onto the path, laid out so that
// the loop over a block runs the same arithmetic on every lane without branches.
struct DegreeBlock {
    int lanes;  // lanes in use, a multiple of 16 (those past the pixels hold leftovers)
    int index[degreeBlockSize];
    float gx[degreeBlockSize];
    float gy[degreeBlockSize];
    float best[degreeBlockSize];     // squared distance to the nearest segment, -1: beside none
    float partial[degreeBlockSize];  // squared length from that segment's start to the foot
    int segment[degreeBlockSize];
    int nearest[degreeBlockSize];     // the vertex nearest to G
    float position[degreeBlockSize];  // T, the squared path length up to the foot point
    float degree[degreeBlockSize];
    int fine[degreeBlockSize];    // the degree's fine bin, -1 outside the table
    int coarse[degreeBlockSize];  // its coarse bucket, coarseBinCount outside the table
};

// A run of pixels' a* and b*, for G in a loop that vectorises.
struct ChromaRun {
    float a[degreeBlockSize];
    float b[degreeBlockSize];
};

void splitChroma(const vec3* colours, int count, ChromaRun& run)
{
    for (int k = 0; k < count; ++k) {
        run.a[k] = colours[k].y;
        run.b[k] = colours[k].z;
    }
}

// G of a run of pixels: the chromaPlanePosition rule.
WEATHERING_VECTOR_CLONES void chromaOfRun(const ChromaRun& run, int count, float* __restrict gx, float* __restrict gy)
{
    for (int k = 0; k < count; ++k) {
        gx[k] = static_cast<float>((static_cast<double>(run.a[k]) + 134.0) * static_cast<double>(1.422f));
        gy[k] = static_cast<float>((static_cast<double>(run.b[k]) + 140.0) * static_cast<double>(1.954f));
    }
}

void lightnessOfRun(const vec3* colours, int count, float* lightness)
{
    for (int k = 0; k < count; ++k)
        lightness[k] = colours[k].x;
}

WEATHERING_VECTOR_CLONES void bytesOfRun(const int* __restrict values, int count, std::uint8_t* __restrict bytes)
{
    for (int k = 0; k < count; ++k)
        bytes[k] = static_cast<std::uint8_t>(values[k]);
}

WEATHERING_VECTOR_CLONES int maskedCount(const float* __restrict masks, int count)
{
    int masked = 0;
    for (int k = 0; k < count; ++k)
        masked += isMasked(masks[k]) ? 1 : 0;
    return masked;
}


// Keeps, lane by lane, the segment whose foot point lies on it and is nearest to G; on
// equal distance the earlier segment stays.
WEATHERING_VECTOR_CLONES void projectBlockOntoSegment(DegreeBlock& block, const PathSegment& s, int segmentNumber)
{
    for (int k = 0; k < block.lanes; ++k) {
        const float gx = block.gx[k];
        const float gy = block.gy[k];
        const float numerator = (gx - s.endX) * s.ax + (gy - s.endY) * s.ay;
        const float t = numerator / s.lengthSquared;
        const float qx = s.endX + t * s.ax;
        const float qy = s.endY + t * s.ay;
        const bool onSegment = (qx - s.endX) * (qx - s.startX) + (qy - s.endY) * (qy - s.startY) <= 0.0f;
        const float ex = gx - qx;
        const float ey = gy - qy;
        const float e = ex * ex + ey * ey;
        const float best = block.best[k];
        // Bitwise, not short-circuit: no branch inside the lane loop.
        const bool nearer = onSegment & ((e < best) | (best < 0.0f));
        const float px = qx - s.startX;
        const float py = qy - s.startY;
        block.best[k] = nearer ? e : best;
        block.partial[k] = nearer ? px * px + py * py : block.partial[k];
        block.segment[k] = nearer ? segmentNumber : block.segment[k];
    }
}

// T for the lanes beside a segment: the partial length, then the squared lengths of the
// segments before the chosen one, added one by one in path order.
WEATHERING_VECTOR_CLONES void pathPositions(DegreeBlock& block, const std::vector<PathSegment>& segments)
{
    std::copy(block.partial, block.partial + block.lanes, block.position);
    for (int l = 1; l < static_cast<int>(segments.size()); ++l) {
        const float length = segments[l - 1].lengthSquared;
        for (int k = 0; k < block.lanes; ++k) {
            const float position = block.position[k];
            block.position[k] = l < block.segment[k] ? position + length : position;
        }
    }
}

// For every lane the vertex nearest to G, the lowest index on ties; then T for the lanes
// beside no segment: the squared lengths of the segments up to that vertex; then every
// lane's degree, T / S.
WEATHERING_VECTOR_CLONES void degreesOfBlock(DegreeBlock& block, const std::vector<Point2f>& path,
                                             const float* __restrict prefixLength, double pathSize)
{
    // Only lanes beside no segment need their nearest vertex.
    int besideNone = 0;
    for (int k = 0; k < block.lanes; ++k)
        besideNone += block.best[k] < 0.0f ? 1 : 0;
    const int vertices = besideNone > 0 ? static_cast<int>(path.size()) : 0;
    std::fill(block.nearest, block.nearest + block.lanes, 0);
    float nearestDistance[degreeBlockSize];
    for (int v = 0; v < vertices; ++v) {
        const float vx = path[v].x;
        const float vy = path[v].y;
        for (int k = 0; k < block.lanes; ++k) {
            const float dx = block.gx[k] - vx;
            const float dy = block.gy[k] - vy;
            const float d = dx * dx + dy * dy;
            const bool nearer = (v == 0) | (d < nearestDistance[k]);
            nearestDistance[k] = nearer ? d : nearestDistance[k];
            block.nearest[k] = nearer ? v : block.nearest[k];
        }
    }
    for (int k = 0; k < block.lanes; ++k) {
        const float vertexPosition = prefixLength[block.nearest[k]];
        const float position = block.best[k] < 0.0f ? vertexPosition : block.position[k];
        // Can come out one unit in the last place above 1; the indices still fit.
        const float d = static_cast<float>(static_cast<double>(position) / pathSize);
        bool inside;
        const int fine = fineIndexOrZero(d, inside);
        block.degree[k] = d;
        block.fine[k] = inside ? fine : -1;
        block.coarse[k] = static_cast<int>(inside ? d * 150.0f : static_cast<float>(coarseBinCount));
    }
}

// Each masked pixel's L* (which `details` holds) over the mean L* of its coarse bucket;
// 0 where that mean is 0 or the degree is outside the tables.
WEATHERING_VECTOR_CLONES void lightnessDetail(const float* __restrict degrees, const float* __restrict masks,
                                              const float* __restrict means, float* __restrict details, int count)
{
    for (int i = 0; i < count; ++i) {
        const float position = degrees[i] * 150.0f;
        const bool inside = position > -1.0f && position < static_cast<float>(coarseBinCount);
        const float bucketMean = means[static_cast<int>(inside ? position : 0.0f)];
        const float mean = inside ? bucketMean : 0.0f;
        const float value = mean == 0.0f ? 0.0f : details[i] / mean;
        details[i] = isMasked(masks[i]) ? value : details[i];
    }
}

// The lightness sum of each coarse bucket: the L* of its pixels added in pixel order.
// buckets[i] is pixel i's bucket (coarseBinCount, a spare entry, for none), lightness[i]
// its L*. Eight pixels of one bucket add up in a register; mixed ones each in its entry.
void sumBucketLightness(const std::uint8_t* buckets, const float* lightness, int count, float* sums)
{
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, buckets + i, sizeof eight);
        const int j = buckets[i];
        if (eight == static_cast<std::uint64_t>(j) * 0x0101010101010101u) {
            float sum = sums[j];
            for (int k = 0; k < 8; ++k)
                sum += lightness[i + k];
            sums[j] = sum;
        } else {
            for (int k = 0; k < 8; ++k)
                sums[buckets[i + k]] += lightness[i + k];
        }
    }
    for (; i < count; ++i)
        sums[buckets[i]] += lightness[i];
}

// The chroma sample one share of pixels leaves in a fine bin: the result of the bin rule
// applied to that share's pixels in index order, from an empty bin.
struct FineSample {
    float distance;
    float a;
    float b;
    int taken;
};

}  // namespace

// The path and what each share of pixels found: the largest degree beside a segment, the
// pixels of each coarse bucket and the fine-bin samples. The shares' findings are combined in share order, which gives
// what one pass in index order gives.
struct WeatheringModel::PathPass {
    std::vector<PathSegment> segments;  // segments[l - 1] is segment l
    std::vector<float> prefixLength;    // squared lengths of segments 1 ... v, summed in order
    double pathSize = 0.0;
    int shares = 1;
    std::vector<FineSample> samples;  // shares x fineBinCount
    std::vector<long long> counts;    // shares x coarseBinCount
    std::vector<float> largest;       // shares
};

void WeatheringModel::computeDegrees()
{
    if (!hasImage() || chromaPoints.size() < 2)
        return;
    // The tables and detail are about to change: colours still pending need the old ones.
    bringColoursUpToDate();
    if (look == Look::natural) {
        natural.computeDegrees(*this);
        return;
    }
    resetDegreeTables();

    const std::vector<Point2f>& path = chromaPoints;
    const int segmentCount = static_cast<int>(path.size()) - 1;
    PathPass pass;
    pass.segments.resize(segmentCount);
    pass.prefixLength.assign(path.size(), 0.0f);
    for (int l = 1; l <= segmentCount; ++l) {
        const float dx = path[l].x - path[l - 1].x;
        const float dy = path[l].y - path[l - 1].y;
        const float lengthSquared = dx * dx + dy * dy;
        pass.segments[l - 1] = {path[l - 1].x, path[l - 1].y, path[l].x, path[l].y,
                                path[l - 1].x - path[l].x, path[l - 1].y - path[l].y, lengthSquared};
        pass.prefixLength[l] = pass.prefixLength[l - 1] + lengthSquared;
        pass.pathSize += lengthSquared;
    }

    const int n = pixelCount();
    pass.shares = parallel::shareCount(n, 1);
    pass.samples.assign(static_cast<size_t>(pass.shares) * fineBinCount, FineSample{-1.0f, 0.0f, 0.0f, 0});
    pass.counts.assign(static_cast<size_t>(pass.shares) * coarseBinCount, 0);
    pass.largest.assign(pass.shares, 0.0f);
    parallel::forEachShare(n, 1, [&](int share, int begin, int end) { placeOnPath(begin, end, pass, share); });
    gatherDegreeTables(pass);

    parallel::forEachShare(n, 1, [&](int, int begin, int end) {
        lightnessDetail(degree.get() + begin, mask.get() + begin, meanLightness, detail.get() + begin, end - begin);
    });
}

// Degrees of the masked pixels first ... last - 1, with this share's fine-bin samples.
void WeatheringModel::placeOnPath(int first, int last, PathPass& pass, int share)
{
    FineSample* samples = pass.samples.data() + static_cast<size_t>(share) * fineBinCount;
    float largest = 0.0f;
    // A path without length says nothing about colours: every degree is 0 and no fine
    // bin takes a sample; the lightness statistics are gathered as usual.
    const bool takesSamples = pass.pathSize != 0.0;
    const float* labFloats = reinterpret_cast<const float*>(labReference.get());
    // Each pixel's coarse bucket, coarseBinCount for none, goes to the scratch array of the
    // steps (as bytes); each masked pixel's L* to `detail`, which lightnessDetail divides.
    std::uint8_t* buckets = reinterpret_cast<std::uint8_t*>(nextDegree.get());
    std::fill(buckets + first, buckets + last, static_cast<std::uint8_t>(coarseBinCount));
    // Four rows of counts, taken in turn, so that a run of one bucket does not wait on
    // its own count.
    long long counts[4][coarseBinCount + 1] = {};
    DegreeBlock block;
    ChromaRun run;
    for (int i = first; i < last; i += degreeBlockSize) {
        // G of the next pixels, masked or not; then the masked ones kept, without a
        // branch a pixel.
        const int count = std::min(degreeBlockSize, last - i);
        splitChroma(labReference.get() + i, count, run);
        chromaOfRun(run, count, block.gx, block.gy);
        int filled = 0;
        if (maskedCount(mask.get() + i, count) == count) {
            for (int k = 0; k < count; ++k)
                block.index[k] = i + k;
            filled = count;
        } else {
            for (int k = 0; k < count; ++k) {
                block.index[filled] = i + k;
                block.gx[filled] = block.gx[k];
                block.gy[filled] = block.gy[k];
                filled += isMasked(mask[i + k]) ? 1 : 0;
            }
        }
        if (filled == 0)
            continue;
        block.lanes = (filled + 15) / 16 * 16;
        std::fill(block.best, block.best + block.lanes, -1.0f);
        if (takesSamples) {
            std::fill(block.partial, block.partial + block.lanes, 0.0f);
            std::fill(block.segment, block.segment + block.lanes, 1);
            for (int l = 1; l <= static_cast<int>(pass.segments.size()); ++l) {
                // A segment of length zero has no foot point and never qualifies.
                if (pass.segments[l - 1].lengthSquared != 0.0f)
                    projectBlockOntoSegment(block, pass.segments[l - 1], l);
            }
            pathPositions(block, pass.segments);
            degreesOfBlock(block, chromaPoints, pass.prefixLength.data(), pass.pathSize);
        } else {
            std::fill(block.degree, block.degree + block.lanes, 0.0f);
            std::fill(block.coarse, block.coarse + block.lanes, 0);
        }

        if (filled == count) {
            // A run of masked pixels: its results are contiguous.
            std::copy(block.degree, block.degree + count, degree.get() + i);
            std::fill(rate.get() + i, rate.get() + i + count, 0.0f);
            lightnessOfRun(labReference.get() + i, count, detail.get() + i);
            bytesOfRun(block.coarse, count, buckets + i);
        }
        for (int k = 0; k < filled; ++k) {
            const int p = block.index[k];
            const float best = block.best[k];
            const float d = block.degree[k];
            if (filled != count) {
                degree[p] = d;
                rate[p] = 0.0f;
                detail[p] = labFloats[3 * p];
                buckets[p] = static_cast<std::uint8_t>(block.coarse[k]);
            }
            ++counts[k & 3][block.coarse[k]];
            if (best >= 0.0f && d > largest)
                largest = d;
            if (!takesSamples || block.fine[k] < 0)
                continue;
            FineSample& sample = samples[block.fine[k]];
            if (sample.distance < 0.0f || (best >= 0.0f && best < sample.distance))
                sample = {best, labFloats[3 * p + 1], labFloats[3 * p + 2], 1};
        }
    }
    pass.largest[share] = largest;
    long long* shareCounts = pass.counts.data() + static_cast<size_t>(share) * coarseBinCount;
    for (int j = 0; j < coarseBinCount; ++j)
        shareCounts[j] = counts[0][j] + counts[1][j] + counts[2][j] + counts[3][j];
}

// The tables from the shares' findings, as one pass in index order would have left them.
void WeatheringModel::gatherDegreeTables(PathPass& pass)
{
    for (int share = 0; share < pass.shares; ++share)
        if (pass.largest[share] > maxDegree)
            maxDegree = pass.largest[share];

    // A share's sample replaces the bin's as its pixels would have one by one: the first
    // always, a nearer one after a sample from beside the path, any after one from beside
    // none; so applying the shares' samples in share order gives the pass's result.
    for (int share = 0; share < pass.shares; ++share) {
        const FineSample* samples = pass.samples.data() + static_cast<size_t>(share) * fineBinCount;
        for (int k = 0; k < fineBinCount; ++k) {
            const FineSample& s = samples[k];
            if (s.taken != 0 && (binDistance[k] < 0.0f || (s.distance >= 0.0f && s.distance < binDistance[k]))) {
                degreeBins[k].a = s.a;
                degreeBins[k].b = s.b;
                binDistance[k] = s.distance;
            }
        }
    }

    // The lightness sums depend on their order: pixel by pixel, in index order.
    float sums[coarseBinCount + 1] = {};
    long long totals[coarseBinCount] = {};
    for (int j = 0; j < coarseBinCount; ++j) {
        sums[j] = degreeBins[j].lightnessSum;
        for (int share = 0; share < pass.shares; ++share)
            totals[j] += pass.counts[static_cast<size_t>(share) * coarseBinCount + j];
    }
    sumBucketLightness(reinterpret_cast<const std::uint8_t*>(nextDegree.get()), detail.get(), pixelCount(), sums);
    for (int j = 0; j < coarseBinCount; ++j)
        degreeBins[j].lightnessSum = sums[j];

    // A count adds 1.0f a pixel, which stops growing at 2^24. Every bucket a masked pixel
    // reached has a count; the others keep a mean of 0.
    for (int j = 0; j < coarseBinCount; ++j) {
        degreeBins[j].count = static_cast<float>(std::min(totals[j], 16777216LL));
        if (degreeBins[j].count > 0.0f)
            meanLightness[j] = degreeBins[j].lightnessSum / degreeBins[j].count;
    }
}

// --- rates, steps and dabs ----------------------------------------------------------

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
    float* next = nextDegree.get() + start;
    float* pending = pendingPaint.get() + start;
    const float* bins = binFloats(degreeBins);
    if (backwards)
        advanceRow<true>(now, masks, rates, next, pending, bins, width, simulationStepFactor, maxDegree);
    else
        advanceRow<false>(now, masks, rates, next, pending, bins, width, simulationStepFactor, maxDegree);
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
    parallel::forEachShare(height, width, [&](int, int first, int end) {
        RateWindow window(degree.get(), mask.get(), width);
        for (int y = first; y < end; ++y)
            stepRow(y, backwards, window);
    });
    std::swap(degree, nextDegree);
    markPendingRows(0, height);
}

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

// --- showing it -------------------------------------------------------------------------

void WeatheringModel::uploadRect(const PixelRect& changed)
{
    if (uploader && (texture == 0 || (changed.width > 0 && changed.height > 0)))
        uploader(texture, rgba.get(), width, height, changed);
}

void WeatheringModel::refreshTexture()
{
    if (!hasImage())
        return;
    // Converts the colours as they are now without painting them into lab: the pending
    // ones stay pending, so that a refresh writes only rgb and its 8-bit copy.
    const int pendingFirst = pendingFirstRow * width;
    const int pendingEnd = pendingEndRow * width;
    parallel::forEachShare(pixelCount(), 1, [&](int, int begin, int end) {
        vec3 current[paintRunSize];
        for (int first = begin; first < end; first += paintRunSize) {
            const int count = std::min(paintRunSize, end - first);
            const vec3* colours = lab.get() + first;
            if (first < pendingEnd && first + count > pendingFirst) {
                currentColours(first, count, current);
                colours = current;
            }
            labToRgb(colours, rgb.get() + first, count);
            rgbToRgba8(rgb.get() + first, rgba.get() + first, count);
        }
    });
    uploadRect({0, 0, width, height});
}

void WeatheringModel::refreshTextureInBrush(float x, float y, const ModelSettings& s)
{
    if (!hasImage())
        return;
    // The pixels labToRgbInDisc may convert: the disc's square for a whole centre; for
    // a fractional one (the index then rounds across rows) the rows its indices reach.
    const float r = s.brushSize;
    const double reach = std::floor(static_cast<double>(r));
    PixelRect rect{0, 0, 0, 0};
    if (!(r >= 0.0f && r <= 1.0e9f && std::fabs(x) <= 1.0e9f && std::fabs(y) <= 1.0e9f)) {
        // labToRgbInDisc converts nothing then.
    } else if (std::floor(x) == x && std::floor(y) == y) {
        const double x0 = std::max(0.0, x - reach), x1 = std::min(static_cast<double>(width), x + reach + 1.0);
        const double y0 = std::max(0.0, y - reach), y1 = std::min(static_cast<double>(height), y + reach + 1.0);
        rect = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::max(0.0, x1 - x0)),
                static_cast<int>(std::max(0.0, y1 - y0))};
    } else {
        const double y0 = std::max(0.0, std::floor(y - reach) - 2.0);
        const double y1 = std::min(static_cast<double>(height), std::ceil(y + reach) + 3.0);
        rect = {0, static_cast<int>(y0), width, static_cast<int>(std::max(0.0, y1 - y0))};
    }
    paintPendingInRect(rect);
    labToRgbInDisc(lab.get(), rgb.get(), width, height, r, mask.get(), x, y);
    for (int row = rect.y; row < rect.y + rect.height; ++row) {
        const int start = row * width + rect.x;
        rgbToRgba8(rgb.get() + start, rgba.get() + start, rect.width);
    }
    uploadRect(rect);
}

void WeatheringModel::reinitialise(const vec3* pixels, const ModelSettings& s)
{
    if (!hasImage() || pixels == nullptr)
        return;
    startFromPhotograph(pixels, false);
    resetDegreeTables();
    computeDegrees();
    computeRates(s);
    refreshTexture();
}

void WeatheringModel::setLook(Look chosen, const vec3* pixels, const ModelSettings& s)
{
    look = chosen;
    if (look == Look::sampled)
        natural.release();
    reinitialise(pixels, s);
}
