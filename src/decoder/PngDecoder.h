#pragma once

#include "decoder/DecodedPicture.h"

// PNG through libpng: grey, grey and alpha, RGB or RGBA at 8 or 16 bits a
// sample; palettes and bit depths under 8 are expanded, a transparent colour
// becomes alpha. A palette picture asked for as grey (`wantedChannels` 1)
// comes out as grey bytes, weighed entry by entry.
DecodeStatus decodePng(FileBytes file, int wantedChannels, DecodedPicture& picture);
