#pragma once

#include "main/WindowGeometry.h"

// The part of the photograph that the main window's projection spans, in image units.
struct ViewBounds {
    double left;
    double right;
    double bottom;
    double top;
};

// Which part of the photograph the main window shows, and the mapping of window
// positions onto photograph pixels through it.
//   - Zoom 1 is the fit: the whole photograph fills the window and positions map
//     exactly as windowToImage maps them (row H for the window's top row included).
//   - Zoomed in, a position maps to the pixel under the centre of the screen pixel.
// Zoom goes in steps of 1.25 from the fit up to 32 screen pixels per photograph
// pixel; the region shown always lies inside the photograph.
class ViewTransform {
public:
    static constexpr double zoomStep = 1.25;
    static constexpr double largestPixelScale = 32.0;  // screen pixels per photograph pixel

    // A new photograph of this size: shown whole.
    void reset(int imageWidth, int imageHeight);
    // After a reshape: the window's size, its fit scales (window pixels per image
    // pixel) and the height that the fit mapping flips rows with.
    void setWindow(int width, int height, float scaleX, float scaleY, int flipHeight);

    ImagePixel windowToImage(int x, int y) const;
    // What gluOrtho2D is given: exactly (0, W, 0, H) at the fit.
    ViewBounds bounds() const;

    // Zooms by 1.25 per step (negative steps zoom out), keeping the photograph point
    // under window position (x, y) where it is.
    void zoomAt(int x, int y, int steps);
    void zoomAtCentre(int steps);
    void showFit();
    // One photograph pixel per screen pixel, about the window's centre (within the
    // zoom range: a photograph magnified to fit stays at its fit).
    void showOneToOne();
    // A drag by (dx, dy) window pixels: the picture follows the pointer.
    void panBy(int dx, int dy);
    // An arrow key: a tenth of the shown region towards (directionX, directionY),
    // y upwards.
    void panStep(int directionX, int directionY);

    bool atFit() const { return zoom == 1.0; }
    // Screen pixels per photograph pixel across the window.
    double pixelScale() const;

private:
    int imageWidth = 0;
    int imageHeight = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    float fitScaleX = 1.0f;
    float fitScaleY = 1.0f;
    int flipHeight = 0;
    double zoom = 1.0;     // relative to the fit
    double originX = 0.0;  // lower-left corner of the shown region, image units
    double originY = 0.0;

    bool usable() const;
    double shownWidth() const { return imageWidth / zoom; }
    double shownHeight() const { return imageHeight / zoom; }
    double largestZoom() const;
    void setZoomAbout(double newZoom, double windowX, double windowY);
    void clampOrigin();
};
