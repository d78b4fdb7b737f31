#include "decoder/PngDecoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

struct MemoryReader {
    FileBytes file;
    std::size_t position = 0;
    bool endOfData = false;
};

void readFromMemory(png_structp png, png_bytep target, png_size_t length)
{
    MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->file.size - reader->position) {
        reader->endOfData = true;
        png_error(png, "end of data");
    }
    std::memcpy(target, reader->file.data + reader->position, length);
    reader->position += length;
}

// libpng would print these on standard error, which the decoder may not write.
void failQuietly(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}
void ignoreWarning(png_structp, png_const_charp) {}

int channelsFor(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    case PNG_COLOR_TYPE_PALETTE:
        return 1;  // indices, read for grey
    default:
        return 3;
    }
}

// The two steps below keep nothing with a destructor in their frames: libpng's
// errors jump back to their setjmp.

// Reads the header and sets up the expansions. The size is checked here,
// before any pixel is decoded.
DecodeStatus readPngHeader(png_structp png, png_infop info, MemoryReader& reader, DecodedPicture& picture,
                           bool paletteAsIndices)
{
    if (setjmp(png_jmpbuf(png)))
        return DecodeStatus::failed(reader.endOfData ? truncatedFile : damagedFile);
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);
    picture.width = static_cast<int>(png_get_image_width(png, info));
    picture.height = static_cast<int>(png_get_image_height(png, info));
    if (!sizeAccepted(png_get_image_width(png, info), png_get_image_height(png, info)))
        return DecodeStatus::sizeRefused(picture.width, picture.height);

    const int depth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE && paletteAsIndices) {
        png_set_packing(png);  // one index a byte
    } else {
        if (colourType == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(png);
        if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_tRNS_to_alpha(png);
    }
    if (depth == 16)
        png_set_swap(png);  // PNG stores big-endian; the reply carries native 16-bit values
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return DecodeStatus();
}

DecodeStatus readPngRows(png_structp png, png_bytepp rows, MemoryReader& reader)
{
    if (setjmp(png_jmpbuf(png)))
        return DecodeStatus::failed(reader.endOfData ? truncatedFile : damagedFile);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return DecodeStatus();
}

// A palette picture asked for as grey: each entry weighed once, in single
// precision and cut to a byte, as the old decoding did; its alpha is dropped.
void indicesToGrey(png_structp png, png_infop info, DecodedPicture& picture)
{
    png_colorp palette = nullptr;
    int entries = 0;
    png_get_PLTE(png, info, &palette, &entries);
    std::uint8_t grey[256] = {};
    for (int i = 0; i < entries && i < 256; ++i) {
        const float r = palette[i].red, g = palette[i].green, b = palette[i].blue;
        grey[i] = static_cast<std::uint8_t>(r * 0.212671f + g * 0.715160f + b * 0.072169f);
    }
    for (std::uint8_t& sample : picture.samples)
        sample = grey[sample];
}

}  // namespace

DecodeStatus decodePng(FileBytes file, int wantedChannels, DecodedPicture& picture)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning);
    if (!png)
        return DecodeStatus::failed(damagedFile);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{file};
    const bool greyPalette = wantedChannels == 1;
    DecodeStatus status =
        info ? readPngHeader(png, info, reader, picture, greyPalette) : DecodeStatus::failed(damagedFile);
    if (status.outcome == decoded) {
        const int sampleBytes = png_get_bit_depth(png, info) == 16 ? 2 : 1;
        picture.allocate(picture.width, picture.height, channelsFor(png_get_color_type(png, info)), sampleBytes);
        if (png_get_rowbytes(png, info) != picture.rowBytes()) {
            status = DecodeStatus::failed(unsupportedKind);
        } else {
            std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
            for (int y = 0; y < picture.height; ++y)
                rows[static_cast<std::size_t>(y)] = picture.row(y);
            status = readPngRows(png, rows.data(), reader);
            if (status.outcome == decoded && greyPalette && png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE)
                indicesToGrey(png, info, picture);
        }
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return status;
}
