#pragma once

#include <cstdio>
#include <string>

#include "imagesave/PictureRows.h"

// Writes an uncompressed 24-bit BMP of 8-bit RGB samples. BMP has no room for
// text. False with a reason when a write failed.
bool encodeBmp(std::FILE* out, const PictureRows& picture, std::string& reason);
