#include "imagesave/JpegEncoder.h"

#include <jpeglib.h>

#include <csetjmp>

namespace {

constexpr int jpegQuality = 95;

// libjpeg's own error handler ends the process; this one jumps back with the message.
struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onJpegError(j_common_ptr info)
{
    JpegFailure* failure = reinterpret_cast<JpegFailure*>(info->err);
    (*info->err->format_message)(info, failure->message);
    std::longjmp(failure->jump, 1);
}

void ignoreJpegMessage(j_common_ptr, int) {}

// Holds no C++ object with a destructor: a libjpeg error jumps out of it.
bool compress(jpeg_compress_struct& info, JpegFailure& failure, std::FILE* out, const PictureRows& picture)
{
    if (setjmp(failure.jump))
        return false;
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = picture.channels;
    info.in_color_space = picture.channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, jpegQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::string& text = picture.description;
    if (!text.empty() && text.size() <= 65533)
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(text.data()),
                          static_cast<unsigned int>(text.size()));
    while (info.next_scanline < info.image_height) {
        if (!picture.carryOn(static_cast<int>(info.next_scanline)))
            return false;
        JSAMPROW row = const_cast<JSAMPROW>(picture.rowFromTop(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

bool encodeJpeg(std::FILE* out, const PictureRows& picture, std::string& reason)
{
    if (picture.bitsPerSample != 8 || (picture.channels != 1 && picture.channels != 3)) {
        reason = "JPEG holds 8-bit grey or RGB only";
        return false;
    }
    jpeg_compress_struct info{};
    JpegFailure failure{};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = onJpegError;
    failure.manager.emit_message = ignoreJpegMessage;
    const bool written = compress(info, failure, out, picture);
    jpeg_destroy_compress(&info);
    if (!written)
        reason = std::string("JPEG encoder: ") + failure.message;
    return written;
}
