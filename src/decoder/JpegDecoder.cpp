#include "decoder/JpegDecoder.h"

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <csetjmp>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>

#include "decoder/ExifOrientation.h"
#include "decoder/JpegCmyk.h"
#include "decoder/PictureDecoder.h"

namespace {

// libjpeg reports errors by calling error_exit, which must not return: it
// jumps back to decodeJpeg's setjmp. Warnings are counted, never printed (the
// decoder may not write to standard error).
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
    bool endOfData = false;
};

void jumpOut(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void noteWarning(j_common_ptr info, int level)
{
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (level < 0 && errors->manager.msg_code == JWRN_JPEG_EOF)
        errors->endOfData = true;
}

void ignoreMessage(j_common_ptr) {}

int channelsFor(J_COLOR_SPACE space)
{
    return space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
}

// What the EXIF block of the file (APP1) says about its orientation; 1 when none.
int orientationOf(j_decompress_ptr info)
{
    for (jpeg_saved_marker_ptr marker = info->marker_list; marker; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 1) {
            const int orientation = exifOrientation(marker->data, marker->data_length);
            if (orientation != 0)
                return orientation;
        }
    return 1;
}

// Rows a band of a streamed picture holds: enough to keep the pipe's writes
// large, little enough to stay in the cache.
constexpr std::size_t bandBytes = 256 * 1024;

// The file's rows from the band buffer to the stream: inks made light, and
// alpha the tool would only drop left out.
bool sendBand(DecodedPicture& band, int rows, bool invertedInks, int sentChannels, RowStream& stream)
{
    const std::size_t count = static_cast<std::size_t>(band.width) * static_cast<std::size_t>(rows);
    if (band.channels == 4)
        cmykToRgba(band.samples.data(), count, invertedInks);
    if (sentChannels != band.channels)
        keepLeadingChannels(band.samples.data(), count, band.channels, sentChannels, 1);
    return stream.send(band.samples.data(), rows);
}

// The rows into `picture`, whole; or, with a stream, into `band` a band at a
// time, each passed on before the next is decoded.
DecodeStatus readRows(jpeg_decompress_struct& info, JpegErrors& errors, DecodedPicture& picture, int wantedChannels,
                      RowStream* stream, DecodedPicture& band)
{
    const int width = static_cast<int>(info.output_width);
    const int height = static_cast<int>(info.output_height);
    const int channels = channelsFor(info.out_color_space);
    if (info.output_components != channels)
        return DecodeStatus::failed(unsupportedKind);
    DecodedPicture& target = stream ? band : picture;
    const int sentChannels = channels == 4 && wantedChannels == 3 ? 3 : channels;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    const int bandRows = stream
        ? static_cast<int>(std::min<std::size_t>(height, std::max<std::size_t>(1, bandBytes / rowBytes)))
        : height;
    target.allocate(width, bandRows, channels, 1);
    if (stream && !stream->begin(width, height, sentChannels, 1))
        return DecodeStatus::failed(fileTooLarge);
    int filled = 0;
    while (info.output_scanline < info.output_height) {
        // Several rows a call, as many as the library makes at once (two for
        // 4:2:0 files), spare it a copy through a row of its own.
        JSAMPROW rows[16];
        const int asked = std::min(16, bandRows - filled);
        for (int i = 0; i < asked; ++i)
            rows[i] = target.row(filled + i);
        filled += static_cast<int>(jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(asked)));
        // A cut file is padded by the library with grey; a picture half made up is refused.
        if (errors.endOfData)
            return DecodeStatus::failed(truncatedFile);
        if (filled < bandRows)
            continue;
        if (stream && !sendBand(band, filled, info.saw_Adobe_marker != 0, sentChannels, *stream))
            return DecodeStatus::failed(fileTooLarge);
        if (stream)
            filled = 0;
    }
    if (stream && filled > 0 && !sendBand(band, filled, info.saw_Adobe_marker != 0, sentChannels, *stream))
        return DecodeStatus::failed(fileTooLarge);
    jpeg_finish_decompress(&info);
    if (errors.endOfData)
        return DecodeStatus::failed(truncatedFile);
    if (!stream && picture.channels == 4)
        cmykToRgba(picture.samples.data(), picture.samples.size() / 4, info.saw_Adobe_marker != 0);
    return DecodeStatus();
}

// The decode proper. Nothing with a destructor lives in this frame or those it
// calls, so the jump from libjpeg's error handler leaves nothing undone but the
// library's own state, which jpeg_destroy_decompress releases.
DecodeStatus readJpeg(jpeg_decompress_struct& info, JpegErrors& errors, FileBytes file, DecodedPicture& picture,
                      int wantedChannels, RowStream* stream, DecodedPicture& band, int& orientation)
{
    if (setjmp(errors.escape))
        return DecodeStatus::failed(errors.endOfData ? truncatedFile : damagedFile);
    jpeg_mem_src(&info, file.data, static_cast<unsigned long>(file.size));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return DecodeStatus::failed(damagedFile);
    picture.width = static_cast<int>(info.image_width);
    picture.height = static_cast<int>(info.image_height);
    if (!sizeAccepted(info.image_width, info.image_height))
        return DecodeStatus::sizeRefused(info.image_width, info.image_height);
    orientation = orientationOf(&info);
    // Inks stay inks here; they become light band by band or at the end.
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        info.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&info);
    // A picture to be turned needs all its rows first.
    return readRows(info, errors, picture, wantedChannels, orientation == 1 ? stream : nullptr, band);
}

}  // namespace

DecodeStatus decodeJpeg(FileBytes file, DecodedPicture& picture, int wantedChannels, RowStream* stream)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOut;
    errors.manager.emit_message = noteWarning;
    errors.manager.output_message = ignoreMessage;
    jpeg_create_decompress(&info);
    int orientation = 1;
    DecodedPicture band;
    const DecodeStatus status = readJpeg(info, errors, file, picture, wantedChannels, stream, band, orientation);
    jpeg_destroy_decompress(&info);
    if (status.outcome == decoded)
        applyOrientation(picture, orientation);
    return status;
}
