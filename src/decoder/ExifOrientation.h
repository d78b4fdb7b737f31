#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/DecodedPicture.h"

// The orientation tag (0x0112) of an EXIF block as stored in a JPEG's APP1
// marker ("Exif\0\0", then a TIFF header): 1 to 8, or 0 when the block has
// none or is malformed. Reads only within the `size` bytes given.
int exifOrientation(const std::uint8_t* block, std::size_t size);

// Turns a top-row-first picture as the EXIF orientation says (2 to 8: mirrored
// and/or turned; anything else leaves it as it is).
void applyOrientation(DecodedPicture& picture, int orientation);
