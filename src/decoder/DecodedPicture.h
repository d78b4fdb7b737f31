#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imageopen/DecodeReply.h"

// A file's pixels as its format library hands them over, at the file's own
// depth, before any conversion to floats.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    int channels = 0;     // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    int sampleBytes = 1;  // 1, 2 (uint16) or 4 (float)
    bool bottomRowFirst = false;
    std::vector<std::uint8_t> samples;

    std::size_t rowBytes() const
    {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels) *
               static_cast<std::size_t>(sampleBytes);
    }
    // Sizes the sample array for width x height; the caller fills it.
    void allocate(int newWidth, int newHeight, int newChannels, int newSampleBytes)
    {
        width = newWidth;
        height = newHeight;
        channels = newChannels;
        sampleBytes = newSampleBytes;
        samples.resize(rowBytes() * static_cast<std::size_t>(height));
    }
    std::uint8_t* row(int y) { return samples.data() + rowBytes() * static_cast<std::size_t>(y); }
};

// How a decode ended; `decoded` leaves a whole picture behind.
struct DecodeStatus {
    DecodeOutcome outcome = decoded;
    DecodeFailure failure = noFailure;

    static DecodeStatus failed(DecodeFailure why) { return {decodeFailed, why}; }
    static DecodeStatus sizeRefused() { return {::sizeRefused, noFailure}; }
};

// Whether a size read from a file's header may be decoded at all: checked
// before any pixel is, so a small file that declares a huge picture costs nothing.
inline bool sideAccepted(long long side)
{
    return side > 0 && side <= largestImageSide;
}
inline bool sizeAccepted(long long width, long long height)
{
    return sideAccepted(width) && sideAccepted(height);
}

// The file as read from standard input.
struct FileBytes {
    const std::uint8_t* data;
    std::size_t size;
};
