#include "main/PhotographLimits.h"

std::string photographRefusal(int width, int height, int largestTextureSide)
{
    if (width <= largestTextureSide && height <= largestTextureSide)
        return std::string();
    return "photograph refused: its size " + std::to_string(width) + "x" + std::to_string(height) +
        " is beyond the largest texture side " + std::to_string(largestTextureSide);
}
