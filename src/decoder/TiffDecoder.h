#pragma once

#include "decoder/DecodedPicture.h"

// TIFF through libtiff. Grey and RGB of 8 or 16 bits are read as stored, at
// their own depth; every other kind (palette, CMYK, YCbCr, alpha, 1 bit, ...)
// through libtiff's RGBA interface, four bytes a pixel. The file's orientation
// is honoured either way. Only the first page is read.
DecodeStatus decodeTiff(FileBytes file, DecodedPicture& picture);
