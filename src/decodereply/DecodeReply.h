#pragma once

#include <cstdint>

// What the decoder process (weathering-decode) writes on its standard output:
// one DecodeReply, then, when `outcome` is `decoded`, the picture's rows top row
// first, in bands as the decoder makes them: each a DecodeBand and its `rows`
// rows of width pixels of `channels` samples of `sampleBytes` each. A band of
// no rows ends the reply, and nothing follows it: its `failure` is noFailure
// after all the rows, or says why the file could not be read after all (a file
// cut short is found out only when its rows run out). Samples keep the file's
// own depth: 1 (a byte, 255 is white), 2 (a native-endian 16-bit value, 65535
// is white) or 4 (a float, only for float files, already in the channels asked
// for). The reader treats all of it as hostile.
struct DecodeReply {
    std::uint32_t magic;
    std::uint32_t outcome;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t channels;     // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    std::uint32_t sampleBytes;  // 1, 2 or 4
    std::uint32_t failure;      // a DecodeFailure: why a file could not be read, or what was odd in one that was
};

constexpr std::uint32_t decodeReplyMagic = 0x33434457;  // "WDC3"

// Rows sent together, so that the tool turns them into floats while the decoder
// makes the next ones.
struct DecodeBand {
    std::uint32_t rows;     // 0: the last band
    std::uint32_t failure;  // in the last band: a DecodeFailure, noFailure when the picture is whole
};

enum DecodeOutcome : std::uint32_t {
    decoded = 0,
    decodeFailed = 1,      // the file could not be read: `failure` says why
    conversionFailed = 2,  // read, but not convertible to the pixels asked for
    sizeRefused = 3,       // width and height give the size the file declares; no pixels follow
};

enum DecodeFailure : std::uint32_t {
    noFailure = 0,
    notAnImage = 1,       // no format the decoder knows
    truncatedFile = 2,    // the data ends before the picture does
    damagedFile = 3,      // the data is malformed
    unsupportedKind = 4,  // a known format, in a variant that is not read
    fileTooLarge = 5,     // the file itself is larger than the decoder may hold
};

// The largest side the decoder hands over; the tool refuses anything larger.
constexpr int largestImageSide = 16384;

// Exit status of a decoder whose allocation failed under its memory limit.
constexpr int decoderOutOfMemoryStatus = 3;
