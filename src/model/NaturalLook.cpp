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
#include <limits>
#include <vector>

using MyAlgebra::vec3;

using namespace naturalLook;

namespace {

// --- the path ----------------------------------------------------------------------

// The polyline of the path in the chroma plane, with its length up to each vertex.
struct Polyline {
    std::vector<Point2f> points;
    std::vector<float> lengthBefore;
    float length = 0.0f;

    explicit Polyline(const std::vector<Point2f>& path) : points(path), lengthBefore(path.size(), 0.0f)
    {
        for (size_t l = 1; l < points.size(); ++l) {
            const float dx = points[l].x - points[l - 1].x;
            const float dy = points[l].y - points[l - 1].y;
            length += std::sqrt(dx * dx + dy * dy);
            lengthBefore[l] = length;
        }
    }

    // How far along the polyline, as a share of its length, the point nearest to g lies;
    // `distance` is how far g is from it.
    float degreeOf(Point2f g, float& distance) const
    {
        distance = 0.0f;
        if (!(length > 0.0f))
            return 0.0f;
        float best = -1.0f;
        float position = 0.0f;
        for (size_t l = 1; l < points.size(); ++l) {
            const Point2f& p = points[l - 1];
            const float ax = points[l].x - p.x;
            const float ay = points[l].y - p.y;
            const float lengthSquared = ax * ax + ay * ay;
            if (lengthSquared == 0.0f)
                continue;
            const float t = clampTo(((g.x - p.x) * ax + (g.y - p.y) * ay) / lengthSquared, 0.0f, 1.0f);
            const float ex = g.x - (p.x + t * ax);
            const float ey = g.y - (p.y + t * ay);
            const float e = ex * ex + ey * ey;
            if (best < 0.0f || e < best) {
                best = e;
                position = lengthBefore[l - 1] + t * (lengthBefore[l] - lengthBefore[l - 1]);
            }
        }
        distance = std::sqrt(std::max(0.0f, best));
        return clampTo(position / length, 0.0f, 1.0f);
    }
};

// Weights of the smoothing of chroma: two 5-pixel boxes one after the other.
constexpr int smoothingReach = 4;
constexpr float smoothingWeights[2 * smoothingReach + 1] = {1, 2, 3, 4, 5, 4, 3, 2, 1};

// Per-bin sums of the pixels of a degree, in fixed point: colour, and the energy of
// the fine detail of lightness and of chroma.
struct BinSums {
    std::int64_t count = 0;
    std::int64_t l = 0, a = 0, b = 0;
    std::int64_t fineCount = 0;
    std::int64_t fineL = 0, fineC = 0;
};

std::int64_t fixedPoint(float value)
{
    return static_cast<std::int64_t>(std::llround(static_cast<double>(value) * fixedUnits));
}

// The root mean square of values over the masked pixels, summed in fixed point so that it
// does not depend on how the work was split.
double maskedRootMeanSquare(const WeatheringModel& m, const float* values)
{
    std::int64_t squares = 0;
    std::int64_t count = 0;
    for (int i = 0; i < m.pixelCount(); ++i) {
        if (!isMasked(m.mask[i]))
            continue;
        const std::int64_t v = fixedPoint(values[i]);
        squares += v * v;
        ++count;
    }
    return count > 0 ? std::sqrt(static_cast<double>(squares) / static_cast<double>(count)) / fixedUnits : 0.0;
}

// The degree below which `share` of the counted pixels lie (bins of 1/size).
float degreeAtShare(const std::vector<double>& counts, int from, int to, double share)
{
    double total = 0.0;
    for (int k = from; k < to; ++k)
        total += counts[k];
    const double wanted = share * total;
    double sum = 0.0;
    for (int k = from; k < to; ++k) {
        sum += counts[k];
        if (sum >= wanted && counts[k] > 0.0)
            return (static_cast<float>(k) + 0.5f) / static_cast<float>(counts.size());
    }
    return (static_cast<float>(to) - 0.5f) / static_cast<float>(counts.size());
}

}  // namespace

vec3 NaturalLook::pathSample(const WeatheringModel& m, int x, int y)
{
    const int i = y * m.width + x;
    float channel[3][25];
    int count = 0;
    for (int ny = std::max(0, y - 2); ny <= std::min(m.height - 1, y + 2); ++ny) {
        for (int nx = std::max(0, x - 2); nx <= std::min(m.width - 1, x + 2); ++nx) {
            const int j = ny * m.width + nx;
            if (!isMasked(m.mask[j]))
                continue;
            channel[0][count] = m.lab[j].x;
            channel[1][count] = m.lab[j].y;
            channel[2][count] = m.lab[j].z;
            ++count;
        }
    }
    if (count == 0)
        return m.lab[i];
    float median[3];
    for (int c = 0; c < 3; ++c) {
        std::sort(channel[c], channel[c] + count);
        median[c] = count % 2 == 1 ? channel[c][count / 2] : 0.5f * (channel[c][count / 2 - 1] + channel[c][count / 2]);
    }
    return {median[0], median[1], median[2]};
}

bool NaturalLook::allocate(int count)
{
    if (count == heldCount && startDegree)
        return true;
    release();
    PixelArray<float>* arrays[] = {&startDegree, &upSpan,  &downSpan, &startWeathered, &spreadSpeed, &arrival,
                                   &before,      &detailL, &detailA,  &detailB,        &startsAt,    &lowest};
    for (PixelArray<float>* array : arrays) {
        *array = allocatePixelArray<float>(static_cast<size_t>(count));
        if (!*array) {
            release();
            std::cerr << "weathering model: no memory for the Natural look of " << count << " pixels\n";
            return false;
        }
    }
    reachedFrom = allocatePixelArray<std::uint8_t>(static_cast<size_t>(count));
    children = allocatePixelArray<std::uint8_t>(static_cast<size_t>(count));
    if (!reachedFrom || !children) {
        release();
        std::cerr << "weathering model: no memory for the Natural look of " << count << " pixels\n";
        return false;
    }
    heldCount = count;
    return true;
}

void NaturalLook::release()
{
    startDegree.reset();
    upSpan.reset();
    downSpan.reset();
    startWeathered.reset();
    detailL.reset();
    detailA.reset();
    detailB.reset();
    spreadSpeed.reset();
    arrival.reset();
    before.reset();
    reachedFrom.reset();
    children.reset();
    startsAt.reset();
    lowest.reset();
    heldCount = 0;
    prepared = false;
}

bool NaturalLook::prepare(WeatheringModel& m)
{
    prepared = false;
    if (!m.hasImage() || m.chromaPoints.size() < 2)
        return false;
    if (!allocate(m.pixelCount()))
        return false;
    smoothedDegrees(m);
    measureFineDetail(m);
    buildTables(m);
    buildTargets(m);
    prepared = true;
    return true;
}

bool NaturalLook::computeDegrees(WeatheringModel& m)
{
    if (!prepare(m))
        return false;
    const int n = m.pixelCount();
    float largest = 0.0f;
    for (int i = 0; i < n; ++i) {
        if (!isMasked(m.mask[i]))
            continue;
        m.degree[i] = startDegree[i];
        m.rate[i] = 0.0f;
        largest = std::max(largest, startDegree[i]);
    }
    m.maxDegree = largest;
    return true;
}

// Each masked pixel's degree from its chroma smoothed over the masked pixels around it:
// enough to remove the blocks of a compressed photograph, little enough to keep edges.
void NaturalLook::smoothedDegrees(const WeatheringModel& m)
{
    const int w = m.width;
    const int h = m.height;
    // Rows of weighted sums of a*, b* and the mask, in three arrays used as scratch.
    float* sumA = upSpan.get();
    float* sumB = downSpan.get();
    float* sumW = before.get();
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y) {
            for (int x = 0; x < w; ++x) {
                float a = 0.0f, b = 0.0f, weight = 0.0f;
                for (int k = -smoothingReach; k <= smoothingReach; ++k) {
                    const int nx = x + k;
                    if (nx < 0 || nx >= w)
                        continue;
                    const int j = y * w + nx;
                    const float s = isMasked(m.mask[j]) ? smoothingWeights[k + smoothingReach] : 0.0f;
                    a += s * m.labReference[j].y;
                    b += s * m.labReference[j].z;
                    weight += s;
                }
                const int i = y * w + x;
                sumA[i] = a;
                sumB[i] = b;
                sumW[i] = weight;
            }
        }
    });
    const Polyline path(m.chromaPoints);
    float* offPath = arrival.get();  // scratch until the arrival times are found
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y) {
            for (int x = 0; x < w; ++x) {
                const int i = y * w + x;
                if (!isMasked(m.mask[i])) {
                    startDegree[i] = 0.0f;
                    offPath[i] = 0.0f;
                    continue;
                }
                float a = 0.0f, b = 0.0f, weight = 0.0f;
                for (int k = -smoothingReach; k <= smoothingReach; ++k) {
                    const int ny = y + k;
                    if (ny < 0 || ny >= h)
                        continue;
                    const int j = ny * w + x;
                    const float s = smoothingWeights[k + smoothingReach];
                    a += s * sumA[j];
                    b += s * sumB[j];
                    weight += s * sumW[j];
                }
                // The pixel itself is masked, so the weight is positive.
                startDegree[i] = path.degreeOf(chromaPlanePosition({0.0f, a / weight, b / weight}), offPath[i]);
            }
        }
    });
    // Colours far beside the path (a red label on a grey door) say little about what
    // its degrees look like: the tables leave out pixels more than a few times the
    // typical distance away.
    const double typical = maskedRootMeanSquare(m, offPath);
    pathReach = std::max(1.0f, static_cast<float>(nearPathReach * typical));
}

bool NaturalLook::counts(const WeatheringModel& m, int i) const
{
    return isMasked(m.mask[i]) && arrival[i] <= pathReach;
}

// Mean and spread of the colours of each degree: fixed-point sums over the masked pixels
// (so any split of the work gives the same tables), smoothed across degrees with weights
// by pixel count, degrees without pixels interpolated between their neighbours.
void NaturalLook::buildTables(const WeatheringModel& m)
{
    const int n = m.pixelCount();
    const int shares = parallel::shareCount(n, 1);
    std::vector<BinSums> sums(static_cast<size_t>(shares) * tableSize);
    parallel::forEachShare(n, 1, [&](int share, int first, int end) {
        BinSums* own = sums.data() + static_cast<size_t>(share) * tableSize;
        for (int i = first; i < end; ++i) {
            if (!isMasked(m.mask[i]))
                continue;
            BinSums& s = own[binOf(startDegree[i])];
            // Texture from every pixel, colour only from those near the path.
            const vec3 fine = fineDetail(i);
            const std::int64_t fl = fixedPoint(fine.x);
            const std::int64_t fa = fixedPoint(fine.y);
            const std::int64_t fb = fixedPoint(fine.z);
            ++s.fineCount;
            s.fineL += fl * fl;
            s.fineC += fa * fa + fb * fb;
            if (!counts(m, i))
                continue;
            ++s.count;
            s.l += fixedPoint(m.labReference[i].x);
            s.a += fixedPoint(m.labReference[i].y);
            s.b += fixedPoint(m.labReference[i].z);
        }
    });
    std::vector<BinSums> bins(tableSize);
    for (int share = 0; share < shares; ++share) {
        for (int k = 0; k < tableSize; ++k) {
            const BinSums& s = sums[static_cast<size_t>(share) * tableSize + k];
            BinSums& t = bins[k];
            t.count += s.count;
            t.l += s.l;
            t.a += s.a;
            t.b += s.b;
            t.fineCount += s.fineCount;
            t.fineL += s.fineL;
            t.fineC += s.fineC;
        }
    }

    // Gaussian smoothing across degrees, weighted by the pixels of each bin.
    constexpr int reach = 12;
    constexpr double sigma = 4.0;
    std::vector<double> smoothed[5];
    std::vector<bool> known(tableSize, false);
    for (std::vector<double>& values : smoothed)
        values.assign(tableSize, 0.0);
    for (int k = 0; k < tableSize; ++k) {
        double weight = 0.0, l = 0.0, a = 0.0, b = 0.0, fineWeight = 0.0, fineL = 0.0, fineC = 0.0;
        for (int j = std::max(0, k - reach); j <= std::min(tableSize - 1, k + reach); ++j) {
            const double g = std::exp(-0.5 * (j - k) * (j - k) / (sigma * sigma));
            const BinSums& s = bins[j];
            weight += g * static_cast<double>(s.count);
            l += g * static_cast<double>(s.l);
            a += g * static_cast<double>(s.a);
            b += g * static_cast<double>(s.b);
            fineWeight += g * static_cast<double>(s.fineCount);
            fineL += g * static_cast<double>(s.fineL);
            fineC += g * static_cast<double>(s.fineC);
        }
        if (weight <= 0.0)
            continue;
        known[k] = true;
        const double units2 = fixedUnits * fixedUnits;
        smoothed[0][k] = l / weight / fixedUnits;
        smoothed[1][k] = a / weight / fixedUnits;
        smoothed[2][k] = b / weight / fixedUnits;
        smoothed[3][k] = std::sqrt(fineL / fineWeight / units2);
        smoothed[4][k] = std::sqrt(0.5 * fineC / fineWeight / units2);
    }
    // Degrees no pixel reaches: linear between the nearest known ones, the ends held.
    int previous = -1;
    for (int k = 0; k <= tableSize; ++k) {
        if (k < tableSize && !known[k])
            continue;
        for (int gap = previous + 1; gap < k; ++gap) {
            for (std::vector<double>& values : smoothed) {
                if (previous < 0 && k == tableSize)
                    values[gap] = 0.0;
                else if (previous < 0)
                    values[gap] = values[k];
                else if (k == tableSize)
                    values[gap] = values[previous];
                else
                    values[gap] = values[previous] + (values[k] - values[previous]) * (gap - previous) / (k - previous);
            }
        }
        previous = k;
    }
    for (int k = 0; k < tableSize; ++k) {
        meanL[k] = static_cast<float>(smoothed[0][k]);
        meanA[k] = static_cast<float>(smoothed[1][k]);
        meanB[k] = static_cast<float>(smoothed[2][k]);
        fineL[k] = std::max(leastFine, static_cast<float>(smoothed[3][k]));
        fineC[k] = std::max(leastFine, static_cast<float>(smoothed[4][k]));
    }
}

// Where each pixel may go: up to a weathered degree and down to a clean one, both picked
// by a smooth noise from the photograph's own degrees, so that weathered areas grow with
// the mix of degrees real ones have. Pixels move up as far as they are not weathered
// yet and down as far as they are, so clean areas stay put under dewethering and
// weathered ones under weathering, and spread only from and to their edges.
void NaturalLook::buildTargets(const WeatheringModel& m)
{
    const int n = m.pixelCount();
    std::vector<double> pixels(tableSize, 0.0);
    for (int i = 0; i < n; ++i)
        if (counts(m, i))
            pixels[binOf(startDegree[i])] += 1.0;
    double total = 0.0;
    for (double c : pixels)
        total += c;
    const int middle = binOf(weatheredFrom);
    double above = 0.0;
    for (int k = middle; k < tableSize; ++k)
        above += pixels[k];
    // The lower end of the weathered degrees: the middle of the path, or lower where
    // too few pixels lie beyond it.
    int weatheredBin = middle;
    if (total > 0.0 && above < leastShare * total) {
        double sum = 0.0;
        weatheredBin = tableSize - 1;
        while (weatheredBin > 0 && sum + pixels[weatheredBin] < leastShare * total)
            sum += pixels[weatheredBin--];
    }
    const float threshold = static_cast<float>(weatheredBin) / static_cast<float>(tableSize);
    float weatheredDegree[quantileSize];
    float cleanDegree[quantileSize];
    for (int q = 0; q < quantileSize; ++q) {
        const double share = (q + 0.5) / quantileSize;
        weatheredDegree[q] = degreeAtShare(pixels, weatheredBin, tableSize, share);
        cleanDegree[q] = degreeAtShare(pixels, 0, std::max(1, weatheredBin), share);
    }

    const int w = m.width;
    const int coarsestCell = std::max(8, std::min(m.width, m.height) / 10);
    float* structure = before.get();  // scratch until a step needs it
    lightnessStructure(m, structure);
    parallel::forEachShare(m.height, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y) {
            for (int x = 0; x < w; ++x) {
                const int i = y * w + x;
                const float d0 = startDegree[i];
                const float weatheredness = smoothStep(threshold - partlyWeathered, threshold, d0);
                const float noise = smoothStep(0.3f, 0.7f, smoothNoise(x, y, coarsestCell, 17u));
                const float pick = clampTo(noise + structureWeight * structure[i], 0.0f, 1.0f);
                const int q = std::min(quantileSize - 1, static_cast<int>(pick * quantileSize));
                startWeathered[i] = weatheredness;
                upSpan[i] = (1.0f - weatheredness) * std::max(0.0f, weatheredDegree[q] - d0);
                downSpan[i] = weatheredness * std::max(0.0f, d0 - cleanDegree[q]);
                // Faster where the photograph already leans to weathered: fronts follow its
                // own pattern as well as the noise.
                const float leaning = 0.5f + clampTo(d0 / std::max(threshold, 0.01f), 0.0f, 1.0f);
                spreadSpeed[i] =
                    leaning * (0.1f + 1.8f * smoothStep(0.25f, 0.75f, smoothNoise(x, y, coarsestCell, 71u)));
            }
        }
    });
    arrivalTimes(m);
}

// Each pixel's L* against the mean of its 5 x 5 square, in spreads of that difference
// over the photograph, clamped to -2 ... 2: where it lies in its own texture.
void NaturalLook::lightnessStructure(const WeatheringModel& m, float* structure) const
{
    const int w = m.width;
    const int h = m.height;
    // The fine detail of L*, over 3 x 3: a single pixel's own noise would otherwise
    // pick a target of its own and stand out.
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y) {
            for (int x = 0; x < w; ++x) {
                float sum = 0.0f;
                float count = 0.0f;
                for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny)
                    for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx) {
                        sum += detailL[ny * w + nx];
                        count += 1.0f;
                    }
                structure[y * w + x] = sum / count;
            }
        }
    });
    const int n = m.pixelCount();
    const double spread = maskedRootMeanSquare(m, structure);
    const float scale = spread > 0.0 ? static_cast<float>(1.0 / spread) : 0.0f;
    for (int i = 0; i < n; ++i)
        structure[i] = clampTo(structure[i] * scale, -2.0f, 2.0f);
}

// When the spread reaches each masked pixel: its shortest distance from the weathered
// pixels over masked pixels, each step weighted by the inverse of the local speed.
// Two sweeps down and up the photograph, twice, in a fixed order.
void NaturalLook::arrivalTimes(const WeatheringModel& m)
{
    const int w = m.width;
    const int h = m.height;
    const int n = m.pixelCount();
    for (int i = 0; i < n; ++i)
        arrival[i] = isMasked(m.mask[i]) && startWeathered[i] >= sourceWeathered ? 0.0f : notReached;
    // The four neighbours a sweep down the photograph has already passed (its mirror for
    // the sweep up).
    const int before[4] = {3, 0, 1, 2};
    auto relax = [&](int x, int y, int sign) {
        const int i = y * w + x;
        if (!isMasked(m.mask[i]) || arrival[i] == 0.0f)
            return;
        float best = arrival[i];
        for (int k : before) {
            const NeighbourOffset& o = neighbours[sign > 0 ? k : oppositeOf(k)];
            const int nx = x + o.dx;
            const int ny = y + o.dy;
            if (nx < 0 || nx >= w || ny < 0 || ny >= h)
                continue;
            const int j = ny * w + nx;
            if (!isMasked(m.mask[j]) || arrival[j] >= notReached)
                continue;
            best = std::min(best, arrival[j] + o.length * 2.0f / (spreadSpeed[i] + spreadSpeed[j]));
        }
        arrival[i] = best;
    };
    for (int round = 0; round < 2; ++round) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                relax(x, y, 1);
        for (int y = h - 1; y >= 0; --y)
            for (int x = w - 1; x >= 0; --x)
                relax(x, y, -1);
    }
    // Each reached pixel's source: the masked neighbour reached first, the lowest number
    // on a tie.
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y) {
            for (int x = 0; x < w; ++x) {
                const int i = y * w + x;
                std::uint8_t from = notFromNeighbour;
                float earliest = arrival[i];
                if (isMasked(m.mask[i]) && earliest > 0.0f && earliest < notReached) {
                    for (int k = 0; k < 8; ++k) {
                        const int nx = x + neighbours[k].dx;
                        const int ny = y + neighbours[k].dy;
                        if (nx < 0 || nx >= w || ny < 0 || ny >= h)
                            continue;
                        const int j = ny * w + nx;
                        if (isMasked(m.mask[j]) && arrival[j] < earliest) {
                            earliest = arrival[j];
                            from = static_cast<std::uint8_t>(k);
                        }
                    }
                }
                reachedFrom[i] = from;
            }
        }
    });
    prepareSteps(m);
}

// What a step reads of the arrival times, per pixel: the share of the way its source
// must have gone before it starts (-inf where the spread starts, +inf where it never
// comes or the pixel is masked out), how far back it may go (+inf: masked out), and
// which neighbours it is the source of.
void NaturalLook::prepareSteps(const WeatheringModel& m)
{
    const int w = m.width;
    const int h = m.height;
    constexpr float never = std::numeric_limits<float>::infinity();
    parallel::forEachShare(h, w, [&](int, int first, int end) {
        for (int y = first; y < end; ++y) {
            for (int x = 0; x < w; ++x) {
                const int i = y * w + x;
                const bool masked = isMasked(m.mask[i]);
                const int from = reachedFrom[i];
                float threshold = never;
                if (masked && arrival[i] == 0.0f)
                    threshold = -never;
                else if (masked && from != notFromNeighbour)
                    threshold = lagBetween(arrival[i + neighbourStep(from, w)], arrival[i]);
                startsAt[i] = threshold;
                lowest[i] = !masked ? never : downSpan[i] > 0.0f ? -longestAge : 0.0f;
                std::uint8_t sourceOf = 0;
                for (int k = 0; k < 8; ++k) {
                    const int nx = x + neighbours[k].dx;
                    const int ny = y + neighbours[k].dy;
                    if (nx >= 0 && nx < w && ny >= 0 && ny < h && reachedFrom[ny * w + nx] == oppositeOf(k))
                        sourceOf |= static_cast<std::uint8_t>(1u << k);
                }
                children[i] = sourceOf;
            }
        }
    });
}
