#include "main/ViewTransform.h"

#include <algorithm>
#include <cmath>

void ViewTransform::reset(int width, int height)
{
    imageWidth = width;
    imageHeight = height;
    showFit();
}

void ViewTransform::setWindow(int width, int height, float scaleX, float scaleY, int rowFlipHeight)
{
    windowWidth = width;
    windowHeight = height;
    fitScaleX = scaleX;
    fitScaleY = scaleY;
    flipHeight = rowFlipHeight;
    // A smaller window allows less zoom; the shown region keeps its place.
    zoom = std::min(zoom, largestZoom());
    clampOrigin();
}

bool ViewTransform::usable() const
{
    return imageWidth > 0 && imageHeight > 0 && windowWidth > 0 && windowHeight > 0;
}

double ViewTransform::pixelScale() const
{
    if (!usable())
        return 1.0;
    return zoom * windowWidth / imageWidth;
}

double ViewTransform::largestZoom() const
{
    if (!usable())
        return 1.0;
    return std::max(1.0, largestPixelScale * imageWidth / windowWidth);
}

ImagePixel ViewTransform::windowToImage(int x, int y) const
{
    if (atFit() || !usable())
        return ::windowToImage(x, y, fitScaleX, fitScaleY, flipHeight);
    // The same arithmetic as the projection, at the centre of the screen pixel.
    const double u = originX + (x + 0.5) * shownWidth() / windowWidth;
    const double v = originY + (windowHeight - y - 0.5) * shownHeight() / windowHeight;
    return {static_cast<int>(std::floor(u)), static_cast<int>(std::floor(v))};
}

ViewBounds ViewTransform::bounds() const
{
    return {originX, originX + shownWidth(), originY, originY + shownHeight()};
}

void ViewTransform::setZoomAbout(double newZoom, double windowX, double windowY)
{
    if (!usable())
        return;
    newZoom = std::min(std::max(newZoom, 1.0), largestZoom());
    // Repeated steps in and out come back to the fit exactly.
    if (std::fabs(newZoom - 1.0) < 1e-9)
        newZoom = 1.0;
    const double fractionX = windowX / windowWidth;
    const double fractionY = (windowHeight - windowY) / windowHeight;
    const double pointX = originX + fractionX * shownWidth();
    const double pointY = originY + fractionY * shownHeight();
    zoom = newZoom;
    originX = pointX - fractionX * shownWidth();
    originY = pointY - fractionY * shownHeight();
    clampOrigin();
}

void ViewTransform::zoomAt(int x, int y, int steps)
{
    setZoomAbout(zoom * std::pow(zoomStep, steps), x + 0.5, y + 0.5);
}

void ViewTransform::zoomAtCentre(int steps)
{
    setZoomAbout(zoom * std::pow(zoomStep, steps), windowWidth / 2.0, windowHeight / 2.0);
}

void ViewTransform::showFit()
{
    zoom = 1.0;
    originX = 0.0;
    originY = 0.0;
}

void ViewTransform::showOneToOne()
{
    if (!usable())
        return;
    setZoomAbout(static_cast<double>(imageWidth) / windowWidth, windowWidth / 2.0, windowHeight / 2.0);
}

void ViewTransform::panBy(int dx, int dy)
{
    if (!usable())
        return;
    originX -= dx * shownWidth() / windowWidth;
    originY += dy * shownHeight() / windowHeight;
    clampOrigin();
}

void ViewTransform::panStep(int directionX, int directionY)
{
    originX += directionX * shownWidth() / 10.0;
    originY += directionY * shownHeight() / 10.0;
    clampOrigin();
}

void ViewTransform::clampOrigin()
{
    if (atFit()) {
        originX = 0.0;
        originY = 0.0;
        return;
    }
    originX = std::min(std::max(originX, 0.0), imageWidth - shownWidth());
    originY = std::min(std::max(originY, 0.0), imageHeight - shownHeight());
}
