#include "main/OutlinePath.h"

namespace {

// The x of the straight line through q and c at row r, in double precision.
float edgeXAtRow(int row, float cx, float cy, float qx, float qy)
{
    const double x =
        cx + (row - static_cast<double>(cy)) * (static_cast<double>(qx) - cx) / (static_cast<double>(qy) - cy);
    return static_cast<float>(x);
}

}  // namespace

void OutlinePath::startOutline(float x, float y)
{
    strokeStarts.push_back(points.size());
    points.push_back({x, y});
    previous = {x, y};
}

void OutlinePath::continueOutline(float x, float y)
{
    if (points.empty())
        return;
    addOutlineEdge(x, y, previous.x, previous.y);
    previous = {x, y};
}

void OutlinePath::addOutlineEdge(float cx, float cy, float qx, float qy)
{
    if (qy > cy) {
        for (int row = static_cast<int>(qy) - 1; row >= static_cast<int>(cy); --row)
            points.push_back({edgeXAtRow(row, cx, cy, qx, qy), static_cast<float>(row)});
    } else if (qy < cy) {
        for (int row = static_cast<int>(qy) + 1; row <= static_cast<int>(cy); ++row)
            points.push_back({edgeXAtRow(row, cx, cy, qx, qy), static_cast<float>(row)});
    } else {
        if (points.size() - strokeStarts.back() >= 2)
            points.pop_back();
        points.push_back({cx, cy});
    }
}

void OutlinePath::clear()
{
    points.clear();
    strokeStarts.clear();
    previous = {0.0f, 0.0f};
}

OutlinePath::Stroke OutlinePath::stroke(std::size_t i) const
{
    const std::size_t end = i + 1 < strokeStarts.size() ? strokeStarts[i + 1] : points.size();
    return {points.data() + strokeStarts[i], end - strokeStarts[i]};
}
