#pragma once

#include <string>

// Why the window tool cannot take a photograph of this size: a side beyond the GL's
// largest texture. Empty when it can. (Memory is the session's budget.) Pure, so that
// it is tested headless.
std::string photographRefusal(int width, int height, int largestTextureSide);
