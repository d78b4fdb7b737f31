#include "decoder/TiffDecoder.h"

#include <tiffio.h>

#include <cstring>

#include "decoder/ExifOrientation.h"

namespace {

struct MemoryFile {
    FileBytes file;
    toff_t position = 0;
};

tsize_t readFromMemory(thandle_t handle, tdata_t target, tsize_t length)
{
    MemoryFile* memory = static_cast<MemoryFile*>(handle);
    if (length < 0 || memory->position >= memory->file.size)
        return 0;
    const std::size_t left = memory->file.size - static_cast<std::size_t>(memory->position);
    const std::size_t bytes = static_cast<std::size_t>(length) < left ? static_cast<std::size_t>(length) : left;
    std::memcpy(target, memory->file.data + memory->position, bytes);
    memory->position += bytes;
    return static_cast<tsize_t>(bytes);
}

tsize_t refuseWrite(thandle_t, tdata_t, tsize_t)
{
    return -1;
}

toff_t seekInMemory(thandle_t handle, toff_t offset, int whence)
{
    MemoryFile* memory = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR ? memory->position : whence == SEEK_END ? memory->file.size : 0;
    memory->position = base + offset;
    return memory->position;
}

int closeMemory(thandle_t)
{
    return 0;
}

toff_t sizeOfMemory(thandle_t handle)
{
    return static_cast<MemoryFile*>(handle)->file.size;
}

// libtiff would print these on standard error, which the decoder may not write.
void quietHandler(const char*, const char*, va_list) {}

struct QuietLibrary {
    QuietLibrary()
    {
        TIFFSetErrorHandler(quietHandler);
        TIFFSetWarningHandler(quietHandler);
    }
};

// Owns the open TIFF.
class OpenTiff {
public:
    explicit OpenTiff(MemoryFile& memory)
        : tiff(TIFFClientOpen("input", "rm", &memory, readFromMemory, refuseWrite, seekInMemory, closeMemory,
                              sizeOfMemory, nullptr, nullptr))
    {
    }
    ~OpenTiff()
    {
        if (tiff)
            TIFFClose(tiff);
    }
    OpenTiff(const OpenTiff&) = delete;
    OpenTiff& operator=(const OpenTiff&) = delete;
    TIFF* const tiff;
};

std::uint16_t field16(TIFF* tiff, ttag_t tag)
{
    std::uint16_t value = 0;
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

// Grey or RGB of 8 or 16 bits in strips, one plane: read as stored, at its own depth.
bool readsAsStored(TIFF* tiff)
{
    const std::uint16_t channels = field16(tiff, TIFFTAG_SAMPLESPERPIXEL);
    const std::uint16_t bits = field16(tiff, TIFFTAG_BITSPERSAMPLE);
    const std::uint16_t photometric = field16(tiff, TIFFTAG_PHOTOMETRIC);
    const std::uint16_t format = field16(tiff, TIFFTAG_SAMPLEFORMAT);
    return !TIFFIsTiled(tiff) && field16(tiff, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG &&
        (bits == 8 || bits == 16) && format == SAMPLEFORMAT_UINT &&
        ((channels == 1 && photometric == PHOTOMETRIC_MINISBLACK) || (channels == 3 && photometric == PHOTOMETRIC_RGB));
}

DecodeStatus readStored(TIFF* tiff, DecodedPicture& picture)
{
    const int channels = field16(tiff, TIFFTAG_SAMPLESPERPIXEL);
    const int sampleBytes = field16(tiff, TIFFTAG_BITSPERSAMPLE) / 8;
    picture.allocate(picture.width, picture.height, channels, sampleBytes);
    if (static_cast<std::size_t>(TIFFScanlineSize(tiff)) != picture.rowBytes())
        return DecodeStatus::failed(unsupportedKind);
    for (int y = 0; y < picture.height; ++y)
        if (TIFFReadScanline(tiff, picture.row(y), static_cast<std::uint32_t>(y), 0) != 1)
            return DecodeStatus::failed(damagedFile);
    return DecodeStatus();
}

// Every other kind through the RGBA interface, 8 bits a sample.
DecodeStatus readAsRgba(TIFF* tiff, DecodedPicture& picture)
{
    char why[1024];
    if (!TIFFRGBAImageOK(tiff, why))
        return DecodeStatus::failed(unsupportedKind);
    picture.allocate(picture.width, picture.height, 4, 1);
    picture.bottomRowFirst = true;
    // Packed as R, G, B, A in the bytes of each word on a little-endian machine.
    std::uint32_t* raster = reinterpret_cast<std::uint32_t*>(picture.samples.data());
    if (!TIFFReadRGBAImageOriented(tiff, static_cast<std::uint32_t>(picture.width),
                                   static_cast<std::uint32_t>(picture.height), raster, ORIENTATION_BOTLEFT, 0))
        return DecodeStatus::failed(damagedFile);
    return DecodeStatus();
}

}  // namespace

DecodeStatus decodeTiff(FileBytes file, DecodedPicture& picture)
{
    static const QuietLibrary quiet;
    MemoryFile memory{file};
    const OpenTiff open(memory);
    if (!open.tiff)
        return DecodeStatus::failed(damagedFile);
    std::uint32_t width = 0, height = 0;
    TIFFGetField(open.tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(open.tiff, TIFFTAG_IMAGELENGTH, &height);
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    if (!sizeAccepted(width, height))
        return DecodeStatus::sizeRefused(width, height);
    if (!readsAsStored(open.tiff))
        return readAsRgba(open.tiff, picture);
    const DecodeStatus status = readStored(open.tiff, picture);
    // The same numbers as EXIF's: how the stored rows stand.
    if (status.outcome == decoded)
        applyOrientation(picture, field16(open.tiff, TIFFTAG_ORIENTATION));
    return status;
}
