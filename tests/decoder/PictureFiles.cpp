#include "PictureFiles.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

TestSamples testSamples(int width, int height, int channels, bool sixteenBits, unsigned seed)
{
    TestSamples samples;
    samples.width = width;
    samples.height = height;
    samples.channels = channels;
    const std::size_t count = static_cast<std::size_t>(width) * height * channels;
    unsigned state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        const std::size_t pixel = i / channels;
        const unsigned smooth = static_cast<unsigned>((pixel % width) * 7 + (pixel / width) * 5 + (i % channels) * 60);
        const unsigned value = (smooth * 257 + (state >> 16)) & 0xFFFF;
        if (sixteenBits)
            samples.wide.push_back(static_cast<std::uint16_t>(value));
        else
            samples.bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    return samples;
}

namespace {

struct ClosingFile {
    explicit ClosingFile(const std::string& path) : file(std::fopen(path.c_str(), "wb")) {}
    ~ClosingFile()
    {
        if (file)
            std::fclose(file);
    }
    std::FILE* file;
};

// The first channel of pixel i scaled to `bitDepth` bits.
unsigned firstChannel(const TestSamples& samples, std::size_t i, int bitDepth)
{
    const std::size_t at = i * samples.channels;
    const unsigned value = samples.wide.empty() ? samples.bytes[at] * 257u : samples.wide[at];
    return value >> (16 - bitDepth);
}

void packRow(const TestSamples& samples, int y, int colourType, int bitDepth, std::vector<std::uint8_t>& row)
{
    row.assign(static_cast<std::size_t>(samples.width) * samples.channels * 2 + 8, 0);
    if (colourType == PNG_COLOR_TYPE_PALETTE || (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)) {
        for (int x = 0; x < samples.width; ++x) {
            const unsigned v = firstChannel(samples, static_cast<std::size_t>(y) * samples.width + x, bitDepth);
            const int bit = x * bitDepth;
            row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(v << (8 - bitDepth - bit % 8));
        }
        return;
    }
    const std::size_t values = static_cast<std::size_t>(samples.width) * samples.channels;
    const std::size_t first = static_cast<std::size_t>(y) * values;
    for (std::size_t i = 0; i < values; ++i) {
        if (bitDepth == 16) {
            const unsigned v = samples.wide[first + i];
            row[2 * i] = static_cast<std::uint8_t>(v >> 8);
            row[2 * i + 1] = static_cast<std::uint8_t>(v & 255);
        } else {
            row[i] = samples.bytes[first + i];
        }
    }
}

}  // namespace

bool writePng(const std::string& path, const TestSamples& samples, int colourType, int bitDepth, bool transparent,
              bool interlaced, double gamma)
{
    ClosingFile out(path);
    if (!out.file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out.file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(samples.width), static_cast<png_uint_32>(samples.height), bitDepth,
                 colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(static_cast<std::size_t>(1)
                                   << (colourType == PNG_COLOR_TYPE_PALETTE ? bitDepth : 0));
    std::vector<png_byte> alphas(palette.size());
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (std::size_t i = 0; i < palette.size(); ++i) {
            palette[i] = {static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 11),
                          static_cast<png_byte>(i * 5)};
            alphas[i] = static_cast<png_byte>(255 - i * 3);
        }
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (transparent)
            png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    } else if (transparent) {
        png_color_16 colour = {};
        colour.gray = colour.red = colour.green = colour.blue = 1;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    if (gamma > 0)
        png_set_gAMA(png, info, gamma);
    png_write_info(png, info);
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(samples.height));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < samples.height; ++y) {
        packRow(samples, y, colourType, bitDepth, rows[static_cast<std::size_t>(y)]);
        pointers.push_back(rows[static_cast<std::size_t>(y)].data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writeJpeg(const std::string& path, const TestSamples& samples, bool subsampled, bool progressive,
               int exifOrientation)
{
    ClosingFile out(path);
    if (!out.file)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out.file);
    info.image_width = static_cast<JDIMENSION>(samples.width);
    info.image_height = static_cast<JDIMENSION>(samples.height);
    info.input_components = samples.channels;
    info.in_color_space = samples.channels == 1 ? JCS_GRAYSCALE : samples.channels == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (!subsampled)
        for (int c = 0; c < info.num_components; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (exifOrientation > 0) {
        // "Exif\0\0", a little-endian TIFF header, one directory entry: orientation.
        const std::uint8_t exif[] = {'E', 'x',  'i',  'f', 0,
                                     0,   'I',  'I',  42,  0,
                                     8,   0,    0,    0,   1,
                                     0,   0x12, 0x01, 3,   0,
                                     1,   0,    0,    0,   static_cast<std::uint8_t>(exifOrientation),
                                     0,   0,    0,    0,   0,
                                     0,   0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    const std::size_t stride = static_cast<std::size_t>(samples.width) * samples.channels;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples.bytes[info.next_scanline * stride]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool writeTiff(const std::string& path, const TestSamples& samples, int compression, bool cmyk, int orientation)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff)
        return false;
    const bool wide = !samples.wide.empty();
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, samples.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, samples.height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples.channels);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, wide ? 16 : 8);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 4);
    const int photometric = cmyk ? PHOTOMETRIC_SEPARATED
        : samples.channels < 3   ? PHOTOMETRIC_MINISBLACK
                                 : PHOTOMETRIC_RGB;
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    if (samples.channels == 2 || (samples.channels == 4 && !cmyk)) {
        const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    const std::size_t values = static_cast<std::size_t>(samples.width) * samples.channels;
    bool ok = true;
    for (int y = 0; y < samples.height && ok; ++y) {
        void* row = wide ? static_cast<void*>(const_cast<std::uint16_t*>(&samples.wide[y * values]))
                         : static_cast<void*>(const_cast<std::uint8_t*>(&samples.bytes[y * values]));
        ok = TIFFWriteScanline(tiff, row, static_cast<std::uint32_t>(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

bool writeWebp(const std::string& path, const TestSamples& samples, bool lossless)
{
    std::uint8_t* encoded = nullptr;
    const int stride = samples.width * samples.channels;
    const std::uint8_t* pixels = samples.bytes.data();
    std::size_t size = 0;
    if (samples.channels == 4)
        size = lossless ? WebPEncodeLosslessRGBA(pixels, samples.width, samples.height, stride, &encoded)
                        : WebPEncodeRGBA(pixels, samples.width, samples.height, stride, 90, &encoded);
    else
        size = lossless ? WebPEncodeLosslessRGB(pixels, samples.width, samples.height, stride, &encoded)
                        : WebPEncodeRGB(pixels, samples.width, samples.height, stride, 90, &encoded);
    if (size == 0)
        return false;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(encoded), static_cast<std::streamsize>(size));
    WebPFree(encoded);
    return true;
}

bool writePnm(const std::string& path, const TestSamples& samples)
{
    const bool wide = !samples.wide.empty();
    std::ofstream out(path, std::ios::binary);
    out << (samples.channels == 1 ? "P5\n" : "P6\n") << samples.width << " " << samples.height << "\n"
        << (wide ? 65535 : 255) << "\n";
    if (!wide) {
        out.write(reinterpret_cast<const char*>(samples.bytes.data()),
                  static_cast<std::streamsize>(samples.bytes.size()));
        return static_cast<bool>(out);
    }
    for (const std::uint16_t v : samples.wide)
        out << static_cast<char>(v >> 8) << static_cast<char>(v & 255);
    return static_cast<bool>(out);
}

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
