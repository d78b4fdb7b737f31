#include "decoder/JpegCmyk.h"

#include <cstring>
#include <vector>

bool jpegHasAdobeMarker(std::FILE* file)
{
    std::vector<unsigned char> head(64 * 1024);
    if (std::fseek(file, 0, SEEK_SET) != 0) return false;
    const std::size_t length = std::fread(head.data(), 1, head.size(), file);
    std::fseek(file, 0, SEEK_SET);
    // APP14: FF EE, a two-byte length, then "Adobe".
    for (std::size_t i = 0; i + 9 <= length; ++i)
        if (head[i] == 0xFF && head[i + 1] == 0xEE && std::memcmp(&head[i + 4], "Adobe", 5) == 0) return true;
    return false;
}

void cmykToRgba(std::uint8_t* pixels, std::size_t count, bool invertedInks)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = pixels + 4 * i;
        // With inverted inks each stored value is already 255 - ink.
        const unsigned white = invertedInks ? p[3] : 255u - p[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned clear = invertedInks ? p[c] : 255u - p[c];
            p[c] = static_cast<std::uint8_t>((clear * white + 127) / 255);
        }
        p[3] = 255;
    }
}
