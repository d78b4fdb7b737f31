#include "decoder/JpegDecoder.h"

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <csetjmp>

#include <jerror.h>
#include <jpeglib.h>

#include "decoder/ExifOrientation.h"
#include "decoder/JpegCmyk.h"

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
    if (level < 0 && errors->manager.msg_code == JWRN_JPEG_EOF) errors->endOfData = true;
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
            if (orientation != 0) return orientation;
        }
    return 1;
}

// The decode proper. Nothing with a destructor lives in this frame, so the
// jump from libjpeg's error handler leaves nothing undone but the library's own
// state, which jpeg_destroy_decompress releases.
DecodeStatus readJpeg(jpeg_decompress_struct& info, JpegErrors& errors, FileBytes file, DecodedPicture& picture,
                      int& orientation)
{
    if (setjmp(errors.escape)) return DecodeStatus::failed(errors.endOfData ? truncatedFile : damagedFile);
    jpeg_mem_src(&info, file.data, static_cast<unsigned long>(file.size));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return DecodeStatus::failed(damagedFile);
    picture.width = static_cast<int>(info.image_width);
    picture.height = static_cast<int>(info.image_height);
    if (!sizeAccepted(info.image_width, info.image_height)) return DecodeStatus::sizeRefused(info.image_width, info.image_height);
    orientation = orientationOf(&info);
    // Inks stay inks here; they become light below.
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) info.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&info);
    picture.allocate(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                     channelsFor(info.out_color_space), 1);
    if (info.output_components != picture.channels) return DecodeStatus::failed(unsupportedKind);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.row(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
        // A cut file is padded by the library with grey; a picture half made up is refused.
        if (errors.endOfData) return DecodeStatus::failed(truncatedFile);
    }
    jpeg_finish_decompress(&info);
    if (errors.endOfData) return DecodeStatus::failed(truncatedFile);
    if (picture.channels == 4)
        cmykToRgba(picture.samples.data(), picture.samples.size() / 4, info.saw_Adobe_marker != 0);
    return DecodeStatus();
}

}  // namespace

DecodeStatus decodeJpeg(FileBytes file, DecodedPicture& picture)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOut;
    errors.manager.emit_message = noteWarning;
    errors.manager.output_message = ignoreMessage;
    jpeg_create_decompress(&info);
    int orientation = 1;
    const DecodeStatus status = readJpeg(info, errors, file, picture, orientation);
    jpeg_destroy_decompress(&info);
    if (status.outcome == decoded) applyOrientation(picture, orientation);
    return status;
}
