#pragma once

#include <cstddef>
#include <cstdint>

#include "algebra/vec3.h"

// The decoder's samples (DecodeReply.h) turned into the floats the model
// receives, on all cores. The values are exactly those the image library's own
// float conversion gave before the formats had libraries of their own:
// a byte b is b / 255.0f, a 16-bit value v is v / 65535.0f, grey becomes three
// equal components, alpha is dropped, and colour made grey is weighed
// 0.212671 R + 0.715160 G + 0.072169 B: summed in single precision for RGB,
// in double for RGBA, as that library does.

struct SampleLayout {
    int channels;     // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    int sampleBytes;  // 1, 2 or 4 (float: only 1 or 3 channels, already as asked)
};

// Whether samples of this layout can be turned into `wantedChannels` (1 or 3) floats.
bool convertible(SampleLayout layout, int wantedChannels);

// `count` pixels of samples in the layout into RGB or grey; convertible() must hold.
void samplesToRgb(const std::uint8_t* samples, SampleLayout layout, std::size_t count, MyAlgebra::vec3* rgb);
void samplesToGrey(const std::uint8_t* samples, SampleLayout layout, std::size_t count, float* grey);

// `rows` rows of `width` pixels, top row first, into a picture stored bottom row
// first: row r of the samples becomes the pixels at topRow - r * width.
void rowsToRgb(const std::uint8_t* samples, SampleLayout layout, std::size_t width, std::size_t rows,
               MyAlgebra::vec3* topRow);
void rowsToGrey(const std::uint8_t* samples, SampleLayout layout, std::size_t width, std::size_t rows, float* topRow);
