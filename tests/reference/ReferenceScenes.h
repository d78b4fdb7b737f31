#pragma once

// The photographs and masks the comparisons of the model with its frozen copy run on.

#include "algebra/vec3.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace referenceScenes {

using MyAlgebra::vec3;

struct Photograph {
    int width = 0;
    int height = 0;
    std::vector<vec3> pixels;
};

// A few colour families with noise, plus pure black, white and repeated colours, so
// that paths run through populated chroma and bins fill unevenly.
inline Photograph randomPhotograph(int width, int height, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), noise(-0.08f, 0.08f);
    std::uniform_int_distribution<int> special(0, 39);
    const vec3 base[3] = {
        {unit(rng), unit(rng), unit(rng)}, {unit(rng), unit(rng), unit(rng)}, {unit(rng), unit(rng), unit(rng)}};
    Photograph p{width, height, std::vector<vec3>(static_cast<size_t>(width) * height)};
    for (size_t i = 0; i < p.pixels.size(); ++i) {
        const int kind = special(rng);
        if (kind == 0) {
            p.pixels[i] = {0.0f, 0.0f, 0.0f};
        } else if (kind == 1) {
            p.pixels[i] = {1.0f, 1.0f, 1.0f};
        } else if (kind == 2 && i > 0) {
            p.pixels[i] = p.pixels[i - 1];
        } else {
            const float t = unit(rng);
            const vec3& a = base[i % 3 == 0 ? 0 : 1];
            const vec3& b = base[2];
            auto mix = [&](float u, float v) { return std::fmin(1.0f, std::fmax(0.0f, u + t * (v - u) + noise(rng))); };
            p.pixels[i] = {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z)};
        }
    }
    return p;
}

inline Photograph photographOfRandomSize(std::mt19937& rng)
{
    static const int fixedSizes[][2] = {{1, 1}, {1, 23}, {19, 1}, {2, 2}, {3, 3}, {2, 7}, {64, 48}, {257, 33}};
    std::uniform_int_distribution<int> pick(0, 15), side(1, 80);
    const int k = pick(rng);
    if (k < 8)
        return randomPhotograph(fixedSizes[k][0], fixedSizes[k][1], rng);
    return randomPhotograph(side(rng), side(rng), rng);
}

// Coin flips, rectangles, all in, all out, grey values around the threshold, and now
// and then a mask of the wrong size.
inline std::vector<float> randomMask(int width, int height, std::mt19937& rng)
{
    const int n = width * height;
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> mask(n, 1.0f);
    switch (kind(rng)) {
    case 0: {
        std::bernoulli_distribution in(unit(rng));
        for (float& m : mask)
            m = in(rng) ? 1.0f : 0.0f;
        break;
    }
    case 1: {
        std::fill(mask.begin(), mask.end(), 0.0f);
        std::uniform_int_distribution<int> x(0, width - 1), y(0, height - 1);
        for (int r = 0; r < 3; ++r) {
            const int x0 = x(rng), x1 = x(rng), y0 = y(rng), y1 = y(rng);
            for (int yy = std::min(y0, y1); yy <= std::max(y0, y1); ++yy)
                for (int xx = std::min(x0, x1); xx <= std::max(x0, x1); ++xx)
                    mask[yy * width + xx] = 1.0f;
        }
        break;
    }
    case 2:
        break;
    case 3:
        std::fill(mask.begin(), mask.end(), 0.0f);
        break;
    case 4: {
        const float grey[] = {0.0f, 0.4f, 0.5f, 0.5001f, 0.6f, 1.0f};
        std::uniform_int_distribution<int> g(0, 5);
        for (float& m : mask)
            m = grey[g(rng)];
        break;
    }
    default: {
        std::bernoulli_distribution in(0.5);
        std::uniform_int_distribution<int> extra(-n / 2, 5);
        mask.resize(std::max(0, n + extra(rng)));
        for (float& m : mask)
            m = in(rng) ? 1.0f : 0.0f;
        break;
    }
    }
    return mask;
}

// c with every component moved by a few units in the last place, up or down at random.
inline vec3 nudged(const vec3& c, std::mt19937& rng, int most)
{
    std::uniform_int_distribution<int> steps(-most, most);
    auto nudge = [&](float v) {
        const int n = steps(rng);
        for (int k = 0; k < std::abs(n); ++k)
            v = std::nextafter(v, n > 0 ? 2.0f : -1.0f);
        return v;
    };
    return {nudge(c.x), nudge(c.y), nudge(c.z)};
}

inline vec3 between(const vec3& a, const vec3& b, float t)
{
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
}

// Rows of 256 like colours, so that a block of the degree pass sits around one path
// point: exactly on it, a few units in the last place off it, just inside or just
// beyond the segments that meet there. Some points lie within a few units of the one
// before, which makes segments so short that rounding decides which side a foot is on.
// Row e holds point e's colour exactly, for clicks.
inline Photograph photographAroundPathPoints(int points, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(0.05f, 0.95f), tiny(-1e-4f, 1e-4f);
    std::vector<vec3> colours;
    for (int e = 0; e < points; ++e) {
        if (e > 0 && std::bernoulli_distribution(0.25)(rng))
            colours.push_back(nudged(colours.back(), rng, 3));
        else
            colours.push_back({unit(rng), unit(rng), unit(rng)});
    }
    Photograph p{256, 6 * points, std::vector<vec3>(static_cast<size_t>(256) * 6 * points)};
    for (int y = 0; y < p.height; ++y) {
        const int e = y % points;
        const vec3& here = colours[e];
        const vec3& next = colours[(e + 1) % points];
        for (int x = 0; x < p.width; ++x) {
            vec3 c = here;
            switch (y / points) {
            case 0:
                break;
            case 1:
                c = nudged(here, rng, 4);
                break;
            case 2:
                c = between(here, next, std::fabs(tiny(rng)));
                break;
            case 3:
                c = between(here, next, 1.0f + tiny(rng));
                break;
            case 4:
                c = between(here, next, tiny(rng));
                break;
            default:
                c = nudged(between(here, next, unit(rng)), rng, 2);
                break;
            }
            p.pixels[static_cast<size_t>(y) * p.width + x] = c;
        }
    }
    return p;
}

}  // namespace referenceScenes
