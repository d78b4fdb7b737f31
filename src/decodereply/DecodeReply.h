#pragma once

#include <cstdint>

// What the decoder process (weathering-decode) writes on its standard output:
// one DecodeReply, then, when `outcome` is `decoded`, width * height * channels
// floats, row 0 at the bottom. The reader treats all of it as hostile.
struct DecodeReply {
    std::uint32_t magic;
    std::uint32_t outcome;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t channels;
    std::uint32_t devilError;  // the newest pending decoder error code, 0 for none
};

constexpr std::uint32_t decodeReplyMagic = 0x31434457;  // "WDC1"

enum DecodeOutcome : std::uint32_t {
    decoded = 0,
    decodeFailed = 1,      // the library could not read the file: devilError says why
    conversionFailed = 2,  // read, but not convertible to float pixels
    sizeRefused = 3,       // width and height give the size; no pixels follow
};

// The largest side the decoder hands over; the tool refuses anything larger.
constexpr int largestImageSide = 16384;

// Exit status of a decoder whose allocation failed under its memory limit.
constexpr int decoderOutOfMemoryStatus = 3;
