#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The image library hands a CMYK or YCCK JPEG over as four bytes a pixel, the
// ink values as stored, which read as RGBA give wrong colours.

// Whether the JPEG carries the Adobe marker, whose files store inverted inks
// (255 = no ink). Looks at the file's first 64 KiB; leaves the position at 0.
bool jpegHasAdobeMarker(std::FILE* file);

// Rewrites `count` four-byte CMYK pixels as RGB with full alpha, in place.
void cmykToRgba(std::uint8_t* pixels, std::size_t count, bool invertedInks);
