#pragma once

#include "decoder/DecodedPicture.h"

// JPEG through libjpeg-turbo: grey files as one byte a pixel, colour as three,
// CMYK and YCCK as RGBA (alpha 255) turned from inks into light. The EXIF
// orientation is applied, so the picture stands as the camera meant it.
DecodeStatus decodeJpeg(FileBytes file, DecodedPicture& picture);
