#include "decoder/PictureDecoder.h"

#include <cstring>

#include "decoder/DevilDecoder.h"
#include "decoder/JpegDecoder.h"
#include "decoder/PngDecoder.h"
#include "decoder/TiffDecoder.h"
#include "decoder/WebpDecoder.h"

namespace {

bool startsWith(FileBytes file, const char* magic, std::size_t length, std::size_t offset = 0)
{
    return file.size >= offset + length && std::memcmp(file.data + offset, magic, length) == 0;
}

bool isJpeg(FileBytes file)
{
    return startsWith(file, "\xFF\xD8\xFF", 3);
}
bool isPng(FileBytes file)
{
    return startsWith(file, "\x89PNG\r\n\x1A\n", 8);
}
bool isTiff(FileBytes file)
{
    return startsWith(file, "II*\0", 4) || startsWith(file, "MM\0*", 4) || startsWith(file, "II+\0", 4) ||
        startsWith(file, "MM\0+", 4);
}
bool isWebp(FileBytes file)
{
    return startsWith(file, "RIFF", 4) && startsWith(file, "WEBP", 4, 8);
}

// Keeps the first `kept` of every `channels` samples.
void keepLeadingChannels(DecodedPicture& picture, int kept)
{
    const std::size_t count = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    ::keepLeadingChannels(picture.samples.data(), count, picture.channels, kept, picture.sampleBytes);
    picture.samples.resize(count * static_cast<std::size_t>(kept) * picture.sampleBytes);
    picture.channels = kept;
}

// Grey and alpha is grey either way; RGBA is RGB for a photograph. RGBA asked
// for as grey keeps its alpha: the tool weighs it as the old decoding did.
void dropUnwantedAlpha(DecodedPicture& picture, int wantedChannels)
{
    if (picture.channels == 2)
        keepLeadingChannels(picture, 1);
    if (picture.channels == 4 && wantedChannels == 3)
        keepLeadingChannels(picture, 3);
}

}  // namespace

void keepLeadingChannels(std::uint8_t* samples, std::size_t count, int channels, int kept, int sampleBytes)
{
    const std::size_t pixelBytes = static_cast<std::size_t>(channels) * static_cast<std::size_t>(sampleBytes);
    const std::size_t keptBytes = static_cast<std::size_t>(kept) * static_cast<std::size_t>(sampleBytes);
    for (std::size_t i = 0; i < count; ++i)
        std::memmove(samples + i * keptBytes, samples + i * pixelBytes, keptBytes);
}

DecodeStatus decodePicture(FileBytes file, const char* name, int wantedChannels, DecodedPicture& picture,
                           RowStream* stream)
{
    DecodeStatus status;
    if (isJpeg(file))
        status = decodeJpeg(file, picture, wantedChannels, stream);
    else if (isPng(file))
        status = decodePng(file, wantedChannels, picture);
    else if (isTiff(file))
        status = decodeTiff(file, picture);
    else if (isWebp(file))
        status = decodeWebp(file, picture);
    else
        return decodeWithDevil(file, name, wantedChannels, picture);
    if (status.outcome == decoded && !picture.samples.empty())
        dropUnwantedAlpha(picture, wantedChannels);
    return status;
}
