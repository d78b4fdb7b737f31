#pragma once

#include "decoder/DecodedPicture.h"

// WebP through libwebp, lossy or lossless: RGB, or RGBA when the file has alpha.
// Animations are not read.
DecodeStatus decodeWebp(FileBytes file, DecodedPicture& picture);
