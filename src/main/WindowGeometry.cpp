#include "main/WindowGeometry.h"

#include <algorithm>

WindowSize fitWindowToImage(int imageWidth, int imageHeight, float imageAspect)
{
    if (imageWidth < 1025 || imageHeight < 1025)
        return {imageWidth, imageHeight};
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

int magnificationFor(int imageWidth, int imageHeight)
{
    const int longer = std::max(imageWidth, imageHeight);
    if (longer < 1 || longer >= 256)
        return 1;
    return 512 / longer;
}

namespace {

// The widest window within the screen whose reshape-forced height is within it too.
WindowSize largestFittingSize(WindowSize wanted, float imageAspect, WindowSize screen)
{
    const double shrink =
        std::min(static_cast<double>(screen.width) / wanted.width, static_cast<double>(screen.height) / wanted.height);
    int width = std::min(screen.width, static_cast<int>(wanted.width * shrink) + 1);
    // The estimate is within a pixel or two; the truncating height decides.
    while (width > 1 && heightForWidth(width, imageAspect) > screen.height)
        --width;
    return {width, std::max(1, heightForWidth(width, imageAspect))};
}

}  // namespace

WindowSize fitWindowToScreen(int imageWidth, int imageHeight, float imageAspect, WindowSize screen)
{
    WindowSize size = fitWindowToImage(imageWidth, imageHeight, imageAspect);
    const int factor = magnificationFor(imageWidth, imageHeight);
    size.width *= factor;
    size.height *= factor;
    const bool screenKnown = screen.width > 0 && screen.height > 0;
    if (screenKnown && (size.width > screen.width || size.height > screen.height))
        return largestFittingSize(size, imageAspect, screen);
    return size;
}

WindowPosition panelPosition(int mainWindowWidth, int panelWidth, int screenWidth)
{
    int x = mainWindowWidth + 20;
    if (screenWidth > 0)
        x = std::min(x, screenWidth - panelWidth);
    return {std::max(0, x), 0};
}
