#pragma once

#include <array>
#include <cstdint>

#include "algebra/vec3.h"

// The colours of the degree view. Degree 0 (the path's start) is dark and degree 1
// (its end) bright: L* rises evenly with the degree while the hue turns from violet
// through red to yellow, so that equal steps of degree look like equal steps and
// any two degrees can be told apart. Pixels outside the mask are a neutral grey,
// which no colour of the ramp comes near.
//
// The values are display RGB (the screen's own transfer curve), 0 to 1.

// The ramp at a degree; degrees outside 0 to 1 (and NaN, as 0) take the nearest end.
MyAlgebra::vec3 degreeMapColour(float degree);

// The colour of a pixel outside the mask.
MyAlgebra::vec3 unmaskedDegreeColour();

struct Rgba8 {
    std::uint8_t r, g, b, a;
};

constexpr int degreeMapSize = 256;

// The ramp sampled for painting: entry k is the colour of degree k / 255, opaque.
std::array<Rgba8, degreeMapSize> degreeMapTable();

// The table entry a degree is painted with: the nearest sample, ends clamped.
int degreeMapIndex(float degree);

// The degree view of count pixels as 8-bit RGBA (bytes R, G, B, A, as rgbToRgba8 writes
// them): a masked pixel (mask >= 1) by its degree's table entry, any other grey.
void paintDegreeView(const float* degree, const float* mask, int count, std::uint32_t* rgba);

// Display RGB from linear RGB and back, for the screen's standard transfer curve.
float encodeDisplay(float linear);
float decodeDisplay(float display);
