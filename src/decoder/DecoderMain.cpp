// weathering-decode: decodes one image file in a process of its own, so that a
// file that crashes, hangs or takes over the image library harms only this
// process. The tool starts it for every load:
//   weathering-decode <channels: 1 or 3> <memory limit in MB> <cpu seconds> <file name>
// with the open file on standard input; the reply (DecodeReply.h) goes to
// standard output.

#include <IL/il.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "decoder/DecoderSandbox.h"
#include "decoder/JpegCmyk.h"
#include "decodereply/DecodeReply.h"

namespace {

constexpr int inputFd = 0;
constexpr int replyFd = 1;

bool writeAll(const void* data, std::size_t bytes)
{
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = write(replyFd, next, bytes);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

bool writeBytesAsFloats(const ILubyte* bytes, std::size_t count)
{
    static float block[16384];
    const std::size_t blockLength = sizeof block / sizeof block[0];
    for (std::size_t start = 0; start < count; start += blockLength) {
        const std::size_t length = count - start < blockLength ? count - start : blockLength;
        for (std::size_t i = 0; i < length; ++i) block[i] = bytes[start + i] / 255.0f;
        if (!writeAll(block, length * sizeof(float))) return false;
    }
    return true;
}

int reply(DecodeOutcome outcome, int width = 0, int height = 0, std::uint32_t channels = 0)
{
    const DecodeReply header = {decodeReplyMagic, outcome, width, height, channels, ilGetError()};
    return writeAll(&header, sizeof header) ? 0 : 1;
}

// The library reads a CMYK or YCCK JPEG as four bytes of ink a pixel.
void convertJpegInks(ILenum type, std::FILE* input)
{
    if (type != IL_JPG || ilGetInteger(IL_IMAGE_FORMAT) != IL_RGBA ||
        ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE)
        return;
    const std::size_t count = static_cast<std::size_t>(ilGetInteger(IL_IMAGE_WIDTH)) *
                              static_cast<std::size_t>(ilGetInteger(IL_IMAGE_HEIGHT));
    cmykToRgba(ilGetData(), count, jpegHasAdobeMarker(input));
}

int decode(ILenum format, const char* name)
{
    std::FILE* input = fdopen(inputFd, "rb");
    if (!input) return 1;
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    // The type by the name's extension first, then by the contents, as the
    // library does when it opens a file by name.
    ILenum type = ilTypeFromExt(name);
    if (type == IL_TYPE_UNKNOWN) type = ilDetermineTypeF(input);
    std::fseek(input, 0, SEEK_SET);

    if (!confineToDecoding(inputFd, replyFd)) return 1;
    if (!ilLoadF(type, input)) return reply(decodeFailed);
    convertJpegInks(type, input);
    const int width = ilGetInteger(IL_IMAGE_WIDTH);
    const int height = ilGetInteger(IL_IMAGE_HEIGHT);
    if (width > largestImageSide || height > largestImageSide) return reply(sizeRefused, width, height);
    const std::uint32_t channels = format == IL_RGB ? 3 : 1;
    // Eight-bit pictures go out as floats a block at a time: the library's own
    // float conversion gives the same values (b / 255.0f) but holds the whole
    // picture as floats at once and is many times slower. Not for colour made
    // grey: the library computes that luminance in floats, finer than bytes.
    const bool streamBytes = ilGetInteger(IL_IMAGE_TYPE) == IL_UNSIGNED_BYTE &&
                             (format == IL_RGB || ilGetInteger(IL_IMAGE_FORMAT) == IL_LUMINANCE);
    if (ilConvertImage(format, streamBytes ? IL_UNSIGNED_BYTE : IL_FLOAT) != IL_TRUE) return reply(conversionFailed);
    ilDisable(IL_ORIGIN_SET);

    const ILubyte* pixels = ilGetData();
    const std::size_t bytesPerValue = streamBytes ? 1 : sizeof(float);
    if (width <= 0 || height <= 0 || !pixels ||
        ilGetInteger(IL_IMAGE_BPP) != static_cast<int>(channels * bytesPerValue))
        return reply(conversionFailed);
    if (reply(decoded, width, height, channels) != 0) return 1;
    const std::size_t values = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * channels;
    if (!streamBytes) return writeAll(pixels, values * sizeof(float)) ? 0 : 1;
    return writeBytesAsFloats(pixels, values) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: weathering-decode <1|3> <megabytes> <cpu seconds> <file name>\n");
        return 2;
    }
    const int channels = std::atoi(argv[1]);
    if ((channels != 1 && channels != 3) || !limitResources(std::atol(argv[2]), std::atol(argv[3]))) return 2;
    return decode(channels == 3 ? IL_RGB : IL_LUMINANCE, argv[4]);
}
