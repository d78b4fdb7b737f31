#pragma once

#include <cstddef>
#include <cstdint>

// A CMYK or YCCK JPEG decodes to four bytes of ink a pixel, which read as RGBA
// give wrong colours. Files with the Adobe marker store inverted inks (255 = no ink).

// Rewrites `count` four-byte CMYK pixels as RGB with full alpha, in place.
void cmykToRgba(std::uint8_t* pixels, std::size_t count, bool invertedInks);
