#include "model/WeatheringModel.h"

#include "colour/VectorClones.h"
#include "model/ModelIndexing.h"
#include "parallel/ParallelShares.h"
#include "parallel/StopRequest.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

using MyAlgebra::vec3;
using namespace modelIndexing;

namespace {

constexpr int degreeBlockSize = 256;  // pixels projected onto the path together

// One path segment from P[l-1] (start) to P[l] (end), with A = start - end.
struct PathSegment {
    float startX, startY;
    float endX, endY;
    float ax, ay;
    float lengthSquared;  // A . A, also the segment's term of the path size
};

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
    int fine[degreeBlockSize];            // the degree's fine bin, -1 outside the table
    int coarse[degreeBlockSize];          // its coarse bucket, coarseBinCount outside the table
    std::uint32_t near[degreeBlockSize];  // the lane's degree lay too near a float boundary
};

// A double's last 29 significand bits, which rounding to float drops: a rounding
// boundary lies where they are 2^28. Within 8 units of it a double is too near to tell.
constexpr std::uint64_t droppedByFloat = (std::uint64_t(1) << 29) - 1;
constexpr std::uint64_t nearRoundingStart = (std::uint64_t(1) << 28) - 8;
constexpr std::uint64_t nearRoundingWidth = 17;

// G of a run of pixels: the chromaPlanePosition rule, straight from the packed colours.
WEATHERING_VECTOR_CLONES void chromaOfRun(const vec3* __restrict colours, int count, float* __restrict gx,
                                          float* __restrict gy)
{
    for (int k = 0; k < count; ++k) {
        gx[k] = static_cast<float>((static_cast<double>(colours[k].y) + 134.0) * static_cast<double>(1.422f));
        gy[k] = static_cast<float>((static_cast<double>(colours[k].z) + 140.0) * static_cast<double>(1.954f));
    }
}

WEATHERING_VECTOR_CLONES void lightnessOfRun(const vec3* __restrict colours, int count, float* __restrict lightness)
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
    // T / S: the quotient rounded to double, then to float. A product with 1 / S lies
    // within two units of the double quotient, so it rounds to the same float unless a
    // float rounding boundary lies that near, or the float is subnormal (it rounds
    // elsewhere then); those few lanes divide.
    const double inverseSize = 1.0 / pathSize;
    std::uint32_t anyNear = 0;
    for (int k = 0; k < block.lanes; ++k) {
        const float vertexPosition = prefixLength[block.nearest[k]];
        const float position = block.best[k] < 0.0f ? vertexPosition : block.position[k];
        const double quotient = static_cast<double>(position) * inverseSize;
        std::uint64_t bits;
        std::memcpy(&bits, &quotient, sizeof bits);
        const bool near = ((bits & droppedByFloat) - nearRoundingStart) < nearRoundingWidth ||
            (quotient > 0.0 && quotient < 0x1p-126);
        block.position[k] = position;
        block.degree[k] = static_cast<float>(quotient);
        block.near[k] = near ? 1u : 0u;
        anyNear |= block.near[k];
    }
    if (anyNear != 0) {
        for (int k = 0; k < block.lanes; ++k)
            if (block.near[k] != 0)
                block.degree[k] = static_cast<float>(static_cast<double>(block.position[k]) / pathSize);
    }
    for (int k = 0; k < block.lanes; ++k) {
        // Can come out one unit in the last place above 1; the indices still fit.
        const float d = block.degree[k];
        bool inside;
        const int fine = fineIndexOrZero(d, inside);
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
// The largest degree of a lane beside a segment, kept per lane position so that the
// loop vectorises; the largest of the lanes is the largest of all.
constexpr int largestLanes = 16;

WEATHERING_VECTOR_CLONES void largestBesidePath(const DegreeBlock& block, int filled, float* __restrict largest)
{
    for (int start = 0; start < block.lanes; start += largestLanes) {
        for (int j = 0; j < largestLanes; ++j) {
            const int k = start + j;
            const float d = block.degree[k];
            const float kept = largest[j];
            largest[j] = k < filled && block.best[k] >= 0.0f && d > kept ? d : kept;
        }
    }
}

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
        pass.segments[l - 1] = {
            path[l - 1].x, path[l - 1].y, path[l].x, path[l].y, path[l - 1].x - path[l].x, path[l - 1].y - path[l].y,
            lengthSquared};
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
    float largestOfLanes[largestLanes] = {};
    // Polled a block: with a long path a share of a large photograph takes minutes.
    for (int i = first; i < last && !parallel::stopRequested(); i += degreeBlockSize) {
        // G of the next pixels, masked or not; then the masked ones kept, without a
        // branch a pixel.
        const int count = std::min(degreeBlockSize, last - i);
        chromaOfRun(labReference.get() + i, count, block.gx, block.gy);
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
        if (filled != count) {
            for (int k = 0; k < filled; ++k) {
                const int p = block.index[k];
                degree[p] = block.degree[k];
                rate[p] = 0.0f;
                detail[p] = labFloats[3 * p];
                buckets[p] = static_cast<std::uint8_t>(block.coarse[k]);
            }
        }
        for (int k = 0; k < filled; ++k)
            ++counts[k & 3][block.coarse[k]];
        largestBesidePath(block, filled, largestOfLanes);
        if (!takesSamples)
            continue;
        for (int k = 0; k < filled; ++k) {
            if (block.fine[k] < 0)
                continue;
            const int p = block.index[k];
            const float best = block.best[k];
            FineSample& sample = samples[block.fine[k]];
            if (sample.distance < 0.0f || (best >= 0.0f && best < sample.distance))
                sample = {best, labFloats[3 * p + 1], labFloats[3 * p + 2], 1};
        }
    }
    for (const float lane : largestOfLanes)
        largest = lane > largest ? lane : largest;
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
