#pragma once

#include <vector>

#include "model/WeatheringModel.h"

// The free outline drawn with the middle button, kept as one point per image
// row crossed (the edge crossings of a polygon, scanline by scanline). It only
// grows, or has its newest point replaced.
class OutlinePath {
public:
    Point2f previous = {0.0f, 0.0f};
    std::vector<Point2f> points;

    // A press: the first point, or a straight edge from the end of the last stroke.
    void startOutline(float x, float y);
    // A drag: an edge from the previous position; ignored before any press.
    void continueOutline(float x, float y);
    // Appends the points of the edge from q to c, one per row after q's row up to
    // c's; a move along one row replaces the newest point instead.
    void addOutlineEdge(float cx, float cy, float qx, float qy);
};
