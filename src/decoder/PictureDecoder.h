#pragma once

#include "decoder/DecodedPicture.h"

// Decodes a whole file with the library made for its format: JPEG, PNG, TIFF
// and WebP are known by their first bytes, whatever the name says; everything
// else goes to DevIL (DevilDecoder.h). Alpha the tool would only drop is dropped
// here, so that it does not cross the pipe.
DecodeStatus decodePicture(FileBytes file, const char* name, int wantedChannels, DecodedPicture& picture);
