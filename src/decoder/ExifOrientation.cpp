#include "decoder/ExifOrientation.h"

#include <cstring>
#include <utility>

namespace {

class TiffReader {
public:
    TiffReader(const std::uint8_t* data, std::size_t size, bool bigEndian)
        : data(data), size(size), bigEndian(bigEndian)
    {
    }

    bool has(std::size_t offset, std::size_t bytes) const { return offset <= size && bytes <= size - offset; }
    unsigned u16(std::size_t offset) const
    {
        const unsigned a = data[offset], b = data[offset + 1];
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    }
    std::uint32_t u32(std::size_t offset) const
    {
        const std::uint32_t high = u16(offset), low = u16(offset + 2);
        return bigEndian ? (high << 16) | low : (low << 16) | high;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    bool bigEndian;
};

}  // namespace

int exifOrientation(const std::uint8_t* block, std::size_t size)
{
    const std::size_t exifHeader = 6;
    if (size < exifHeader + 8 || std::memcmp(block, "Exif\0\0", exifHeader) != 0)
        return 0;
    const std::uint8_t* tiff = block + exifHeader;
    const std::size_t tiffSize = size - exifHeader;
    const bool bigEndian = tiff[0] == 'M' && tiff[1] == 'M';
    if (!bigEndian && !(tiff[0] == 'I' && tiff[1] == 'I'))
        return 0;
    const TiffReader reader(tiff, tiffSize, bigEndian);
    if (reader.u16(2) != 42)
        return 0;
    const std::uint32_t directory = reader.u32(4);
    if (!reader.has(directory, 2))
        return 0;
    const unsigned entries = reader.u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * static_cast<std::size_t>(i);
        if (!reader.has(entry, 12))
            return 0;
        if (reader.u16(entry) != 0x0112)
            continue;
        const unsigned type = reader.u16(entry + 2);  // SHORT, one value, stored in place
        const unsigned value = reader.u16(entry + 8);
        return type == 3 && value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
    }
    return 0;
}

void applyOrientation(DecodedPicture& picture, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return;
    // Orientations 5 to 8 swap the sides.
    const bool transposed = orientation >= 5;
    const int width = picture.width, height = picture.height;
    const int newWidth = transposed ? height : width, newHeight = transposed ? width : height;
    const std::size_t pixelBytes = static_cast<std::size_t>(picture.channels) * picture.sampleBytes;
    SampleBuffer turned(picture.samples.size());
    for (int y = 0; y < newHeight; ++y)
        for (int x = 0; x < newWidth; ++x) {
            // Where the pixel shown at (x, y) is stored.
            int sx = x, sy = y;
            switch (orientation) {
            case 2:
                sx = width - 1 - x;
                break;
            case 3:
                sx = width - 1 - x;
                sy = height - 1 - y;
                break;
            case 4:
                sy = height - 1 - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = height - 1 - x;
                break;
            case 7:
                sx = width - 1 - y;
                sy = height - 1 - x;
                break;
            case 8:
                sx = width - 1 - y;
                sy = x;
                break;
            }
            std::memcpy(&turned[(static_cast<std::size_t>(y) * newWidth + x) * pixelBytes],
                        &picture.samples[(static_cast<std::size_t>(sy) * width + sx) * pixelBytes], pixelBytes);
        }
    picture.samples = std::move(turned);
    picture.width = newWidth;
    picture.height = newHeight;
}
