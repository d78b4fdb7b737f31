#pragma once

#include "algebra/vec3.h"

#include <cstdint>
#include <vector>

// The figures of the look benchmark (README.md beside this file defines each one), from
// pictures in CIE L*a*b*: the photograph, the model's colours after some steps, and the
// mask. Every picture is width x height, row-major. Independent of the model: a pixel
// counts as weathered by where its lightly smoothed chroma lies along the path.

struct LookScene {
    int width = 0;
    int height = 0;
    std::vector<MyAlgebra::vec3> photograph;  // L*a*b*
    std::vector<std::uint8_t> masked;         // 1 takes part
    std::vector<MyAlgebra::vec3> path;        // L*a*b* of the path points, clean first
};

// The median colour of the masked pixels of the 5 x 5 square around (x, y) of a picture.
MyAlgebra::vec3 medianAround(const LookScene& scene, const std::vector<MyAlgebra::vec3>& lab, int x, int y);

// How far along the path each pixel's chroma lies (0 ... 1), after a 9 x 9 mean of a*, b*.
std::vector<float> pathPositions(const LookScene& scene, const std::vector<MyAlgebra::vec3>& lab);

// The position from which a pixel counts as weathered: 0.5, or lower when fewer than 2 %
// of the photograph's masked pixels reach 0.5 (then the position of its top 2 %).
float weatheredFrom(const LookScene& scene, const std::vector<float>& photographPositions);

struct LookFigures {
    double coverage = 0;     // share of masked pixels weathered after the steps
    double cast = -1;        // shift of mean (a*, b*) where nothing weathered (-1: nowhere)
    double collateral = -1;  // mean delta-E there
    double texture = -1;     // high-frequency chroma energy, new vs own weathered areas
    double outliers = 0;     // new isolated pixels per megapixel
    double growth = -2;      // rank correlation of weathering time with distance
    double earlyChange = 0;  // share of unweathered pixels moved > 5 delta-E early
    double backError = -1;   // mean delta-E after forward and back over forward's
};

// What one run of a look left: the colours after the forward steps, after the early
// steps, after as many steps back, and for each pixel the step at which it first counted
// as weathered (-1: never).
struct LookRun {
    std::vector<MyAlgebra::vec3> forward;
    std::vector<MyAlgebra::vec3> early;
    std::vector<MyAlgebra::vec3> back;
    std::vector<int> weatheredAt;
};

LookFigures lookFigures(const LookScene& scene, const LookRun& run, float threshold);
