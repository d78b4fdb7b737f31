#pragma once

#include <string>
#include <vector>

#include "model/WeatheringModel.h"

// The clicked path written as image editors count pixels, x from the left and y
// from the top: "X1,Y1 X2,Y2 ...". The window tool prints it after a save; the
// batch tool's --path reads it back.

// A pixel position with y counted from the top row.
struct TopDownPixel {
    int x;
    int y;
};

// The model's path (y from the bottom row) in the --path form.
std::string formatPathArgument(const std::vector<Point2f>& imagePoints, int height);

// Reads "X1,Y1 X2,Y2 ..." (whole numbers, spaces between points). False with a
// reason on the first malformed point.
bool parsePathArgument(const std::string& text, std::vector<TopDownPixel>& points, std::string& reason);

// The model's row (counted from the bottom) of a row counted from the top.
inline int modelRowOf(int topDownRow, int height)
{
    return height - 1 - topDownRow;
}
