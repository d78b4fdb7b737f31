#pragma once

#include <string>

// What the window tool needs besides the photograph's own pixels, per pixel: the
// model's arrays (three colours, six floats and the 8-bit colours the texture is
// filled from) and the texture's own RGBA copy.
constexpr long long photographBytesPerPixel = 3 * 12 + 6 * 4 + 4 + 4;

// Why the window tool cannot take a photograph of this size: a side beyond the
// GL's largest texture, or more memory than is available (availableBytes < 0:
// unknown, not checked). Empty when it can. Pure, so that it is tested headless.
std::string photographRefusal(int width, int height, int largestTextureSide, long long availableBytes);
