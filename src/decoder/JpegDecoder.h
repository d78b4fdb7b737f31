#pragma once

#include "decoder/DecodedPicture.h"

// JPEG through libjpeg-turbo: grey files as one byte a pixel, colour as three,
// CMYK and YCCK as RGBA (alpha 255) turned from inks into light. The EXIF
// orientation is applied, so the picture stands as the camera meant it.
// With a stream, an upright file's rows go to it as they are decoded, with
// alpha dropped when `wantedChannels` is 3, and `picture` stays empty; a file
// to be turned is decoded whole into `picture` as without one.
DecodeStatus decodeJpeg(FileBytes file, DecodedPicture& picture, int wantedChannels = 4, RowStream* stream = nullptr);
