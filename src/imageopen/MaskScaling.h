#pragma once

#include "imageopen/ImageRect.h"

// A copy of `mask` at width x height, each pixel taken from the nearest source
// pixel (by pixel centres). False, with `scaled` untouched, when the size is
// unusable, the mask empty or the memory not there.
bool scaleMaskToSize(const ImageRect<float>& mask, int width, int height, ImageRect<float>& scaled);

// Makes `mask` width x height for the photograph it will mask: a mask of another
// size is scaled (one line on std::cerr says so). False, with a line and the mask
// untouched, when it cannot be scaled.
bool fitMaskToPhotograph(ImageRect<float>& mask, int width, int height);
