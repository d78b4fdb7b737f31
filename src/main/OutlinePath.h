#pragma once

#include <cstddef>
#include <vector>

#include "algebra/Point2f.h"

// The free outline drawn with the middle button: strokes from press to release,
// each kept as one point per image row crossed (the edge crossings of a polygon,
// scanline by scanline). A stroke only grows, or has its newest point replaced.
class OutlinePath {
public:
    struct Stroke {
        const Point2f* points;
        std::size_t count;
    };

    Point2f previous = {0.0f, 0.0f};
    std::vector<Point2f> points;            // every stroke's points, one after the other
    std::vector<std::size_t> strokeStarts;  // where each stroke begins in points

    // A press: a new stroke, not joined to the last one.
    void startOutline(float x, float y);
    // A drag: an edge from the previous position; ignored before any press.
    void continueOutline(float x, float y);
    // Appends the points of the edge from q to c, one per row after q's row up to
    // c's; a move along one row replaces the newest point of the stroke instead.
    void addOutlineEdge(float cx, float cy, float qx, float qy);
    // Forgets every stroke.
    void clear();

    std::size_t strokeCount() const { return strokeStarts.size(); }
    Stroke stroke(std::size_t i) const;
};
