#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writers of small picture files of every layout the formats allow, through the
// formats' own libraries, for the decoder's tests. Samples are given top row
// first, `channels` a pixel, 8-bit values in bytes and 16-bit values in
// native uint16 (`wide`).
struct TestSamples {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> wide;
};

// A busy pattern (gradients and noise over every value) of the given layout.
TestSamples testSamples(int width, int height, int channels, bool sixteenBits, unsigned seed);

// PNG of any colour type (0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA)
// and bit depth; a palette is built from the first channel. `transparent` adds
// a tRNS chunk; `interlaced` writes Adam7.
bool writePng(const std::string& path, const TestSamples& samples, int colourType, int bitDepth, bool transparent,
              bool interlaced, double gamma = 0);

// JPEG: 1 channel grey, 3 RGB (with chroma subsampling or not), 4 CMYK with the
// Adobe marker. `exifOrientation` 0 writes no EXIF block.
bool writeJpeg(const std::string& path, const TestSamples& samples, bool subsampled, bool progressive,
               int exifOrientation = 0);

// TIFF of 1, 2, 3 or 4 channels at 8 or 16 bits (photometric grey, RGB, or
// CMYK for `cmyk`), with a compression and an orientation tag.
bool writeTiff(const std::string& path, const TestSamples& samples, int compression, bool cmyk = false,
               int orientation = 1);

// WebP, lossy or lossless, of 3 or 4 channels.
bool writeWebp(const std::string& path, const TestSamples& samples, bool lossless);

// The whole of a file, empty when it cannot be read.
std::vector<std::uint8_t> fileBytes(const std::string& path);

// Binary PNM: P5 for 1 channel, P6 for 3, at 8 or 16 bits.
bool writePnm(const std::string& path, const TestSamples& samples);
