#pragma once

#include "algebra/vec3.h"

// Conversions between the decoder's float RGB (0..1, no transfer curve) and CIE L*a*b*
// with a D65 white, over flat pixel arrays. All arithmetic is single precision with
// single-precision constants; powers are taken in double and rounded to float, so the
// results are reproducible bit for bit. Input and output arrays must be distinct.

// Converts count pixels from (R, G, B) to (L*, a*, b*). A count <= 0 touches nothing.
void rgbToLab(const MyAlgebra::vec3* in, MyAlgebra::vec3* out, int count);

// Converts count pixels from (L*, a*, b*) to (R, G, B), unclamped: colours outside the
// RGB gamut give components below 0 or above 1. A count <= 0 touches nothing.
void labToRgb(const MyAlgebra::vec3* in, MyAlgebra::vec3* out, int count);

// Converts, in place in rgb, only the pixels of a width x height image that lie in the
// disc of the given radius around (cx, cy) and whose selection value is at least 1.
// The centre is meant to be a whole pixel position; any centre, even one off the image,
// reads and writes only inside the arrays.
void labToRgbInDisc(const MyAlgebra::vec3* lab, MyAlgebra::vec3* rgb, int width, int height, float radius,
                    const float* selection, float cx, float cy);
