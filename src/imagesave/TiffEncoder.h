#pragma once

#include <string>

#include "imagesave/PictureRows.h"

// Writes a deflate-compressed TIFF of 8- or 16-bit grey or RGB samples to an open,
// empty, seekable descriptor (TIFF goes back to fill in its directory), with the
// description as its ImageDescription. The descriptor stays open. False with a
// reason when the encoder or a write failed.
bool encodeTiff(int descriptor, const PictureRows& picture, std::string& reason);
