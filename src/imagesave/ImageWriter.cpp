#include "imagesave/ImageWriter.h"

#include <IL/il.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "imagesave/AtomicFile.h"

namespace ImageWriter {

namespace {

constexpr int jpegQuality = 95;

// The decoder library also encodes. It may already be started by the loader;
// ilInit returns at once when it is.
void startEncoder()
{
    static bool started = false;
    if (started) return;
    started = true;
    ilInit();
}

void dropPendingEncoderErrors()
{
    while (ilGetError() != IL_NO_ERROR) {
    }
}

ILenum encoderTypeOf(FileType type)
{
    switch (type) {
    case FileType::png:
        return IL_PNG;
    case FileType::jpeg:
        return IL_JPG;
    case FileType::tiff:
        return IL_TIF;
    case FileType::bmp:
        return IL_BMP;
    case FileType::tga:
        return IL_TGA;
    case FileType::unknown:
        break;
    }
    return IL_TYPE_UNKNOWN;
}

// The encoder writes into our own stream, not to a path of its own: given a
// path it reports a full disk as success. AtomicFile checks every step.
bool encode(const std::string& path, FileType type, const void* pixels, int width, int height, ILubyte channels,
            ILenum format, ILenum componentType, std::string& reason)
{
    AtomicFile file(path);
    if (!file.ok()) {
        reason = file.failureReason();
        return false;
    }
    startEncoder();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool encoded = ilTexImage(width, height, 1, channels, format, componentType, const_cast<void*>(pixels)) == IL_TRUE;
    if (encoded) {
        // Our rows run bottom to top; the encoder flips them into the file's order.
        ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
        ilSetInteger(IL_JPG_QUALITY, jpegQuality);
        dropPendingEncoderErrors();
        encoded = ilSaveF(encoderTypeOf(type), file.stream()) != 0;
    }
    ilDeleteImages(1, &image);
    dropPendingEncoderErrors();
    if (!encoded && !std::ferror(file.stream())) file.fail("the image encoder failed");
    if (!file.commit()) {
        reason = file.failureReason();
        return false;
    }
    return true;
}

bool sizeIsWritable(int width, int height, std::string& reason)
{
    if (width > 0 && height > 0) return true;
    reason = "there is no picture to save";
    return false;
}

}  // namespace

FileType fileTypeOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".png") return FileType::png;
    if (extension == ".jpg" || extension == ".jpeg") return FileType::jpeg;
    if (extension == ".tif" || extension == ".tiff") return FileType::tiff;
    if (extension == ".bmp") return FileType::bmp;
    if (extension == ".tga") return FileType::tga;
    return FileType::unknown;
}

const char* knownExtensions()
{
    return ".png, .jpg, .jpeg, .tif, .tiff, .bmp or .tga";
}

std::uint8_t channelByte(float value)
{
    if (!(value > 0.0f)) return 0;  // also NaN
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

bool saveRgb(const std::string& path, const MyAlgebra::vec3* rgb, int width, int height, std::string& reason)
{
    const FileType type = fileTypeOf(path);
    if (type == FileType::unknown) {
        reason = std::string("unknown file type (use ") + knownExtensions() + ")";
        return false;
    }
    if (!sizeIsWritable(width, height, reason)) return false;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> bytes(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[3 * i] = channelByte(rgb[i].x);
        bytes[3 * i + 1] = channelByte(rgb[i].y);
        bytes[3 * i + 2] = channelByte(rgb[i].z);
    }
    return encode(path, type, bytes.data(), width, height, 3, IL_RGB, IL_UNSIGNED_BYTE, reason);
}

bool saveGrey16Png(const std::string& path, const std::uint16_t* grey, int width, int height, std::string& reason)
{
    if (!sizeIsWritable(width, height, reason)) return false;
    return encode(path, FileType::png, grey, width, height, 1, IL_LUMINANCE, IL_UNSIGNED_SHORT, reason);
}

}  // namespace ImageWriter
