#include "imagesave/TiffEncoder.h"

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The fastest deflate level: a save should not keep the user waiting.
constexpr int deflateLevel = 1;

// The descriptor and the first failure, shared by the I/O procedures and the error handler.
struct TiffSink {
    int descriptor;
    std::string reason;
};

TiffSink& sinkOf(thandle_t handle)
{
    return *static_cast<TiffSink*>(static_cast<void*>(handle));
}

tmsize_t readFromSink(thandle_t handle, void* buffer, tmsize_t size)
{
    return read(sinkOf(handle).descriptor, buffer, static_cast<std::size_t>(size));
}

tmsize_t writeToSink(thandle_t handle, void* buffer, tmsize_t size)
{
    TiffSink& sink = sinkOf(handle);
    const char* bytes = static_cast<const char*>(buffer);
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = write(sink.descriptor, bytes + done, static_cast<std::size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (sink.reason.empty())
                sink.reason = n < 0 ? std::strerror(errno) : "write error";
            return -1;
        }
        done += n;
    }
    return done;
}

toff_t seekInSink(thandle_t handle, toff_t offset, int whence)
{
    return static_cast<toff_t>(lseek(sinkOf(handle).descriptor, static_cast<off_t>(offset), whence));
}

int leaveOpen(thandle_t)
{
    return 0;
}

toff_t sizeOfSink(thandle_t handle)
{
    struct stat info;
    return fstat(sinkOf(handle).descriptor, &info) == 0 ? static_cast<toff_t>(info.st_size) : 0;
}

int mapNothing(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapNothing(thandle_t, void*, toff_t) {}

int keepFirstError(TIFF*, void* user, const char*, const char* format, va_list arguments)
{
    TiffSink& sink = *static_cast<TiffSink*>(user);
    if (sink.reason.empty()) {
        char message[256];
        std::vsnprintf(message, sizeof message, format, arguments);
        sink.reason = std::string("TIFF encoder: ") + message;
    }
    return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

bool writeTags(TIFF* tiff, const PictureRows& picture)
{
    const bool rgb = picture.channels == 3;
    bool set = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(picture.width)) &&
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(picture.height)) &&
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(picture.bitsPerSample)) &&
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(picture.channels)) &&
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK) &&
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
        TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, deflateLevel) &&
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) &&
        TIFFSetField(tiff, TIFFTAG_SOFTWARE, writingSoftware());
    if (set && !picture.description.empty())
        set = TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, picture.description.c_str());
    return set;
}

bool writeScanlines(TIFF* tiff, const PictureRows& picture)
{
    // The predictor works in place on the row it is given: it gets a copy.
    std::vector<std::uint8_t> row(picture.rowBytes());
    for (int y = 0; y < picture.height; ++y) {
        if (!picture.carryOn(y))
            return false;
        std::memcpy(row.data(), picture.rowFromTop(y), row.size());
        if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0)
            return false;
    }
    return true;
}

}  // namespace

bool encodeTiff(int descriptor, const PictureRows& picture, std::string& reason)
{
    TiffSink sink{descriptor, {}};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepFirstError, &sink);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, &sink);
    TIFF* tiff = TIFFClientOpenExt("picture", "w", static_cast<thandle_t>(static_cast<void*>(&sink)), readFromSink,
                                   writeToSink, seekInSink, leaveOpen, sizeOfSink, mapNothing, unmapNothing, options);
    TIFFOpenOptionsFree(options);
    bool written = tiff != nullptr && writeTags(tiff, picture) && writeScanlines(tiff, picture);
    // The directory is written at the flush: a full disk may show only here.
    if (tiff != nullptr) {
        written = TIFFFlush(tiff) == 1 && written;
        TIFFClose(tiff);
    }
    written = written && sink.reason.empty();
    if (!written)
        reason = sink.reason.empty() ? "TIFF encoder failed" : sink.reason;
    return written;
}
