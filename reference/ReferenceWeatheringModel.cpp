// Frozen copy, for the tests only: the model and colour code as they were before their
// passes were rewritten for speed. The model must keep giving exactly these results.
// Do not change it.

#include "reference/ReferenceWeatheringModel.h"

#include "reference/ReferenceAvx2Clone.h"
#include "reference/ReferenceCieLab.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>
#include <new>

namespace reference {

using MyAlgebra::vec3;

namespace {

constexpr float emptyChroma = -1000.0f;  // a fine bin whose `a` holds this has no sample
constexpr float simulationStepFactor = 0.01f;
constexpr int degreeBlockSize = 256;  // pixels projected onto the path together

bool isMasked(float maskValue)
{
    return maskValue >= 1.0f;
}

bool runsBackwards(const ModelSettings& s)
{
    return s.dewethering == 1;
}

// Table indices come from the single-precision product; a double product would differ
// (for example just below 17/150).
int fineIndex(float degree)
{
    return static_cast<int>(degree * 10000.0f);
}

int coarseIndex(float degree)
{
    return static_cast<int>(degree * 150.0f);
}

template <typename T>
std::unique_ptr<T[]> allocateOrNull(int count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
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

// Rates of the inner columns of a row, where all nine neighbours exist. Adding 0 for an
// unmasked neighbour leaves the sum as it was (it never is -0), so the sum keeps its fixed
// column-major order. The direction is a template argument and the nine terms are written
// out so that the loop has no branch and vectorises.
template <bool backwards>
REFERENCE_AVX2_CLONE void innerColumnRates(const RowNeighbourhood& r, float* rates, int width)
{
    for (int x = 1; x < width - 1; ++x) {
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

}  // namespace

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
    std::unique_ptr<vec3[]> newRgb, newLab, newReference;
    std::unique_ptr<float[]> newDegree, newRate, newMask, newDetail;
    if (sizeUsable) {
        const int n = static_cast<int>(count);
        newRgb = allocateOrNull<vec3>(n);
        newLab = allocateOrNull<vec3>(n);
        newReference = allocateOrNull<vec3>(n);
        newDegree = allocateOrNull<float>(n);
        newRate = allocateOrNull<float>(n);
        newMask = allocateOrNull<float>(n);
        newDetail = allocateOrNull<float>(n);
    }
    if (!newRgb || !newLab || !newReference || !newDegree || !newRate || !newMask || !newDetail) {
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
    heldWidth = width;
    heldHeight = height;
    heldDisplayWidth = displayWidth;
    heldDisplayHeight = displayHeight;

    const int n = pixelCount();
    std::copy(pixels, pixels + n, rgb.get());
    std::fill(degree.get(), degree.get() + n, 0.0f);
    std::fill(rate.get(), rate.get() + n, 0.0f);
    std::fill(mask.get(), mask.get() + n, 1.0f);
    std::fill(detail.get(), detail.get() + n, 0.0f);
    rgbToLab(rgb.get(), lab.get(), n);
    std::copy(lab.get(), lab.get() + n, labReference.get());
    resetDegreeTables();
    imagePoints.clear();
    chromaPoints.clear();
    return true;
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
    const int n = pixelCount();
    if (count != n)
        std::cerr << "mask has " << count << " pixels, the photograph " << n << "; using the first "
                  << std::max(0, std::min(count, n)) << "\n";
    const int written = std::min(count, n);
    for (int i = 0; i < written; ++i)
        mask[i] = values[i] > 0.5f ? 1.0f : 0.0f;
}

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
    imagePoints.push_back({x, y});
    chromaPoints.push_back(chromaPlanePosition(lab[index]));
}

void WeatheringModel::removeLastPathPoint()
{
    if (!hasImage() || imagePoints.empty() || chromaPoints.empty())
        return;
    imagePoints.pop_back();
    chromaPoints.pop_back();
}

namespace {

// Per-pass state of the projection of one block of pixels onto the path, laid out so that
// the loop over a block runs the same arithmetic on every lane without branches.
struct DegreeBlock {
    int index[degreeBlockSize];
    float gx[degreeBlockSize];
    float gy[degreeBlockSize];
    float best[degreeBlockSize];     // squared distance to the nearest segment, -1: beside none
    float partial[degreeBlockSize];  // squared length from that segment's start to the foot
    int segment[degreeBlockSize];
    float position[degreeBlockSize];  // T, the squared path length up to the foot point
    float degree[degreeBlockSize];
};

// Keeps, lane by lane, the segment whose foot point lies on it and is nearest to G; on
// equal distance the earlier segment stays.
REFERENCE_AVX2_CLONE void projectBlockOntoSegment(DegreeBlock& block, const PathSegment& s, int segmentNumber)
{
    for (int k = 0; k < degreeBlockSize; ++k) {
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
void pathPositions(DegreeBlock& block, const std::vector<PathSegment>& segments)
{
    std::copy(std::begin(block.partial), std::end(block.partial), std::begin(block.position));
    for (int l = 1; l < static_cast<int>(segments.size()); ++l) {
        const float length = segments[l - 1].lengthSquared;
        for (int k = 0; k < degreeBlockSize; ++k) {
            const float position = block.position[k];
            block.position[k] = l < block.segment[k] ? position + length : position;
        }
    }
}

// The vertex nearest to G, the lowest index on ties.
int nearestVertex(const std::vector<Point2f>& path, float gx, float gy)
{
    int nearest = 0;
    float nearestDistance = 0.0f;
    for (int v = 0; v < static_cast<int>(path.size()); ++v) {
        const float dx = gx - path[v].x;
        const float dy = gy - path[v].y;
        const float d = dx * dx + dy * dy;
        if (v == 0 || d < nearestDistance) {
            nearest = v;
            nearestDistance = d;
        }
    }
    return nearest;
}

}  // namespace

void WeatheringModel::computeDegrees()
{
    if (!hasImage() || chromaPoints.size() < 2)
        return;
    resetDegreeTables();

    const std::vector<Point2f>& path = chromaPoints;
    const int segmentCount = static_cast<int>(path.size()) - 1;
    // segments[l - 1] is segment l; prefixLength[v] is the single-precision sum of the
    // squared lengths of segments 1 ... v, in that order.
    std::vector<PathSegment> segments(segmentCount);
    std::vector<float> prefixLength(path.size(), 0.0f);
    double pathSize = 0.0;
    for (int l = 1; l <= segmentCount; ++l) {
        const float dx = path[l].x - path[l - 1].x;
        const float dy = path[l].y - path[l - 1].y;
        const float lengthSquared = dx * dx + dy * dy;
        segments[l - 1] = {path[l - 1].x, path[l - 1].y, path[l].x, path[l].y,
                           path[l - 1].x - path[l].x, path[l - 1].y - path[l].y, lengthSquared};
        prefixLength[l] = prefixLength[l - 1] + lengthSquared;
        pathSize += lengthSquared;
    }

    const int n = pixelCount();
    if (pathSize == 0.0) {
        // A path without length says nothing about colours: every degree is 0 and no fine
        // bin takes a sample; the lightness statistics are gathered as usual.
        for (int i = 0; i < n; ++i) {
            if (!isMasked(mask[i]))
                continue;
            degree[i] = 0.0f;
            rate[i] = 0.0f;
            detail[i] = 0.0f;
            degreeBins[0].lightnessSum += labReference[i].x;
            degreeBins[0].count += 1.0f;
        }
    } else {
        DegreeBlock block;
        int i = 0;
        while (i < n) {
            // Gather the next block of masked pixels; unused lanes project a dummy colour.
            int filled = 0;
            for (; i < n && filled < degreeBlockSize; ++i) {
                if (!isMasked(mask[i]))
                    continue;
                const Point2f g = chromaPlanePosition(labReference[i]);
                block.index[filled] = i;
                block.gx[filled] = g.x;
                block.gy[filled] = g.y;
                ++filled;
            }
            for (int k = filled; k < degreeBlockSize; ++k) {
                block.gx[k] = 0.0f;
                block.gy[k] = 0.0f;
            }
            std::fill(std::begin(block.best), std::end(block.best), -1.0f);
            std::fill(std::begin(block.partial), std::end(block.partial), 0.0f);
            std::fill(std::begin(block.segment), std::end(block.segment), 1);
            for (int l = 1; l <= segmentCount; ++l) {
                // A segment of length zero has no foot point and never qualifies.
                if (segments[l - 1].lengthSquared != 0.0f)
                    projectBlockOntoSegment(block, segments[l - 1], l);
            }

            pathPositions(block, segments);
            for (int k = 0; k < filled; ++k)
                if (block.best[k] < 0.0f)
                    block.position[k] = prefixLength[nearestVertex(path, block.gx[k], block.gy[k])];
            // Can come out one unit in the last place above 1; the indices still fit.
            for (int k = 0; k < degreeBlockSize; ++k)
                block.degree[k] = static_cast<float>(static_cast<double>(block.position[k]) / pathSize);

            for (int k = 0; k < filled; ++k) {
                const int p = block.index[k];
                const float best = block.best[k];
                const float d = block.degree[k];
                degree[p] = d;
                rate[p] = 0.0f;
                detail[p] = 0.0f;
                if (best >= 0.0f && d > maxDegree)
                    maxDegree = d;
                DegreeBin& bucket = degreeBins[coarseIndex(d)];
                bucket.lightnessSum += labReference[p].x;
                bucket.count += 1.0f;
                const int k2 = fineIndex(d);
                if (binDistance[k2] < 0.0f || (best >= 0.0f && best < binDistance[k2])) {
                    degreeBins[k2].a = labReference[p].y;
                    degreeBins[k2].b = labReference[p].z;
                    binDistance[k2] = best;
                }
            }
        }
    }

    // Every bucket a masked pixel reached has a count; the others keep a mean of 0.
    for (int j = 0; j < coarseBinCount; ++j)
        if (degreeBins[j].count > 0.0f)
            meanLightness[j] = degreeBins[j].lightnessSum / degreeBins[j].count;
    for (int i = 0; i < n; ++i) {
        if (!isMasked(mask[i]))
            continue;
        const float mean = meanLightness[coarseIndex(degree[i])];
        detail[i] = mean == 0.0f ? 0.0f : labReference[i].x / mean;
    }
}

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
    if (!hasImage())
        return;
    const bool backwards = runsBackwards(s);
    for (int y = 0; y < height; ++y)
        rowRates(y, backwards);
}

void WeatheringModel::rowRates(int y, bool backwards)
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
    const RowNeighbourhood rows{degree.get() + rowStart - width, degree.get() + rowStart, degree.get() + rowStart + width,
                                mask.get() + rowStart - width,   mask.get() + rowStart,   mask.get() + rowStart + width};
    if (backwards)
        innerColumnRates<true>(rows, rate.get() + rowStart, width);
    else
        innerColumnRates<false>(rows, rate.get() + rowStart, width);
    const int last = rowStart + width - 1;
    if (isMasked(mask[last]))
        rate[last] = rateOf(last, backwards);
}

void WeatheringModel::computeRateAt(float x, float y, const ModelSettings& s)
{
    if (!hasImage())
        return;
    const double position = static_cast<double>(width) * y + x;
    if (!(position >= 0.0 && position < static_cast<double>(pixelCount())))
        return;
    const int i = static_cast<int>(position);
    if (isMasked(mask[i]))
        rate[i] = rateOf(i, runsBackwards(s));
}

void WeatheringModel::updatePixel(int i, float stepFactor, bool backwards)
{
    float d = degree[i];
    const DegreeBin& bin = degreeBins[fineIndex(d)];
    // The colour belongs to the degree before the advance, so it trails by one update.
    if (bin.a > emptyChroma)
        lab[i] = {meanLightness[coarseIndex(d)] * detail[i], bin.a, bin.b};
    const float step = stepFactor * rate[i];
    d = backwards ? d - step : d + step;
    if (d > maxDegree)
        d = maxDegree;
    if (d < 0.0f)
        d = 0.0f;
    degree[i] = d;
}

void WeatheringModel::simulationStep(const ModelSettings& s)
{
    if (!hasImage())
        return;
    const bool backwards = runsBackwards(s);
    // Rates must come from the degrees before the step. Row y - 1 is no longer read by any
    // rate still to be computed once row y's rates are done, so it can be updated then,
    // while its rows are still in cache.
    rowRates(0, backwards);
    for (int y = 1; y <= height; ++y) {
        if (y < height)
            rowRates(y, backwards);
        const int rowStart = (y - 1) * width;
        for (int i = rowStart; i < rowStart + width; ++i)
            if (isMasked(mask[i]))
                updatePixel(i, simulationStepFactor, backwards);
    }
}

void WeatheringModel::applyBrush(int x, int y, const ModelSettings& s)
{
    if (!hasImage())
        return;
    const float r = s.brushSize;
    const float f = s.speed;
    if (!(r >= 0.0f))
        return;
    const bool backwards = runsBackwards(s);
    const double radiusSquared = static_cast<double>(r) * static_cast<double>(r);
    const OffsetRange dxs = brushOffsets(r, x, width);
    const OffsetRange dys = brushOffsets(r, y, height);
    // All rates of a dab come from the degrees before it, so two passes over the disc.
    for (int pass = 0; pass < 2; ++pass) {
        for (long long dx = dxs.first; dx <= dxs.last; ++dx) {
            for (long long dy = dys.first; dy <= dys.last; ++dy) {
                if (static_cast<double>(dx * dx + dy * dy) > radiusSquared)
                    continue;
                const int i = static_cast<int>((y + dy) * width + (x + dx));
                if (!isMasked(mask[i]))
                    continue;
                if (pass == 0)
                    rate[i] = rateOf(i, backwards);
                else
                    updatePixel(i, f, backwards);
            }
        }
    }
}

void WeatheringModel::refreshTexture()
{
    if (!hasImage())
        return;
    labToRgb(lab.get(), rgb.get(), pixelCount());
    if (uploader)
        uploader(texture, rgb.get(), width, height);
}

void WeatheringModel::refreshTextureInBrush(float x, float y, const ModelSettings& s)
{
    if (!hasImage())
        return;
    labToRgbInDisc(lab.get(), rgb.get(), width, height, s.brushSize, mask.get(), x, y);
    if (uploader)
        uploader(texture, rgb.get(), width, height);
}

void WeatheringModel::reinitialise(const vec3* pixels, const ModelSettings& s)
{
    if (!hasImage() || pixels == nullptr)
        return;
    const int n = pixelCount();
    std::copy(pixels, pixels + n, rgb.get());
    std::fill(degree.get(), degree.get() + n, 0.0f);
    std::fill(rate.get(), rate.get() + n, 0.0f);
    std::fill(detail.get(), detail.get() + n, 0.0f);
    rgbToLab(rgb.get(), lab.get(), n);
    resetDegreeTables();
    computeDegrees();
    computeRates(s);
    refreshTexture();
}

}  // namespace reference
