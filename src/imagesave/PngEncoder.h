#pragma once

#include <cstdio>
#include <string>

#include "imagesave/PictureRows.h"

// Writes a PNG of 8- or 16-bit grey or RGB samples at a fast compression level,
// with the description as a text chunk. False with a reason when the encoder or
// a write failed; the stream's own buffer is flushed and checked by its owner.
bool encodePng(std::FILE* out, const PictureRows& picture, std::string& reason);
