// A stand-in for weathering-decode that misbehaves on purpose, as a decoder
// taken over by a hostile file might. The file it is given names the misdeed
// in its first word; the loader's tests check that the tool survives each.
// Same command line as weathering-decode.

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "decodereply/DecodeReply.h"

namespace {

void send(const void* data, std::size_t bytes)
{
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = write(1, next, bytes);
        if (written <= 0)
            std::_Exit(1);
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
}

void header(std::uint32_t outcome, int width, int height, std::uint32_t channels, std::uint32_t failure = 0,
            std::uint32_t magic = decodeReplyMagic)
{
    const DecodeReply reply = {magic, outcome, width, height, channels, sizeof(float), failure};
    send(&reply, sizeof reply);
}

void band(std::uint32_t rows, std::uint32_t failure = noFailure)
{
    const DecodeBand next = {rows, failure};
    send(&next, sizeof next);
}

// `rows` rows of a 2-pixel-wide picture, values 0.25, as one band.
void rowsOfQuarters(std::uint32_t channels, std::uint32_t rows)
{
    band(rows);
    const std::vector<float> pixels(2 * rows * channels, 0.25f);
    send(pixels.data(), pixels.size() * sizeof(float));
}

// A 2 x 2 picture of the requested channels, values 0.25, in two bands.
void smallPicture(std::uint32_t channels)
{
    header(decoded, 2, 2, channels);
    rowsOfQuarters(channels, 1);
    rowsOfQuarters(channels, 1);
    band(0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const std::uint32_t channels = static_cast<std::uint32_t>(std::atoi(argv[1]));
    std::string misdeed;
    std::cin >> misdeed;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    if (misdeed == "good")
        smallPicture(channels);
    if (misdeed == "crash")
        raise(SIGSEGV);
    if (misdeed == "sleep")
        pause();
    if (misdeed == "closeAndSpin") {
        close(1);
        for (volatile int i = 0;; i = i + 1) {
        }
    }
    if (misdeed == "outOfMemory")
        return decoderOutOfMemoryStatus;
    if (misdeed == "exitWithoutReply")
        return 1;
    if (misdeed == "badMagic")
        header(decoded, 2, 2, channels, 0, 0x12345678);
    if (misdeed == "unknownOutcome")
        header(99, 2, 2, channels);
    if (misdeed == "unknownFailure")
        header(decodeFailed, 0, 0, 0, 0xDEADBEEF);
    if (misdeed == "wrongChannels")
        header(decoded, 2, 2, channels + 4);
    if (misdeed == "negativeSize")
        header(decoded, -2, 2, channels);
    if (misdeed == "zeroSize")
        header(decoded, 0, 7, channels);
    if (misdeed == "impossibleSize")
        header(sizeRefused, -1, -2147483647 - 1, channels);
    if (misdeed == "truncated")
        header(decodeFailed, 0, 0, 0, truncatedFile);
    if (misdeed == "trailingBytes") {
        smallPicture(channels);
        send("extra", 5);
    }
    if (misdeed == "hugeSize")
        header(decoded, 2000000000, 2000000000, channels);
    if (misdeed == "overLargestSide")
        header(decoded, largestImageSide + 1, 1, channels);
    if (misdeed == "shortPixels") {
        header(decoded, 100, 100, channels);
        band(100);
        const std::vector<float> some(10, 0.5f);
        send(some.data(), some.size() * sizeof(float));
    }
    if (misdeed == "moreRowsThanHeight") {
        header(decoded, 2, 2, channels);
        rowsOfQuarters(channels, 3);
        band(0);
    }
    if (misdeed == "endBeforeLastRow") {
        header(decoded, 2, 2, channels);
        rowsOfQuarters(channels, 1);
        band(0);
    }
    if (misdeed == "noEndBand") {
        header(decoded, 2, 2, channels);
        rowsOfQuarters(channels, 2);
    }
    if (misdeed == "failureAfterRows") {
        header(decoded, 2, 2, channels);
        rowsOfQuarters(channels, 1);
        band(0, truncatedFile);
    }
    if (misdeed == "unknownFailureAfterRows") {
        header(decoded, 2, 2, channels);
        rowsOfQuarters(channels, 2);
        band(0, 0xDEADBEEF);
    }
    if (misdeed == "replyThenCrash") {
        smallPicture(channels);
        raise(SIGSEGV);
    }
    if (misdeed == "replyThenHang") {
        smallPicture(channels);
        pause();
    }
    if (misdeed == "endlessReply") {
        smallPicture(channels);
        const std::vector<char> junk(65536, 'x');
        for (;;)
            send(junk.data(), junk.size());
    }
    if (misdeed == "notFinite") {
        header(decoded, 2, 2, channels);
        std::vector<float> pixels(4 * channels, 0.5f);
        pixels[0] = nan;              // pixel 0
        pixels[channels * 2] = inf;   // pixel 2
        pixels[channels * 3] = -inf;  // pixel 3
        // Pixels as the tool stores them, bottom row first; they travel top row first.
        band(2);
        send(pixels.data() + 2 * channels, 2 * channels * sizeof(float));
        send(pixels.data(), 2 * channels * sizeof(float));
        band(0);
    }
    return 0;
}
