#pragma once

#include <cstdint>
#include <string>

#include "algebra/vec3.h"

// Writing pictures to files, headless, with each format's own library (PNG,
// JPEG, TIFF) or a writer of our own (BMP, TGA). Pixel arrays are row 0 at the
// bottom, as everywhere in the tool; the files come out upright (their top row is
// the picture's top row). Every write goes through AtomicFile: the target is
// replaced whole or left as it was, and a failure says why in `reason`. The
// description (what made the picture) is kept in the file where the format has
// room: a PNG text chunk, the JPEG comment, the TIFF ImageDescription, the TGA ID.
namespace ImageWriter {

// The formats a colour picture can be saved in, chosen by the file name's extension.
enum class FileType { png, jpeg, tiff, bmp, tga, unknown };

FileType fileTypeOf(const std::string& path);
// The extensions fileTypeOf knows, for messages: ".png, .jpg, ...".
const char* knownExtensions();

// One float colour channel (nominally 0..1) as an 8-bit value: clamped, rounded
// to nearest; NaN gives 0.
std::uint8_t channelByte(float value);

// Saves float RGB as 8 bits a channel in the format of the path's extension
// (JPEG at quality 95). An unknown extension writes nothing.
bool saveRgb(const std::string& path, const MyAlgebra::vec3* rgb, int width, int height, std::string& reason,
             const std::string& description = std::string());

// Saves 16-bit grey values as a PNG, whatever the extension.
bool saveGrey16Png(const std::string& path, const std::uint16_t* grey, int width, int height, std::string& reason,
                   const std::string& description = std::string());

}  // namespace ImageWriter
