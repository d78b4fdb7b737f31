#include "LookFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

using MyAlgebra::vec3;

namespace {

double deltaE(const vec3& p, const vec3& q)
{
    const double dl = p.x - q.x, da = p.y - q.y, db = p.z - q.z;
    return std::sqrt(dl * dl + da * da + db * db);
}

// Mean of a*, b* over the (2 reach + 1)^2 square around every pixel (clipped at the
// borders).
void boxChroma(int width, int height, const std::vector<vec3>& lab, int reach, std::vector<float>& a,
               std::vector<float>& b)
{
    const size_t n = static_cast<size_t>(width) * height;
    std::vector<float> rowA(n), rowB(n);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float sa = 0, sb = 0;
            int c = 0;
            for (int k = std::max(0, x - reach); k <= std::min(width - 1, x + reach); ++k, ++c) {
                sa += lab[static_cast<size_t>(y) * width + k].y;
                sb += lab[static_cast<size_t>(y) * width + k].z;
            }
            rowA[static_cast<size_t>(y) * width + x] = sa / c;
            rowB[static_cast<size_t>(y) * width + x] = sb / c;
        }
    a.assign(n, 0);
    b.assign(n, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float sa = 0, sb = 0;
            int c = 0;
            for (int k = std::max(0, y - reach); k <= std::min(height - 1, y + reach); ++k, ++c) {
                sa += rowA[static_cast<size_t>(k) * width + x];
                sb += rowB[static_cast<size_t>(k) * width + x];
            }
            a[static_cast<size_t>(y) * width + x] = sa / c;
            b[static_cast<size_t>(y) * width + x] = sb / c;
        }
}

// Squared Euclidean distance to the nearest marked pixel, exact, two passes of the 1-D
// lower envelope of parabolas.
void distanceTransform1d(const std::vector<double>& f, std::vector<double>& d)
{
    const int n = static_cast<int>(f.size());
    std::vector<int> v(n);
    std::vector<double> z(n + 1);
    int k = 0;
    v[0] = 0;
    z[0] = -std::numeric_limits<double>::infinity();
    z[1] = std::numeric_limits<double>::infinity();
    for (int q = 1; q < n; ++q) {
        double s;
        while (true) {
            s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
            if (s <= z[k] && k > 0)
                --k;
            else
                break;
        }
        if (s <= z[k]) {  // k == 0
            v[0] = q;
            z[1] = std::numeric_limits<double>::infinity();
            continue;
        }
        ++k;
        v[k] = q;
        z[k] = s;
        z[k + 1] = std::numeric_limits<double>::infinity();
    }
    d.assign(n, 0);
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[k + 1] < q)
            ++k;
        d[q] = double(q - v[k]) * (q - v[k]) + f[v[k]];
    }
}

std::vector<double> distanceToMarked(int width, int height, const std::vector<std::uint8_t>& marked)
{
    const double far = 1e20;
    std::vector<double> grid(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < grid.size(); ++i)
        grid[i] = marked[i] ? 0.0 : far;
    std::vector<double> f, d;
    for (int x = 0; x < width; ++x) {
        f.resize(height);
        for (int y = 0; y < height; ++y)
            f[y] = grid[static_cast<size_t>(y) * width + x];
        distanceTransform1d(f, d);
        for (int y = 0; y < height; ++y)
            grid[static_cast<size_t>(y) * width + x] = d[y];
    }
    for (int y = 0; y < height; ++y) {
        f.assign(grid.begin() + static_cast<long>(y) * width, grid.begin() + static_cast<long>(y + 1) * width);
        distanceTransform1d(f, d);
        for (int x = 0; x < width; ++x)
            grid[static_cast<size_t>(y) * width + x] = std::sqrt(d[x]);
    }
    return grid;
}

std::vector<double> averageRanks(const std::vector<double>& values)
{
    std::vector<size_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](size_t p, size_t q) { return values[p] < values[q]; });
    std::vector<double> ranks(values.size());
    for (size_t s = 0; s < order.size();) {
        size_t e = s;
        while (e + 1 < order.size() && values[order[e + 1]] == values[order[s]])
            ++e;
        const double rank = 0.5 * (s + e);
        for (size_t k = s; k <= e; ++k)
            ranks[order[k]] = rank;
        s = e + 1;
    }
    return ranks;
}

double pearson(const std::vector<double>& x, const std::vector<double>& y)
{
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= n;
    my /= n;
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
}

// |c - mean of its 5 x 5 square|^2 of the chroma c = (a*, b*), per pixel.
std::vector<double> highFrequencyChroma(int width, int height, const std::vector<vec3>& lab)
{
    std::vector<float> a, b;
    boxChroma(width, height, lab, 2, a, b);
    std::vector<double> energy(lab.size());
    for (size_t i = 0; i < lab.size(); ++i) {
        const double da = lab[i].y - a[i], db = lab[i].z - b[i];
        energy[i] = da * da + db * db;
    }
    return energy;
}

// Pixels whose colour is more than 20 delta-E from the mean of their 8 neighbours.
std::vector<std::uint8_t> isolatedPixels(int width, int height, const std::vector<vec3>& lab)
{
    std::vector<std::uint8_t> isolated(lab.size(), 0);
    for (int y = 1; y + 1 < height; ++y)
        for (int x = 1; x + 1 < width; ++x) {
            vec3 mean{0, 0, 0};
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx == 0 && dy == 0)
                        continue;
                    const vec3& c = lab[static_cast<size_t>(y + dy) * width + x + dx];
                    mean = {mean.x + c.x / 8, mean.y + c.y / 8, mean.z + c.z / 8};
                }
            const size_t i = static_cast<size_t>(y) * width + x;
            isolated[i] = deltaE(lab[i], mean) > 20.0 ? 1 : 0;
        }
    return isolated;
}

}  // namespace

vec3 medianAround(const LookScene& scene, const std::vector<vec3>& lab, int x, int y)
{
    std::vector<float> c[3];
    for (int ny = std::max(0, y - 2); ny <= std::min(scene.height - 1, y + 2); ++ny)
        for (int nx = std::max(0, x - 2); nx <= std::min(scene.width - 1, x + 2); ++nx) {
            const size_t j = static_cast<size_t>(ny) * scene.width + nx;
            if (!scene.masked[j])
                continue;
            c[0].push_back(lab[j].x);
            c[1].push_back(lab[j].y);
            c[2].push_back(lab[j].z);
        }
    if (c[0].empty())
        return lab[static_cast<size_t>(y) * scene.width + x];
    float m[3];
    for (int k = 0; k < 3; ++k) {
        std::sort(c[k].begin(), c[k].end());
        m[k] = c[k][c[k].size() / 2];
    }
    return {m[0], m[1], m[2]};
}

std::vector<float> pathPositions(const LookScene& scene, const std::vector<vec3>& lab)
{
    std::vector<float> a, b;
    boxChroma(scene.width, scene.height, lab, 4, a, b);
    std::vector<double> before(scene.path.size(), 0.0);
    for (size_t l = 1; l < scene.path.size(); ++l)
        before[l] =
            before[l - 1] + std::hypot(scene.path[l].y - scene.path[l - 1].y, scene.path[l].z - scene.path[l - 1].z);
    const double total = before.back();
    std::vector<float> positions(lab.size(), 0.0f);
    if (!(total > 0))
        return positions;
    for (size_t i = 0; i < lab.size(); ++i) {
        double best = -1, at = 0;
        for (size_t l = 1; l < scene.path.size(); ++l) {
            const double px = scene.path[l - 1].y, py = scene.path[l - 1].z;
            const double ax = scene.path[l].y - px, ay = scene.path[l].z - py;
            const double len2 = ax * ax + ay * ay;
            if (len2 == 0)
                continue;
            const double t = std::clamp(((a[i] - px) * ax + (b[i] - py) * ay) / len2, 0.0, 1.0);
            const double ex = a[i] - (px + t * ax), ey = b[i] - (py + t * ay);
            const double e = ex * ex + ey * ey;
            if (best < 0 || e < best) {
                best = e;
                at = before[l - 1] + t * (before[l] - before[l - 1]);
            }
        }
        positions[i] = static_cast<float>(at / total);
    }
    return positions;
}

float weatheredFrom(const LookScene& scene, const std::vector<float>& photographPositions)
{
    std::vector<float> masked;
    for (size_t i = 0; i < photographPositions.size(); ++i)
        if (scene.masked[i])
            masked.push_back(photographPositions[i]);
    if (masked.empty())
        return 0.5f;
    std::sort(masked.begin(), masked.end());
    const float top = masked[static_cast<size_t>(0.98 * (masked.size() - 1))];
    return std::min(0.5f, top);
}

LookFigures lookFigures(const LookScene& scene, const LookRun& run, float threshold)
{
    const int w = scene.width, h = scene.height;
    const size_t n = scene.photograph.size();
    const std::vector<float> before = pathPositions(scene, scene.photograph);
    const std::vector<float> after = pathPositions(scene, run.forward);
    std::vector<std::uint8_t> weatheredBefore(n), weatheredAfter(n);
    for (size_t i = 0; i < n; ++i) {
        weatheredBefore[i] = scene.masked[i] && before[i] >= threshold;
        weatheredAfter[i] = scene.masked[i] && after[i] >= threshold;
    }

    LookFigures f;
    double masked = 0, covered = 0;
    double unweathered = 0, sumA0 = 0, sumB0 = 0, sumA1 = 0, sumB1 = 0, sumE = 0;
    double cleanBefore = 0, changedEarly = 0, forwardChange = 0, backChange = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!scene.masked[i])
            continue;
        masked += 1;
        covered += weatheredAfter[i];
        forwardChange += deltaE(run.forward[i], scene.photograph[i]);
        backChange += deltaE(run.back[i], scene.photograph[i]);
        if (weatheredBefore[i])
            continue;
        cleanBefore += 1;
        changedEarly += deltaE(run.early[i], scene.photograph[i]) > 5.0;
        if (weatheredAfter[i])
            continue;
        unweathered += 1;
        sumA0 += scene.photograph[i].y;
        sumB0 += scene.photograph[i].z;
        sumA1 += run.forward[i].y;
        sumB1 += run.forward[i].z;
        sumE += deltaE(run.forward[i], scene.photograph[i]);
    }
    f.coverage = masked > 0 ? covered / masked : 0;
    if (unweathered > 0) {
        f.cast = std::hypot((sumA1 - sumA0) / unweathered, (sumB1 - sumB0) / unweathered);
        f.collateral = sumE / unweathered;
    }
    f.earlyChange = cleanBefore > 0 ? changedEarly / cleanBefore : 0;
    f.backError = forwardChange > 0 ? backChange / forwardChange : -1;

    // Texture: newly weathered areas in the result against the photograph's own.
    const std::vector<double> energyAfter = highFrequencyChroma(w, h, run.forward);
    const std::vector<double> energyBefore = highFrequencyChroma(w, h, scene.photograph);
    double own = 0, ownCount = 0, fresh = 0, freshCount = 0;
    for (size_t i = 0; i < n; ++i) {
        if (weatheredBefore[i]) {
            own += energyBefore[i];
            ownCount += 1;
        } else if (weatheredAfter[i]) {
            fresh += energyAfter[i];
            freshCount += 1;
        }
    }
    if (ownCount >= 100 && freshCount >= 100 && own > 0)
        f.texture = (fresh / freshCount) / (own / ownCount);

    // Outliers: isolated pixels of the result that the photograph does not have.
    const std::vector<std::uint8_t> isolatedAfter = isolatedPixels(w, h, run.forward);
    const std::vector<std::uint8_t> isolatedBefore = isolatedPixels(w, h, scene.photograph);
    double fresh_outliers = 0;
    for (size_t i = 0; i < n; ++i)
        fresh_outliers += scene.masked[i] && isolatedAfter[i] && !isolatedBefore[i];
    f.outliers = masked > 0 ? fresh_outliers / (masked / 1e6) : 0;

    // Growth: rank correlation of the step a pixel weathered at (never: after all) with
    // its distance to the photograph's weathered pixels, over the pixels clean at first.
    const std::vector<double> distance = distanceToMarked(w, h, weatheredBefore);
    std::vector<double> when, far;
    bool anyWeathered = false;
    for (size_t i = 0; i < n; ++i) {
        if (!scene.masked[i] || weatheredBefore[i])
            continue;
        when.push_back(run.weatheredAt[i] < 0 ? std::numeric_limits<double>::max() : run.weatheredAt[i]);
        far.push_back(distance[i]);
        anyWeathered = anyWeathered || run.weatheredAt[i] >= 0;
    }
    if (ownCount > 0 && anyWeathered && when.size() > 1)
        f.growth = pearson(averageRanks(when), averageRanks(far));
    return f;
}
