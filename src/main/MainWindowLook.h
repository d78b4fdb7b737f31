#pragma once

#include <cstddef>

#include "algebra/Point2f.h"

// Everything a frame of the main window shows, to tell whether a new frame would differ
// from the last one drawn.
struct MainWindowLook {
    unsigned int picture = 0;
    std::size_t pathPoints = 0;
    Point2f lastPathPoint = {0.0f, 0.0f};
    std::size_t outlinePoints = 0;
    std::size_t outlineStrokes = 0;
    Point2f lastOutlinePoint = {0.0f, 0.0f};
    int showOutline = 0;
    int mouseOperation = 0;
    Point2f brushCenter = {0.0f, 0.0f};
    float brushSize = 0.0f;
    int dewethering = 0;
    unsigned int view = 0;
    unsigned int alternative = 0;
    bool keysShown = false;
};

inline bool samePoint(Point2f a, Point2f b)
{
    return a.x == b.x && a.y == b.y;
}

inline bool sameLook(const MainWindowLook& a, const MainWindowLook& b)
{
    return a.picture == b.picture && a.pathPoints == b.pathPoints && samePoint(a.lastPathPoint, b.lastPathPoint) &&
        a.outlinePoints == b.outlinePoints && a.outlineStrokes == b.outlineStrokes &&
        samePoint(a.lastOutlinePoint, b.lastOutlinePoint) && a.showOutline == b.showOutline &&
        a.mouseOperation == b.mouseOperation && samePoint(a.brushCenter, b.brushCenter) && a.brushSize == b.brushSize &&
        a.dewethering == b.dewethering && a.view == b.view && a.alternative == b.alternative &&
        a.keysShown == b.keysShown;
}
