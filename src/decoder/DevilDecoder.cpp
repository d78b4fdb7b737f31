#include "decoder/DevilDecoder.h"

#include <IL/il.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "decoder/HeaderSize.h"

namespace {

DecodeFailure failureOf(ILenum error)
{
    switch (error) {
    case IL_INVALID_EXTENSION:
    case IL_FORMAT_NOT_SUPPORTED:
    case IL_INVALID_ENUM:
        return notAnImage;
    case IL_FILE_READ_ERROR:
        return truncatedFile;
    default:
        return damagedFile;
    }
}

// Owns the library's image for the length of one decode.
class BoundImage {
public:
    BoundImage()
    {
        ilGenImages(1, &name);
        ilBindImage(name);
    }
    ~BoundImage() { ilDeleteImages(1, &name); }
    BoundImage(const BoundImage&) = delete;
    BoundImage& operator=(const BoundImage&) = delete;

private:
    ILuint name = 0;
};

// The channel layout the picture goes out in, and the library format that
// gives it, for 8- and 16-bit pictures; 0 when the library must make floats.
// Alpha is dropped (the tool would drop it anyway). Colour asked for as grey
// is left to the library: it weighs each of its layouts in a way of its own.
ILenum sameDepthFormat(ILenum format, int wantedChannels)
{
    switch (format) {
    case IL_LUMINANCE:
    case IL_LUMINANCE_ALPHA:
        return IL_LUMINANCE;
    case IL_RGB:
    case IL_BGR:
    case IL_RGBA:
    case IL_BGRA:
    case IL_COLOUR_INDEX:
        return wantedChannels == 3 ? IL_RGB : 0;
    default:
        return 0;
    }
}

int channelsOf(ILenum format)
{
    return format == IL_LUMINANCE ? 1 : format == IL_RGB ? 3 : format == IL_RGBA ? 4 : 0;
}

}  // namespace

void initDevil()
{
    ilInit();
}

DecodeStatus decodeWithDevil(FileBytes file, const char* name, int wantedChannels, DecodedPicture& picture)
{
    if (file.size > UINT_MAX)
        return DecodeStatus::failed(fileTooLarge);
    const BoundImage image;
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    ILenum fileType = ilTypeFromExt(name);
    if (fileType == IL_TYPE_UNKNOWN)
        fileType = ilDetermineTypeL(file.data, static_cast<ILuint>(file.size));
    while (ilGetError() != IL_NO_ERROR) {
    }
    long long declaredWidth = 0, declaredHeight = 0;
    if (declaredSize(file, fileType == IL_TGA, declaredWidth, declaredHeight) &&
        !sizeAccepted(declaredWidth, declaredHeight)) {
        picture.width = static_cast<int>(declaredWidth > INT_MAX ? INT_MAX : declaredWidth);
        picture.height = static_cast<int>(declaredHeight > INT_MAX ? INT_MAX : declaredHeight);
        return DecodeStatus::sizeRefused(declaredWidth, declaredHeight);
    }
    // Read as a stream over the bytes: the library's readers fail more
    // cleanly on a cut file read this way than from a block of memory.
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(file.data), file.size, "rb");
    if (!stream)
        return DecodeStatus::failed(fileTooLarge);
    const bool loaded = ilLoadF(fileType, stream);
    std::fclose(stream);
    if (!loaded) {
        const ILenum error = ilGetError();
        // Contents that no reader claims, whatever the name says, are no picture at all.
        const bool contentsKnown = ilDetermineTypeL(file.data, static_cast<ILuint>(file.size)) != IL_TYPE_UNKNOWN;
        return DecodeStatus::failed(contentsKnown ? failureOf(error) : notAnImage);
    }
    picture.width = ilGetInteger(IL_IMAGE_WIDTH);
    picture.height = ilGetInteger(IL_IMAGE_HEIGHT);
    if (!sizeAccepted(picture.width, picture.height))
        return DecodeStatus::sizeRefused(picture.width, picture.height);

    const ILenum sampleType = static_cast<ILenum>(ilGetInteger(IL_IMAGE_TYPE));
    const bool sameDepth = sampleType == IL_UNSIGNED_BYTE || sampleType == IL_UNSIGNED_SHORT;
    const ILenum layout =
        sameDepth ? sameDepthFormat(static_cast<ILenum>(ilGetInteger(IL_IMAGE_FORMAT)), wantedChannels) : 0;
    const ILenum wanted = wantedChannels == 3 ? IL_RGB : IL_LUMINANCE;
    const ILenum format = layout != 0 ? layout : wanted;
    const ILenum type = layout != 0 ? sampleType : IL_FLOAT;
    if (ilConvertImage(format, type) != IL_TRUE)
        return {conversionFailed, noFailure};
    ilDisable(IL_ORIGIN_SET);

    const int sampleBytes = type == IL_UNSIGNED_BYTE ? 1 : type == IL_UNSIGNED_SHORT ? 2 : 4;
    const ILubyte* pixels = ilGetData();
    const long long bytes = static_cast<long long>(picture.width) * picture.height * channelsOf(format) * sampleBytes;
    // The library's 16-bit PNM reader, for one, claims 16-bit samples but holds
    // 8-bit ones: a picture whose data is not the size its type says is refused.
    if (!pixels || ilGetInteger(IL_IMAGE_WIDTH) != picture.width || ilGetInteger(IL_IMAGE_HEIGHT) != picture.height ||
        ilGetInteger(IL_IMAGE_SIZE_OF_DATA) != bytes)
        return {conversionFailed, noFailure};
    picture.allocate(picture.width, picture.height, channelsOf(format), sampleBytes);
    picture.bottomRowFirst = true;
    std::memcpy(picture.samples.data(), pixels, picture.samples.size());
    return DecodeStatus();
}
