#include "imagesave/ImageWriter.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "imagesave/AtomicFile.h"
#include "imagesave/BmpEncoder.h"
#include "imagesave/JpegEncoder.h"
#include "imagesave/PngEncoder.h"
#include "imagesave/TgaEncoder.h"
#include "imagesave/TiffEncoder.h"

namespace ImageWriter {

namespace {

bool encodeAs(FileType type, AtomicFile& file, const PictureRows& picture, std::string& reason)
{
    switch (type) {
    case FileType::png:
        return encodePng(file.stream(), picture, reason);
    case FileType::jpeg:
        return encodeJpeg(file.stream(), picture, reason);
    case FileType::tiff:
        return encodeTiff(file.descriptor(), picture, reason);
    case FileType::bmp:
        return encodeBmp(file.stream(), picture, reason);
    case FileType::tga:
        return encodeTga(file.stream(), picture, reason);
    case FileType::unknown:
        break;
    }
    reason = std::string("unknown file type (use ") + knownExtensions() + ")";
    return false;
}

bool save(const std::string& path, FileType type, const PictureRows& picture, std::string& reason)
{
    AtomicFile file(path);
    if (!file.ok()) {
        reason = file.failureReason();
        return false;
    }
    std::string encoderReason;
    const bool encoded = encodeAs(type, file, picture, encoderReason);
    // Also a cancel after the last row: the file must not appear.
    if (picture.job != nullptr && picture.job->cancelled())
        file.fail("cancelled");
    if (!encoded)
        file.fail(encoderReason);
    if (!file.commit()) {
        reason = file.failureReason();
        return false;
    }
    return true;
}

bool sizeIsWritable(int width, int height, std::string& reason)
{
    if (width > 0 && height > 0)
        return true;
    reason = "there is no picture to save";
    return false;
}

}  // namespace

FileType fileTypeOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".png")
        return FileType::png;
    if (extension == ".jpg" || extension == ".jpeg")
        return FileType::jpeg;
    if (extension == ".tif" || extension == ".tiff")
        return FileType::tiff;
    if (extension == ".bmp")
        return FileType::bmp;
    if (extension == ".tga")
        return FileType::tga;
    return FileType::unknown;
}

const char* knownExtensions()
{
    return ".png, .jpg, .jpeg, .tif, .tiff, .bmp or .tga";
}

std::uint8_t channelByte(float value)
{
    if (!(value > 0.0f))
        return 0;  // also NaN
    if (value >= 1.0f)
        return 255;
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

bool saveRgb(const std::string& path, const MyAlgebra::vec3* rgb, int width, int height, std::string& reason,
             const std::string& description, JobProgress* job)
{
    const FileType type = fileTypeOf(path);
    if (type == FileType::unknown) {
        reason = std::string("unknown file type (use ") + knownExtensions() + ")";
        return false;
    }
    if (!sizeIsWritable(width, height, reason))
        return false;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> bytes(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[3 * i] = channelByte(rgb[i].x);
        bytes[3 * i + 1] = channelByte(rgb[i].y);
        bytes[3 * i + 2] = channelByte(rgb[i].z);
    }
    PictureRows picture;
    picture.pixels = bytes.data();
    picture.width = width;
    picture.height = height;
    picture.description = description;
    picture.job = job;
    return save(path, type, picture, reason);
}

bool saveGrey16Png(const std::string& path, const std::uint16_t* grey, int width, int height, std::string& reason,
                   const std::string& description, JobProgress* job)
{
    if (!sizeIsWritable(width, height, reason))
        return false;
    PictureRows picture;
    picture.pixels = grey;
    picture.width = width;
    picture.height = height;
    picture.channels = 1;
    picture.bitsPerSample = 16;
    picture.description = description;
    picture.job = job;
    return save(path, FileType::png, picture, reason);
}

}  // namespace ImageWriter
