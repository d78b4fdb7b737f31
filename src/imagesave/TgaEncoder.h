#pragma once

#include <cstdio>
#include <string>

#include "imagesave/PictureRows.h"

// Writes an uncompressed 24-bit TGA of 8-bit RGB samples, the description (its
// first 255 bytes) as the image ID. False with a reason when a write failed.
bool encodeTga(std::FILE* out, const PictureRows& picture, std::string& reason);
