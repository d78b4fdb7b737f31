#pragma once

#include <string>
#include <vector>

#include "algebra/vec3.h"
#include "imageopen/DecoderProcess.h"
#include "imageopen/ImageRect.h"

// Directories tried before a bare file name, relative to the current directory.
extern std::vector<std::string> searchDirectories;

// Fills searchDirectories (the decoding itself happens in weathering-decode). Code without an OpenGL
// context calls this; the window tool calls initImageSupport (ImageSupport.h).
void initImageDecoder();

// The first readable regular file among "<dir>/<name>" for every search
// directory, then name itself, then "<dir>/<name>" for the folders beside the
// program (installedImageFolders); an absolute name only as it is. Prints
// "file not found: <name>" and returns an empty string when there is none.
std::string findFile(const std::string& name);

// The name as console lines show it: control characters (a newline, an escape)
// written as \n or \xNN, so that no name can forge or break a line.
std::string printableName(const std::string& name);

// The name made absolute against the current folder. The search folders are tried
// before a relative name, so a name typed on a command line, which means the file
// from here, is passed on in this form (as the file dialog's names are).
std::string fromHere(const std::string& name);

namespace ImageIO {

// Loads a file (found through the search directories) as float RGB or as float
// luminance, row 0 at the bottom. The file is decoded by weathering-decode in a
// process of its own, within the limits of `settings`; whatever that process does, a failure
// prints its own reason, returns false and leaves the image exactly as it was.
// Sides over largestImageSide and sizes beyond the available memory are
// refused; pixels that are not finite numbers arrive as 0.
bool load(ImageRect<MyAlgebra::vec3>& image, const char* name, const DecoderSettings& settings = DecoderSettings());
bool load(ImageRect<float>& image, const char* name, const DecoderSettings& settings = DecoderSettings());
// The same, with the loader's reason for a failure (the text of its last line, without
// the "ImageIO::load: " it starts with) in `reason`; empty when it had none to give.
bool load(ImageRect<MyAlgebra::vec3>& image, const char* name, std::string& reason,
          const DecoderSettings& settings = DecoderSettings());
bool load(ImageRect<float>& image, const char* name, std::string& reason,
          const DecoderSettings& settings = DecoderSettings());

}  // namespace ImageIO
