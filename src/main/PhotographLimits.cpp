#include "main/PhotographLimits.h"

namespace {

std::string sizeText(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

std::string photographRefusal(int width, int height, int largestTextureSide, long long availableBytes)
{
    const std::string start = "photograph refused: its size " + sizeText(width, height);
    if (width > largestTextureSide || height > largestTextureSide)
        return start + " is beyond the largest texture side " + std::to_string(largestTextureSide);
    const long long needed = static_cast<long long>(width) * height * photographBytesPerPixel;
    if (availableBytes >= 0 && needed > availableBytes)
        return start + " needs " + std::to_string(needed >> 20) + " MB for the model and its texture, more than the " +
               std::to_string(availableBytes >> 20) + " MB of memory available";
    return std::string();
}
