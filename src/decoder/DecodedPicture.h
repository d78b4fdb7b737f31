#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "decodereply/DecodeReply.h"

// An allocator whose resize leaves new bytes as they come: a picture's samples
// are all written by the decoder, and zeroing hundreds of megabytes first would
// cost as much as a good part of the decode.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    template <typename U>
    void construct(U* at) noexcept
    {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Arguments>
    void construct(U* at, Arguments&&... arguments)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Arguments>(arguments)...);
    }
};
using SampleBuffer = std::vector<std::uint8_t, UnsetAllocator<std::uint8_t>>;

// A file's pixels as its format library hands them over, at the file's own
// depth, before any conversion to floats.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    int channels = 0;     // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    int sampleBytes = 1;  // 1, 2 (uint16) or 4 (float)
    bool bottomRowFirst = false;
    SampleBuffer samples;

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

// Where a decoder that can hand rows over as it makes them sends them, top row
// first, so that the tool turns them into floats while the rest is decoded.
class RowStream {
public:
    virtual ~RowStream() = default;
    // The shape of the rows to come; once, before the first rows. False when they cannot be passed on.
    virtual bool begin(int width, int height, int channels, int sampleBytes) = 0;
    // The next `count` rows, packed. False when they cannot be passed on.
    virtual bool send(const std::uint8_t* rows, int count) = 0;
};

// How a decode ended; `decoded` leaves a whole picture behind.
struct DecodeStatus {
    DecodeOutcome outcome = decoded;
    DecodeFailure failure = noFailure;

    static DecodeStatus failed(DecodeFailure why) { return {decodeFailed, why}; }
    // A size that is not accepted: too large is refused as such (the tool says
    // the size); none at all (a side of 0) is a damaged file.
    static DecodeStatus sizeRefused(long long width, long long height)
    {
        if (width <= 0 || height <= 0)
            return failed(damagedFile);
        return {::sizeRefused, noFailure};
    }
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
