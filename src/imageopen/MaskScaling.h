#pragma once

#include "imageopen/ImageRect.h"

// A copy of `mask` at width x height, each pixel taken from the nearest source
// pixel (by pixel centres). False, with `scaled` untouched, when the size is
// unusable, the mask empty or the memory not there.
bool scaleMaskToSize(const ImageRect<float>& mask, int width, int height, ImageRect<float>& scaled);
