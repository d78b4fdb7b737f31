#include "imagesave/BmpEncoder.h"

#include "imagesave/LittleEndianHeader.h"

namespace {

constexpr std::uint32_t headersSize = 14 + 40;  // file header, BITMAPINFOHEADER
constexpr std::uint32_t pixelsPerMetre = 2835;  // 72 dots an inch

}  // namespace

bool encodeBmp(std::FILE* out, const PictureRows& picture, std::string& reason)
{
    if (!picture.isRgb8()) {
        reason = "BMP is written from 8-bit RGB only";
        return false;
    }
    const std::uint64_t rowSize = (static_cast<std::uint64_t>(picture.width) * 3 + 3) / 4 * 4;
    const std::uint64_t pixelBytes = rowSize * static_cast<std::uint64_t>(picture.height);
    if (headersSize + pixelBytes > 0xFFFFFFFFu) {
        reason = "too large for a BMP file";
        return false;
    }
    LittleEndianHeader header;
    header.put8('B');
    header.put8('M');
    header.put32(static_cast<std::uint32_t>(headersSize + pixelBytes));
    header.put32(0);
    header.put32(headersSize);
    header.put32(40);
    header.put32(static_cast<std::uint32_t>(picture.width));
    header.put32(static_cast<std::uint32_t>(picture.height));  // positive: bottom row first
    header.put16(1);                                           // planes
    header.put16(24);                                          // bits a pixel
    header.put32(0);                                           // no compression
    header.put32(static_cast<std::uint32_t>(pixelBytes));
    header.put32(pixelsPerMetre);
    header.put32(pixelsPerMetre);
    header.put32(0);
    header.put32(0);
    return writeAll(out, header.contents().data(), header.contents().size(), reason) &&
        writeBgrRowsFromBottom(out, picture, 4, reason);
}
