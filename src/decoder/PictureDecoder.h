#pragma once

#include "decoder/DecodedPicture.h"

// Decodes a whole file with the library made for its format: JPEG, PNG, TIFF
// and WebP are known by their first bytes, whatever the name says; everything
// else goes to DevIL (DevilDecoder.h). Alpha the tool would only drop is dropped
// here, so that it does not cross the pipe.
// With a stream, a file whose rows can be passed on as they are decoded (an
// upright JPEG) goes to it, and `picture` is left without samples; any other
// is decoded whole into `picture`.
DecodeStatus decodePicture(FileBytes file, const char* name, int wantedChannels, DecodedPicture& picture,
                           RowStream* stream = nullptr);

// Keeps the first `kept` of every `channels` samples of `count` pixels, packed in place.
void keepLeadingChannels(std::uint8_t* samples, std::size_t count, int channels, int kept, int sampleBytes);
