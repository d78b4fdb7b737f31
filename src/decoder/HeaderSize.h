#pragma once

#include "decoder/DecodedPicture.h"

// The size a PNM, BMP, GIF, PSD or TGA file declares in its header, read
// without decoding anything, so that an oversized picture is refused before
// the image library allocates and fills it. False when the file is none of
// these (a TGA is known by `tgaByName` alone: it has no signature) or its
// header is cut short.
bool declaredSize(FileBytes file, bool tgaByName, long long& width, long long& height);
