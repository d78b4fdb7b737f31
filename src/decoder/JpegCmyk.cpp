#include "decoder/JpegCmyk.h"

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
