#pragma once

// What the model's tests share: photographs and scenes made at random, and the model's
// rules written plainly, pixel by pixel, for the passes to agree with bit for bit.

#include "model/WeatheringModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using MyAlgebra::vec3;

inline std::unique_ptr<WeatheringModel> modelOf(const std::vector<vec3>& pixels, int w, int h)
{
    auto m = std::make_unique<WeatheringModel>();
    EXPECT_TRUE(m->initFromImage(pixels.data(), w, h));
    return m;
}

inline std::vector<vec3> randomPhotograph(int w, int h, std::mt19937& rng)
{
    // A few colour families with noise, so that paths run through populated chroma.
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), noise(-0.08f, 0.08f);
    const vec3 base[3] = {
        {unit(rng), unit(rng), unit(rng)}, {unit(rng), unit(rng), unit(rng)}, {unit(rng), unit(rng), unit(rng)}};
    std::vector<vec3> pixels(w * h);
    for (int i = 0; i < w * h; ++i) {
        const float t = unit(rng);
        const vec3& a = base[i % 3 == 0 ? 0 : 1];
        const vec3& b = base[2];
        auto mix = [&](float p, float q) { return std::fmin(1.0f, std::fmax(0.0f, p + t * (q - p) + noise(rng))); };
        pixels[i] = {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z)};
    }
    return pixels;
}

// A Lab colour (L* 50) whose chroma-plane position is exactly (px, py).
inline vec3 labAtChroma(float px, float py)
{
    vec3 lab{50.0f, px / 1.422f - 134.0f, py / 1.954f - 140.0f};
    for (int step = 0; step < 64 && chromaPlanePosition(lab).x != px; ++step)
        lab.y = std::nextafter(lab.y, chromaPlanePosition(lab).x < px ? 1e9f : -1e9f);
    for (int step = 0; step < 64 && chromaPlanePosition(lab).y != py; ++step)
        lab.z = std::nextafter(lab.z, chromaPlanePosition(lab).y < py ? 1e9f : -1e9f);
    EXPECT_EQ(chromaPlanePosition(lab).x, px);
    EXPECT_EQ(chromaPlanePosition(lab).y, py);
    return lab;
}

// A one-row model whose reference colours sit at the given chroma positions. Both the
// colours and the path move by 256 in x and y: only there do the float colour steps fall
// fine enough to hit every whole position exactly; the degrees do not change.
inline std::unique_ptr<WeatheringModel> modelAtChroma(const std::vector<Point2f>& chroma,
                                                      const std::vector<Point2f>& path)
{
    const int w = static_cast<int>(chroma.size());
    auto m = modelOf(std::vector<vec3>(w, vec3{0.5f, 0.5f, 0.5f}), w, 1);
    for (int i = 0; i < w; ++i)
        m->labReference[i] = labAtChroma(chroma[i].x + 256.0f, chroma[i].y + 256.0f);
    m->chromaPoints.clear();
    for (const Point2f& p : path)
        m->chromaPoints.push_back({p.x + 256.0f, p.y + 256.0f});
    m->imagePoints.assign(path.size(), Point2f{0.0f, 0.0f});
    return m;
}

// The degree pass written plainly, pixel by pixel; the model must agree bit for bit.
inline void referenceComputeDegrees(WeatheringModel& m)
{
    const std::vector<Point2f>& p = m.chromaPoints;
    const int n = static_cast<int>(p.size());
    if (n < 2)
        return;
    for (DegreeBin& b : m.degreeBins)
        b = {0.0f, -1000.0f, -1000.0f, 0.0f};
    for (float& d : m.binDistance)
        d = -1.0f;
    for (float& l : m.meanLightness)
        l = 0.0f;
    m.maxDegree = 0.0f;
    auto length2 = [&](int l) {
        const float dx = p[l].x - p[l - 1].x, dy = p[l].y - p[l - 1].y;
        return dx * dx + dy * dy;
    };
    double S = 0.0;
    for (int l = 1; l < n; ++l)
        S += length2(l);
    for (int i = 0; i < m.width * m.height; ++i) {
        if (!(m.mask[i] >= 1.0f))
            continue;
        m.degree[i] = m.rate[i] = m.detail[i] = 0.0f;
        const Point2f g = chromaPlanePosition(m.labReference[i]);
        float best = -1.0f, partial = 0.0f;
        int seg = 1;
        for (int l = 1; l < n && S != 0.0; ++l) {
            const float ax = p[l - 1].x - p[l].x, ay = p[l - 1].y - p[l].y;
            const float den = ax * ax + ay * ay;
            if (den == 0.0f)
                continue;
            const float num = (g.x - p[l].x) * ax + (g.y - p[l].y) * ay;
            const float t = num / den;
            const float qx = p[l].x + t * ax, qy = p[l].y + t * ay;
            if ((qx - p[l].x) * (qx - p[l - 1].x) + (qy - p[l].y) * (qy - p[l - 1].y) <= 0.0f) {
                const float e = (g.x - qx) * (g.x - qx) + (g.y - qy) * (g.y - qy);
                if (e < best || best < 0.0f) {
                    best = e;
                    seg = l;
                    partial = (qx - p[l - 1].x) * (qx - p[l - 1].x) + (qy - p[l - 1].y) * (qy - p[l - 1].y);
                }
            }
        }
        float T = 0.0f;
        if (best >= 0.0f) {
            T = partial;
            for (int l = 1; l < seg; ++l)
                T += length2(l);
        } else {
            int v = 0;
            float dv = 0.0f;
            for (int k = 0; k < n; ++k) {
                const float d = (g.x - p[k].x) * (g.x - p[k].x) + (g.y - p[k].y) * (g.y - p[k].y);
                if (k == 0 || d < dv) {
                    v = k;
                    dv = d;
                }
            }
            for (int l = 1; l <= v; ++l)
                T += length2(l);
        }
        const float degree = S == 0.0 ? 0.0f : static_cast<float>(T / S);
        m.degree[i] = degree;
        if (best >= 0.0f && degree > m.maxDegree)
            m.maxDegree = degree;
        const int j = static_cast<int>(degree * 150.0f);
        m.degreeBins[j].lightnessSum += m.labReference[i].x;
        m.degreeBins[j].count += 1.0f;
        const int k = static_cast<int>(degree * 10000.0f);
        if (S != 0.0 && (m.binDistance[k] < 0.0f || (best >= 0.0f && best < m.binDistance[k]))) {
            m.degreeBins[k].a = m.labReference[i].y;
            m.degreeBins[k].b = m.labReference[i].z;
            m.binDistance[k] = best;
        }
    }
    for (int i = 0; i < m.width * m.height; ++i) {
        if (!(m.mask[i] >= 1.0f))
            continue;
        const int j = static_cast<int>(m.degree[i] * 150.0f);
        m.meanLightness[j] = m.degreeBins[j].lightnessSum / m.degreeBins[j].count;
        m.detail[i] = m.meanLightness[j] == 0.0f ? 0.0f : m.labReference[i].x / m.meanLightness[j];
    }
}

inline float referenceRate(const WeatheringModel& m, int i, bool backwards)
{
    const int x = i % m.width, y = i / m.width;
    float sum = 0.0f, count = 0.0f;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && nx < m.width && ny >= 0 && ny < m.height && m.mask[ny * m.width + nx] >= 1.0f) {
                sum += m.degree[ny * m.width + nx];
                count += 1.0f;
            }
        }
    return backwards ? 1.0f - sum / count : sum / count;
}

inline void referenceUpdate(WeatheringModel& m, int i, float f, bool backwards)
{
    const float d = m.degree[i];
    const DegreeBin& bin = m.degreeBins[static_cast<int>(d * 10000.0f)];
    if (bin.a > -1000.0f)
        m.lab[i] = {m.meanLightness[static_cast<int>(d * 150.0f)] * m.detail[i], bin.a, bin.b};
    float next = backwards ? d - f * m.rate[i] : d + f * m.rate[i];
    if (next > m.maxDegree)
        next = m.maxDegree;
    if (next < 0.0f)
        next = 0.0f;
    m.degree[i] = next;
}

inline void referenceSimulationStep(WeatheringModel& m, bool backwards)
{
    const int n = m.width * m.height;
    for (int i = 0; i < n; ++i)
        if (m.mask[i] >= 1.0f)
            m.rate[i] = referenceRate(m, i, backwards);
    for (int i = 0; i < n; ++i)
        if (m.mask[i] >= 1.0f)
            referenceUpdate(m, i, 0.01f, backwards);
}

template <typename T>
inline bool sameBits(const T* a, const T* b, int count)
{
    return std::memcmp(a, b, sizeof(T) * count) == 0;
}

inline bool sameState(const WeatheringModel& a, const WeatheringModel& b)
{
    const int n = a.width * a.height;
    return a.maxDegree == b.maxDegree && sameBits(a.degree.get(), b.degree.get(), n) &&
        sameBits(a.rate.get(), b.rate.get(), n) && sameBits(a.detail.get(), b.detail.get(), n) &&
        sameBits(a.lab.get(), b.lab.get(), n) && sameBits(a.degreeBins, b.degreeBins, fineBinCount) &&
        sameBits(a.meanLightness, b.meanLightness, coarseBinCount);
}

struct RandomScene {
    int w, h;
    std::vector<vec3> pixels;
    std::vector<float> mask;
    std::vector<Point2f> clicks;
};

inline RandomScene randomScene(std::mt19937& rng)
{
    std::uniform_int_distribution<int> size(1, 48), points(2, 7);
    RandomScene s;
    s.w = size(rng);
    s.h = size(rng);
    s.pixels = randomPhotograph(s.w, s.h, rng);
    std::bernoulli_distribution masked(0.7);
    s.mask.resize(s.w * s.h);
    for (float& v : s.mask)
        v = masked(rng) ? 1.0f : 0.0f;
    std::uniform_int_distribution<int> px(0, s.w - 1), py(0, s.h - 1);
    const int count = points(rng);
    for (int k = 0; k < count; ++k)
        s.clicks.push_back({static_cast<float>(px(rng)), static_cast<float>(py(rng))});
    return s;
}

inline std::unique_ptr<WeatheringModel> modelOf(const RandomScene& s)
{
    auto m = modelOf(s.pixels, s.w, s.h);
    m->applyMaskImage(s.mask.data(), s.w * s.h);
    for (const Point2f& c : s.clicks)
        m->addPathPoint(c.x, c.y);
    m->reinitialise(s.pixels.data(), ModelSettings{});
    return m;
}

constexpr float justAboveOne = 1.0000001f;  // one unit in the last place, the pinned arithmetic allows it
