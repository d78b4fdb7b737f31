#pragma once

#include <vector>

#include "algebra/vec3.h"
#include "model/WeatheringModel.h"

// Colour of path point i of n: green for the oldest, red for the newest, the
// ramp recomputed from n so that every point shifts when one is added.
MyAlgebra::vec3 pathPointColour(int i, int n);

// The brush circle's vertices around (cx, cy), about 2.78 image pixels apart
// whatever the radius. `vertices` is refilled; its capacity is kept between frames.
void brushCircleVertices(float cx, float cy, float radius, std::vector<Point2f>& vertices);
