#include "model/WeatheringModel.h"

#include "model/DegreeBlock.h"
#include "model/ModelIndexing.h"
#include "model/StreamingStores.h"
#include "parallel/ParallelShares.h"
#include "parallel/StopRequest.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

using MyAlgebra::vec3;
using namespace modelIndexing;

using namespace pathProjection;

// The path and what each share of pixels found: the largest degree beside a segment and
// the fine-bin samples. The shares' findings are combined in share order, which gives
// what one pass in index order gives. The lightness sums and counts of the coarse
// buckets depend on the order of their additions: with one share they are added block
// by block as the pass goes; with several, share by share in share order, each by the
// thread that finds the next share placed, while the other threads go on placing pixels.
struct WeatheringModel::PathPass {
    std::vector<PathSegment> segments;  // segments[l - 1] is segment l
    std::vector<float> prefixLength;    // squared lengths of segments 1 ... v, summed in order
    double pathSize = 0.0;
    int shares = 1;
    bool restart = false;
    std::vector<FineSample> samples;  // shares x fineBinCount
    std::vector<float> held;          // their distances, shares x fineBinCount
    std::vector<float> largest;       // shares
    BucketTotal totals[coarseBinCount + 1] = {};
    // With several shares: which have been placed, their ranges, and the first share whose
    // lightness is not yet in the sums.
    std::mutex sumsLock;
    std::vector<char> placed;
    std::vector<std::pair<int, int>> ranges;
    int nextToSum = 0;
    bool summing = false;
};

void WeatheringModel::computeDegrees()
{
    if (!placeAllOnPath(false))
        return;
    parallel::forEachShare(pixelCount(), 1, [&](int, int begin, int end) {
        lightnessDetail(degree.get() + begin, mask.get() + begin, meanLightness, detail.get() + begin, end - begin);
    });
}

bool WeatheringModel::placeAllOnPath(bool restart)
{
    if (!hasImage() || chromaPoints.size() < 2)
        return false;
    // The tables and detail are about to change: colours still pending need the old ones.
    bringColoursUpToDate();
    if (look == Look::natural) {
        natural.computeDegrees(*this);
        return false;
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
    pass.restart = restart;
    pass.samples.assign(static_cast<size_t>(pass.shares) * fineBinCount, FineSample{0.0f, 0.0f, 0});
    pass.held.assign(static_cast<size_t>(pass.shares) * fineBinCount, -1.0f);
    pass.largest.assign(pass.shares, 0.0f);
    for (int j = 0; j < coarseBinCount; ++j)
        pass.totals[j].sum = degreeBins[j].lightnessSum;
    pass.placed.assign(pass.shares, 0);
    pass.ranges.assign(pass.shares, {0, 0});
    parallel::forEachShare(n, 1, [&](int share, int begin, int end) {
        placeOnPath(begin, end, pass, share);
        if (pass.shares > 1)
            sumPlacedShares(pass, share, begin, end);
    });
    gatherDegreeTables(pass);
    return true;
}

// Degrees of the masked pixels first ... last - 1, with this share's fine-bin samples.
void WeatheringModel::placeOnPath(int first, int last, PathPass& pass, int share)
{
    FineSample* samples = pass.samples.data() + static_cast<size_t>(share) * fineBinCount;
    float* held = pass.held.data() + static_cast<size_t>(share) * fineBinCount;
    // A path without length says nothing about colours: every degree is 0 and no fine
    // bin takes a sample; the lightness statistics are gathered as usual.
    const bool takesSamples = pass.pathSize != 0.0;
    const bool sumsHere = pass.shares == 1;
    // With several shares each pixel's coarse bucket, coarseBinCount for none, goes to
    // the scratch array of the steps (as bytes) for the sums after the pass.
    std::uint8_t* buckets = reinterpret_cast<std::uint8_t*>(nextDegree.get());
    if (!sumsHere)
        std::fill(buckets + first, buckets + last, static_cast<std::uint8_t>(coarseBinCount));
    DegreeBlock block;
    PendingSums pending;
    pending.totals = pass.totals;
    const int segmentCount = static_cast<int>(pass.segments.size());
    std::vector<int> chosen(segmentCount);  // the segments a block's pixels may lie beside
    float largestOfLanes[largestLanes] = {};
    // Polled a block: with a long path a share of a large photograph takes minutes.
    for (int i = first; i < last && !parallel::stopRequested(); i += degreeBlockSize) {
        // The colours of the next pixels, masked or not; then the masked ones kept,
        // without a branch a pixel.
        const int count = std::min(degreeBlockSize, last - i);
        splitColours(labReference.get() + i, count, block.lightness, block.a, block.b);
        int filled = 0;
        if (maskedCount(mask.get() + i, count) == count) {
            for (int k = 0; k < count; ++k)
                block.index[k] = i + k;
            filled = count;
        } else {
            for (int k = 0; k < count; ++k) {
                block.index[filled] = i + k;
                block.lightness[filled] = block.lightness[k];
                block.a[filled] = block.a[k];
                block.b[filled] = block.b[k];
                filled += isMasked(mask[i + k]) ? 1 : 0;
            }
        }
        if (pass.restart && filled != count) {
            std::fill(degree.get() + i, degree.get() + i + count, 0.0f);
            std::fill(rate.get() + i, rate.get() + i + count, 0.0f);
            std::fill(detail.get() + i, detail.get() + i + count, 0.0f);
        }
        if (filled == 0)
            continue;
        block.lanes = (filled + 15) / 16 * 16;
        // The spare lanes repeat the first pixel's colour, which leaves the block's box
        // of colours as it is.
        std::fill(block.a + filled, block.a + block.lanes, block.a[0]);
        std::fill(block.b + filled, block.b + block.lanes, block.b[0]);
        if (takesSamples) {
            const ChromaBox box = prepareLanes(block);
            int chosenCount = 0;
            for (int l = 1; l <= segmentCount; ++l) {
                const PathSegment& s = pass.segments[l - 1];
                // A segment of length zero has no foot point and never qualifies.
                if (s.lengthSquared != 0.0f && footMayLieOn(s, box))
                    chosen[chosenCount++] = l;
            }
            projectBlockOntoPath(block, pass.segments, chosen.data(), chosenCount, sumsHere ? &pending : nullptr);
            degreesOfBlock(block, chromaPoints, pass.prefixLength.data(), pass.pathSize);
        } else {
            std::fill(block.best, block.best + block.lanes, -1.0f);
            std::fill(block.degree, block.degree + block.lanes, 0.0f);
        }
        indicesOfLanes(block, filled, held, largestOfLanes);

        if (filled == count) {
            // A run of masked pixels: its results are contiguous.
            streamFloats(block.degree, count, degree.get() + i);
            if (!pass.restart)
                streamFill(0.0f, count, rate.get() + i);
            // With several shares the sums read the detail back straight after the share.
            if (sumsHere)
                streamFloats(block.lightness, count, detail.get() + i);
            else
                std::copy(block.lightness, block.lightness + count, detail.get() + i);
            if (!sumsHere)
                std::copy(block.bucket, block.bucket + count, buckets + i);
        } else {
            for (int k = 0; k < filled; ++k) {
                const int p = block.index[k];
                degree[p] = block.degree[k];
                if (!pass.restart)
                    rate[p] = 0.0f;
                detail[p] = block.lightness[k];
                if (!sumsHere)
                    buckets[p] = block.bucket[k];
            }
        }
        if (sumsHere) {
            // The sums of blocks before this one are all in before its own join them.
            addToBuckets(pending.bucket, pending.lightness, pending.count, pass.totals);
            std::copy(block.bucket, block.bucket + filled, pending.bucket);
            std::copy(block.lightness, block.lightness + filled, pending.lightness);
            pending.count = filled;
        }
        if (takesSamples)
            takeFineSamples(block, filled, samples, held);
    }
    addToBuckets(pending.bucket, pending.lightness, pending.count, pass.totals);
    finishStreaming();
    float largest = 0.0f;
    for (const float lane : largestOfLanes)
        largest = lane > largest ? lane : largest;
    pass.largest[share] = largest;
}

// Adds the lightness of every share placed so far, in share order, unless another thread
// is at it (it then finds this share placed too). Shares a stopped pass skipped are never
// added: their buckets were not written.
void WeatheringModel::sumPlacedShares(PathPass& pass, int share, int begin, int end)
{
    std::unique_lock<std::mutex> lock(pass.sumsLock);
    pass.ranges[share] = {begin, end};
    pass.placed[share] = 1;
    if (pass.summing)
        return;
    pass.summing = true;
    const std::uint8_t* buckets = reinterpret_cast<const std::uint8_t*>(nextDegree.get());
    while (pass.nextToSum < pass.shares && pass.placed[pass.nextToSum] != 0) {
        const std::pair<int, int> range = pass.ranges[pass.nextToSum];
        lock.unlock();
        addToBuckets(buckets + range.first, detail.get() + range.first, range.second - range.first, pass.totals);
        lock.lock();
        ++pass.nextToSum;
    }
    pass.summing = false;
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
        const float* held = pass.held.data() + static_cast<size_t>(share) * fineBinCount;
        for (int k = 0; k < fineBinCount; ++k) {
            const FineSample& s = samples[k];
            if (s.taken != 0 && (binDistance[k] < 0.0f || (held[k] >= 0.0f && held[k] < binDistance[k]))) {
                degreeBins[k].a = s.a;
                degreeBins[k].b = s.b;
                binDistance[k] = held[k];
            }
        }
    }

    // Every bucket a masked pixel reached has a count (already capped, see BucketTotal);
    // the others keep a mean of 0.
    for (int j = 0; j < coarseBinCount; ++j) {
        degreeBins[j].lightnessSum = pass.totals[j].sum;
        degreeBins[j].count = pass.totals[j].count;
        if (degreeBins[j].count > 0.0f)
            meanLightness[j] = degreeBins[j].lightnessSum / degreeBins[j].count;
    }
}
