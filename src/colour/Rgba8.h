#pragma once

#include "algebra/vec3.h"

#include <cstdint>

// RGB floats to the 8-bit RGBA a GL texture stores for them: each component clamped to
// 0..1 (NaN to 0) and 255 times it rounded to the nearest integer, ties to even; alpha
// 255. Bytes in memory R, G, B, A, for an upload as GL_RGBA / GL_UNSIGNED_BYTE. Uploading
// these bytes gives a texture bit for bit equal to uploading the floats themselves.
void rgbToRgba8(const MyAlgebra::vec3* rgb, std::uint32_t* rgba, int count);
