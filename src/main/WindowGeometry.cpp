#include "main/WindowGeometry.h"

WindowSize fitWindowToImage(int imageWidth, int imageHeight, float imageAspect)
{
    if (imageWidth < 1025 || imageHeight < 1025) return {imageWidth, imageHeight};
    // Formed in double from the float aspect: 1536 x 2048 gives 767, not 768.
    if (imageWidth > imageHeight)
        return {1024, static_cast<int>(static_cast<double>(imageAspect) * 1024.0)};
    return {static_cast<int>(1024.0 / static_cast<double>(imageAspect)), 1024};
}

int heightForWidth(int windowWidth, float imageAspect)
{
    return static_cast<int>(static_cast<float>(windowWidth) * imageAspect);
}

ImagePixel windowToImage(int x, int y, float scaleX, float scaleY, int windowHeight)
{
    return {static_cast<int>(static_cast<float>(x) / scaleX),
            static_cast<int>(static_cast<float>(windowHeight - y) / scaleY)};
}
