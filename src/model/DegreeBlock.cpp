#include "model/DegreeBlock.h"

#include "colour/VectorClones.h"
#include "model/ModelIndexing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using MyAlgebra::vec3;
using namespace modelIndexing;

namespace pathProjection {

namespace {

// A double's last 29 significand bits, which rounding to float drops: a rounding
// boundary lies where they are 2^28. Within 8 units of it a double is too near to tell.
constexpr std::uint64_t droppedByFloat = (std::uint64_t(1) << 29) - 1;
constexpr std::uint64_t nearRoundingStart = (std::uint64_t(1) << 28) - 8;
constexpr std::uint64_t nearRoundingWidth = 17;

}  // namespace

// The packed colours of a run as three plain arrays, so that what follows runs on whole
// vectors of one component.
WEATHERING_VECTOR_CLONES void splitColours(const vec3* __restrict colours, int count, float* __restrict lightness,
                                           float* __restrict a, float* __restrict b)
{
    for (int k = 0; k < count; ++k) {
        lightness[k] = colours[k].x;
        a[k] = colours[k].y;
        b[k] = colours[k].z;
    }
}

WEATHERING_VECTOR_CLONES int maskedCount(const float* __restrict masks, int count)
{
    int masked = 0;
    for (int k = 0; k < count; ++k)
        masked += isMasked(masks[k]) ? 1 : 0;
    return masked;
}

namespace {

// The parameter t of the foot of the perpendicular from G onto the segment's line (0 at
// its end, 1 at its start), and the foot's coordinates: the same operations for every
// lane and for the corners of a block's box.
inline float footParameter(const PathSegment& s, float gx, float gy)
{
    const float numerator = (gx - s.endX) * s.ax + (gy - s.endY) * s.ay;
    return numerator / s.lengthSquared;
}

inline float footX(const PathSegment& s, float t)
{
    return s.endX + t * s.ax;
}

inline float footY(const PathSegment& s, float t)
{
    return s.endY + t * s.ay;
}

}  // namespace

namespace {

constexpr int boxLanes = 16;  // kept per lane position so that the loop vectorises

}  // namespace

// G of every lane (the chromaPlanePosition rule) and the box of the lanes' G, in one pass
// over the block.
WEATHERING_VECTOR_CLONES ChromaBox prepareLanes(DegreeBlock& block)
{
    float xLow[boxLanes], xHigh[boxLanes], yLow[boxLanes], yHigh[boxLanes];
    std::fill(xLow, xLow + boxLanes, INFINITY);
    std::fill(yLow, yLow + boxLanes, INFINITY);
    std::fill(xHigh, xHigh + boxLanes, -INFINITY);
    std::fill(yHigh, yHigh + boxLanes, -INFINITY);
    for (int start = 0; start < block.lanes; start += boxLanes) {
        for (int j = 0; j < boxLanes; ++j) {
            const int k = start + j;
            const float x = static_cast<float>((static_cast<double>(block.a[k]) + 134.0) * static_cast<double>(1.422f));
            const float y = static_cast<float>((static_cast<double>(block.b[k]) + 140.0) * static_cast<double>(1.954f));
            block.gx[k] = x;
            block.gy[k] = y;
            // A NaN coordinate is left out of the box: it compares false.
            xLow[j] = x < xLow[j] ? x : xLow[j];
            xHigh[j] = x > xHigh[j] ? x : xHigh[j];
            yLow[j] = y < yLow[j] ? y : yLow[j];
            yHigh[j] = y > yHigh[j] ? y : yHigh[j];
        }
    }
    ChromaBox box{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (int j = 0; j < boxLanes; ++j) {
        box.xLow = std::min(box.xLow, xLow[j]);
        box.xHigh = std::max(box.xHigh, xHigh[j]);
        box.yLow = std::min(box.yLow, yLow[j]);
        box.yHigh = std::max(box.yHigh, yHigh[j]);
    }
    return box;
}

namespace {

// A lower bound of the rounded (q - end) * (q - start) over the rounded foot coordinates
// q in [low, high] of one axis. Rounding is monotone, so beyond the segment's ends the
// product grows with the distance and its smallest value lies at the nearer end of the
// range; within them neither factor exceeds the segment's extent on that axis.
float productLowerBound(float low, float high, float end, float start)
{
    const float segmentLow = std::min(end, start);
    const float segmentHigh = std::max(end, start);
    if (low > segmentHigh)
        return (low - end) * (low - start);
    if (high < segmentLow)
        return (high - end) * (high - start);
    const float extent = segmentHigh - segmentLow;
    return -(extent * extent);
}

}  // namespace

// Whether the foot point of some pixel of the box may lie on the segment; when not, the
// projection onto it can be skipped without changing any lane. Exact, by monotonicity of
// IEEE rounding: t is monotone in G on each axis (its sign that of A's component), so
// over the box it lies between its values at two corners; the foot's coordinates are
// monotone in t, so each lies between its values at those t; the test
// (Q - end) . (Q - start) <= 0 then cannot pass when the sum of the lower bounds of its
// two products is already positive. Any NaN along the way (infinite coordinates, an
// empty box) answers "may".
bool footMayLieOn(const PathSegment& s, const ChromaBox& box)
{
    const bool xRises = s.ax >= 0.0f;
    const bool yRises = s.ay >= 0.0f;
    const float tLow = footParameter(s, xRises ? box.xLow : box.xHigh, yRises ? box.yLow : box.yHigh);
    const float tHigh = footParameter(s, xRises ? box.xHigh : box.xLow, yRises ? box.yHigh : box.yLow);
    if (!(tLow <= tHigh))
        return true;
    const float x1 = footX(s, tLow), x2 = footX(s, tHigh);
    const float y1 = footY(s, tLow), y2 = footY(s, tHigh);
    if (std::isnan(x1) || std::isnan(x2) || std::isnan(y1) || std::isnan(y2))
        return true;
    const float bound = productLowerBound(std::min(x1, x2), std::max(x1, x2), s.endX, s.startX) +
        productLowerBound(std::min(y1, y2), std::max(y1, y2), s.endY, s.startY);
    return !(bound > 0.0f);
}

namespace {

constexpr int groupLanes = 16;  // lanes whose projection stays in registers over the segments

// The lightness sum and the pixel count of each coarse bucket: the L* of its pixels added
// in pixel order. buckets[i] is pixel i's bucket (coarseBinCount, a spare entry, for
// none), lightness[i] its L*. Eight pixels of one bucket add up in a register; mixed ones
// each in its entry, the sum and the count side by side so that one load and one store
// serve both.
//
// Inlined where it runs: a call inside the projection's loop over its groups would spill
// the vector registers that loop keeps its lanes in.
inline __attribute__((always_inline)) void addRunToBuckets(const std::uint8_t* buckets, const float* lightness,
                                                           int count, BucketTotal* totals)
{
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, buckets + i, sizeof eight);
        const int j = buckets[i];
        if (eight == static_cast<std::uint64_t>(j) * 0x0101010101010101u) {
            float sum = totals[j].sum;
            for (int k = 0; k < 8; ++k)
                sum += lightness[i + k];
            totals[j].sum = sum;
            totals[j].count = std::min(totals[j].count + 8.0f, largestCount);
        } else {
            for (int k = 0; k < 8; ++k) {
                BucketTotal& total = totals[buckets[i + k]];
                total.sum += lightness[i + k];
                total.count += 1.0f;
            }
        }
    }
    for (; i < count; ++i) {
        BucketTotal& total = totals[buckets[i]];
        total.sum += lightness[i];
        total.count += 1.0f;
    }
}

}  // namespace

void addToBuckets(const std::uint8_t* buckets, const float* lightness, int count, BucketTotal* totals)
{
    addRunToBuckets(buckets, lightness, count, totals);
}

// Keeps, lane by lane, the segment whose foot point lies on it and is nearest to G (on
// equal distance the earlier segment stays); then T: the partial length from that
// segment's start to the foot, then the squared lengths of the segments before it, added
// one by one in path order. A lane beside no segment keeps segment 1 and T 0.
WEATHERING_VECTOR_CLONES void projectBlockOntoPath(DegreeBlock& block, const std::vector<PathSegment>& segments,
                                                   const int* chosen, int chosenCount, PendingSums* pending)
{
    // Segments after the last chosen one add nothing to any lane's T.
    const int lastChosen = chosenCount > 0 ? chosen[chosenCount - 1] : 1;
    for (int start = 0; start < block.lanes; start += groupLanes) {
        float best[groupLanes], partial[groupLanes];
        int segment[groupLanes];
        for (int j = 0; j < groupLanes; ++j) {
            best[j] = -1.0f;
            partial[j] = 0.0f;
            segment[j] = 1;
        }
        const float* gx = block.gx + start;
        const float* gy = block.gy + start;
        for (int c = 0; c < chosenCount; ++c) {
            const PathSegment& s = segments[chosen[c] - 1];
            const int number = chosen[c];
            for (int j = 0; j < groupLanes; ++j) {
                const float t = footParameter(s, gx[j], gy[j]);
                const float qx = footX(s, t);
                const float qy = footY(s, t);
                const bool onSegment = (qx - s.endX) * (qx - s.startX) + (qy - s.endY) * (qy - s.startY) <= 0.0f;
                const float ex = gx[j] - qx;
                const float ey = gy[j] - qy;
                const float e = ex * ex + ey * ey;
                // Bitwise, not short-circuit: no branch inside the lane loop.
                const bool nearer = onSegment & ((e < best[j]) | (best[j] < 0.0f));
                const float px = qx - s.startX;
                const float py = qy - s.startY;
                best[j] = nearer ? e : best[j];
                partial[j] = nearer ? px * px + py * py : partial[j];
                segment[j] = nearer ? number : segment[j];
            }
        }
        for (int l = 1; l < lastChosen; ++l) {
            const float length = segments[l - 1].lengthSquared;
            for (int j = 0; j < groupLanes; ++j)
                partial[j] = l < segment[j] ? partial[j] + length : partial[j];
        }
        std::copy(best, best + groupLanes, block.best + start);
        std::copy(partial, partial + groupLanes, block.position + start);
        if (pending != nullptr && start < pending->count)
            addRunToBuckets(pending->bucket + start, pending->lightness + start,
                            std::min(groupLanes, pending->count - start), pending->totals);
    }
    if (pending != nullptr) {
        if (pending->count > block.lanes)
            addToBuckets(pending->bucket + block.lanes, pending->lightness + block.lanes, pending->count - block.lanes,
                         pending->totals);
        pending->count = 0;
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
    if (besideNone > 0) {
        float nearestDistance[degreeBlockSize];
        std::fill(block.nearest, block.nearest + block.lanes, 0);
        for (int v = 0; v < static_cast<int>(path.size()); ++v) {
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
        // T of a lane beside no segment: the squared lengths up to its nearest vertex.
        for (int k = 0; k < block.lanes; ++k) {
            const float vertexPosition = prefixLength[block.nearest[k]];
            block.position[k] = block.best[k] < 0.0f ? vertexPosition : block.position[k];
        }
    }
    // T / S: the quotient rounded to double, then to float. A product with 1 / S lies
    // within two units of the double quotient, so it rounds to the same float unless a
    // float rounding boundary lies that near, or the float is subnormal (it rounds
    // elsewhere then); those few lanes divide.
    const double inverseSize = 1.0 / pathSize;
    std::uint32_t anyNear = 0;
    for (int k = 0; k < block.lanes; ++k) {
        const float position = block.position[k];
        const double quotient = static_cast<double>(position) * inverseSize;
        std::uint64_t bits;
        std::memcpy(&bits, &quotient, sizeof bits);
        // Bitwise, not short-circuit: the loop vectorises.
        const bool near = (((bits & droppedByFloat) - nearRoundingStart) < nearRoundingWidth) |
            ((quotient > 0.0) & (quotient < 0x1p-126));
        block.degree[k] = static_cast<float>(quotient);
        block.near[k] = near ? 1u : 0u;
        anyNear |= block.near[k];
    }
    if (anyNear != 0) {
        for (int k = 0; k < block.lanes; ++k)
            if (block.near[k] != 0)
                block.degree[k] = static_cast<float>(static_cast<double>(block.position[k]) / pathSize);
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

// Every lane's table indices from its degree and its bucket as a byte; the largest degree
// beside a segment, per lane position; and which lanes may change the sample of their
// fine bin, tested against the bins as they were before the block. A bin's distance,
// once a pixel beside the path set it, only falls; so a lane that cannot beat the bin's
// sample before the block cannot beat it after the earlier lanes either.
WEATHERING_VECTOR_CLONES void indicesOfLanes(DegreeBlock& block, int filled, const float* __restrict held,
                                             float* __restrict largest)
{
    for (int k = 0; k < block.lanes; ++k) {
        // Can come out one unit in the last place above 1; the indices still fit.
        const float d = block.degree[k];
        bool inside;
        const int fine = fineIndexOrZero(d, inside);
        block.fine[k] = inside ? fine : -1;
        block.bucket[k] =
            static_cast<std::uint8_t>(static_cast<int>(inside ? d * 150.0f : static_cast<float>(coarseBinCount)));
    }
    // The spare lanes past `filled` repeat the first pixel's colour, so their degree and
    // distance are its: they change no largest.
    for (int start = 0; start < block.lanes; start += largestLanes) {
        for (int j = 0; j < largestLanes; ++j) {
            const int k = start + j;
            const float d = block.degree[k];
            // Bitwise, not short-circuit: the loop vectorises.
            largest[j] = (block.best[k] >= 0.0f) & (d > largest[j]) ? d : largest[j];
        }
    }
    for (int k = 0; k < block.lanes; ++k) {
        const int fine = block.fine[k];
        const float distance = held[fine < 0 ? 0 : fine];
        const float best = block.best[k];
        const bool takes = (distance < 0.0f) | ((best >= 0.0f) & (best < distance));
        block.mayTake[k] = (k < filled) & (fine >= 0) & takes ? 1 : 0;
    }
}

// The exact rule of the fine bins for the lanes that may take a sample, in lane order.
void takeFineSamples(DegreeBlock& block, int filled, FineSample* samples, float* held)
{
    // Lanes come in multiples of 16, so a word of eight flags never reads past them.
    for (int first = 0; first < filled; first += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, block.mayTake + first, sizeof eight);
        while (eight != 0) {
            // Each flag is 0 or 1: clearing the lowest set bit clears its lane.
            const int k = first + __builtin_ctzll(eight) / 8;
            eight &= eight - 1;
            const float best = block.best[k];
            const int fine = block.fine[k];
            if (held[fine] < 0.0f || (best >= 0.0f && best < held[fine])) {
                samples[fine] = {block.a[k], block.b[k], 1};
                held[fine] = best;
            }
        }
    }
}

}  // namespace pathProjection
