#pragma once

#include <cstdio>
#include <string>

#include "imagesave/PictureRows.h"

// Writes a baseline JPEG of 8-bit grey or RGB samples at quality 95, with the
// description as a comment. False with a reason when the encoder or a write failed.
bool encodeJpeg(std::FILE* out, const PictureRows& picture, std::string& reason);
