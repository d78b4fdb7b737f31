#pragma once

#include "decoder/DecodedPicture.h"

// The formats without a library of their own (BMP, GIF, TGA, PNM, PSD, ICO,
// DDS, PCX, SGI, HDR, ...) through DevIL. Eight- and 16-bit pictures come out
// as grey or RGB at their own depth, exactly as the library holds them;
// anything else (float files, colour asked for as grey) as floats in the
// channels asked for, converted by the library itself.

// Once, before the decoder is confined.
void initDevil();

// `name` gives the type by its extension; when it tells none, the contents do.
DecodeStatus decodeWithDevil(FileBytes file, const char* name, int wantedChannels, DecodedPicture& picture);
