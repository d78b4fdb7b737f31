#include "imagesave/TgaEncoder.h"

#include <algorithm>

#include "imagesave/LittleEndianHeader.h"

bool encodeTga(std::FILE* out, const PictureRows& picture, std::string& reason)
{
    if (!picture.isRgb8() || picture.width > 0xFFFF || picture.height > 0xFFFF) {
        reason = "TGA is written from 8-bit RGB of at most 65535 pixels a side";
        return false;
    }
    const std::string id = picture.description.substr(0, std::min<std::size_t>(picture.description.size(), 255));
    LittleEndianHeader header;
    header.put8(static_cast<std::uint8_t>(id.size()));
    header.put8(0);  // no colour map
    header.put8(2);  // uncompressed true colour
    for (int i = 0; i < 5; ++i)
        header.put8(0);  // no colour map: its five fields stay zero
    header.put16(0);     // x origin
    header.put16(0);     // y origin
    header.put16(static_cast<std::uint32_t>(picture.width));
    header.put16(static_cast<std::uint32_t>(picture.height));
    header.put8(24);  // bits a pixel
    header.put8(0);   // bottom row first, no alpha
    header.putText(id);
    return writeAll(out, header.contents().data(), header.contents().size(), reason) &&
        writeBgrRowsFromBottom(out, picture, 1, reason);
}
