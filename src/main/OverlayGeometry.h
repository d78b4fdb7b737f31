#pragma once

#include <vector>

#include "algebra/Point2f.h"
#include "algebra/vec3.h"

// Colour of path point i of n: green for the oldest, red for the newest, the
// ramp recomputed from n so that every point shifts when one is added.
MyAlgebra::vec3 pathPointColour(int i, int n);

// The brush circle's vertices around (cx, cy), about 2.78 image pixels apart
// whatever the radius. `vertices` is refilled; its capacity is kept between frames.
void brushCircleVertices(float cx, float cy, float radius, std::vector<Point2f>& vertices);

// The brush circle in a zoomed view, whose screen pixels are 1 / pixelScale image
// pixels: vertices about three screen pixels apart, at least 24 and at most 2048.
void zoomedBrushCircleVertices(float cx, float cy, float radius, double pixelScale, std::vector<Point2f>& vertices);

// The side of a path point in screen pixels: 5 at the fit, and in a zoomed view at
// least the clicked photograph pixel's own size.
float pathPointSize(bool zoomed, double pixelScale);
