#pragma once

// The degree pass over one block of pixels at a time (WeatheringModelDegrees.cpp drives
// it): each step a plain loop over the block's lanes that vectorises, with the same IEEE
// operations in the same order for every lane. Most are built in several copies for the
// processor's vector width (colour/VectorClones.h, on the definitions only: a caller in
// another file calls the one the loader picked).

#include "algebra/Point2f.h"
#include "algebra/vec3.h"

#include <cstdint>
#include <vector>

namespace pathProjection {

constexpr int degreeBlockSize = 256;  // pixels projected onto the path together

// One path segment from P[l-1] (start) to P[l] (end), with A = start - end.
struct PathSegment {
    float startX, startY;
    float endX, endY;
    float ax, ay;
    float lengthSquared;  // A . A, also the segment's term of the path size
};

// Per-pass state of the projection of one block of pixels onto the path, laid out so that
// the loop over a block runs the same arithmetic on every lane without branches. Every
// lane array starts on a cache line.
struct alignas(64) DegreeBlock {
    int index[degreeBlockSize];
    float lightness[degreeBlockSize];  // the pixel's L*, a* and b*
    float a[degreeBlockSize];
    float b[degreeBlockSize];
    float gx[degreeBlockSize];
    float gy[degreeBlockSize];
    float best[degreeBlockSize];      // squared distance to the nearest segment, -1: beside none
    int nearest[degreeBlockSize];     // the vertex nearest to G
    float position[degreeBlockSize];  // T, the squared path length up to the foot point
    float degree[degreeBlockSize];
    int fine[degreeBlockSize];              // the degree's fine bin, -1 outside the table
    std::uint32_t near[degreeBlockSize];    // the lane's degree lay too near a float boundary
    std::uint8_t bucket[degreeBlockSize];   // its coarse bucket, coarseBinCount outside the table
    std::uint8_t mayTake[degreeBlockSize];  // the lane may change its fine bin's sample
    int lanes;                              // lanes in use, a multiple of 16 (those past the pixels hold leftovers)
};

// The smallest and largest G of a block's lanes; NaN coordinates are left out (such a
// pixel's foot is NaN and lies on no segment).
struct ChromaBox {
    float xLow, xHigh, yLow, yHigh;
};

// The chroma sample one share of pixels leaves in a fine bin: the result of the bin rule
// applied to that share's pixels in index order, from an empty bin. Its distance is kept
// apart, in an array of its own (`held`, -1 while the bin is empty), which the lanes'
// test reads.
struct FineSample {
    float a;
    float b;
    int taken;
};

// The packed colours of a run as three plain arrays.
void splitColours(const MyAlgebra::vec3* __restrict colours, int count, float* __restrict lightness,
                  float* __restrict a, float* __restrict b);
int maskedCount(const float* __restrict masks, int count);

// G of every lane and the box of the lanes' G.
ChromaBox prepareLanes(DegreeBlock& block);
// Whether the foot point of some lane of the box may lie on the segment (exact; see there).
bool footMayLieOn(const PathSegment& s, const ChromaBox& box);
// A coarse bucket's lightness sum and pixel count. A count adds 1.0f a pixel, which stops
// growing at 2^24 (2^24 + 1 rounds back to it), as a table's count does.
struct BucketTotal {
    float sum;
    float count;
};
constexpr float largestCount = 16777216.0f;
void addToBuckets(const std::uint8_t* buckets, const float* lightness, int count, BucketTotal* totals);

// A block's lightness, still to be added to the buckets' sums in pixel order. Each
// addition to a sum waits for the one before; made a few at a time while the next block
// is projected, they wait alongside that block's arithmetic instead of holding it up.
struct PendingSums {
    std::uint8_t bucket[degreeBlockSize];
    float lightness[degreeBlockSize];
    int count = 0;
    BucketTotal* totals = nullptr;
};

// Every lane's distance to its nearest segment among the chosen ones (numbers in path
// order) and T, the squared path length up to its foot point. Meanwhile all the pending
// sums are added, if there are any.
void projectBlockOntoPath(DegreeBlock& block, const std::vector<PathSegment>& segments, const int* chosen,
                          int chosenCount, PendingSums* pending);
void degreesOfBlock(DegreeBlock& block, const std::vector<Point2f>& path, const float* __restrict prefixLength,
                    double pathSize);
// The lanes' fine bins and buckets, the largest degree of a lane beside a segment (kept
// per lane position so that the loop vectorises: the largest of the lanes is the largest
// of all), and the lanes that may take the sample of their fine bin, tested against its
// distance in `held`.
constexpr int largestLanes = 16;
void indicesOfLanes(DegreeBlock& block, int filled, const float* __restrict held, float* __restrict largest);
// The rule of the fine bins for the lanes that may take a sample, in lane order, keeping
// each taken sample's distance in `held`.
void takeFineSamples(DegreeBlock& block, int filled, FineSample* samples, float* held);
void lightnessDetail(const float* __restrict degrees, const float* __restrict masks, const float* __restrict means,
                     float* __restrict details, int count);

}  // namespace pathProjection
