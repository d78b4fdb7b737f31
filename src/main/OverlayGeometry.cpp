#include "main/OverlayGeometry.h"

#include <algorithm>
#include <cmath>

MyAlgebra::vec3 pathPointColour(int i, int n)
{
    if (n < 2)
        return {0.0f, 1.0f, 0.2f};
    const float a = static_cast<float>(n - 1 - i) / static_cast<float>(n - 1);
    return {1.0f - a, a, 0.2f};
}

void brushCircleVertices(float cx, float cy, float radius, std::vector<Point2f>& vertices)
{
    vertices.clear();
    if (!(radius > 0.0f))
        return;  // a zero step would never reach 360 degrees
    const double degreesToRadians = M_PI / 180.0;
    const double step = 1000.0 / (2.0 * M_PI * radius);
    // Far more vertices than any slider radius needs; bounds the loop for absurd radii.
    const std::size_t maxVertices = 4096;
    for (float theta = 0.0f; theta < 360.0f && vertices.size() < maxVertices;) {
        const float dx = static_cast<float>(radius * std::cos(theta * degreesToRadians));
        const float dy = static_cast<float>(radius * std::sin(theta * degreesToRadians));
        vertices.push_back({cx + dx, cy + dy});
        theta = static_cast<float>(theta + step);
    }
}

void zoomedBrushCircleVertices(float cx, float cy, float radius, double pixelScale, std::vector<Point2f>& vertices)
{
    vertices.clear();
    if (!(radius > 0.0f) || !(pixelScale > 0.0))
        return;
    const double circumference = 2.0 * M_PI * radius * pixelScale;
    const int count = static_cast<int>(std::min(2048.0, std::max(24.0, std::ceil(circumference / 3.0))));
    for (int i = 0; i < count; ++i) {
        const double angle = 2.0 * M_PI * i / count;
        vertices.push_back(
            {static_cast<float>(cx + radius * std::cos(angle)), static_cast<float>(cy + radius * std::sin(angle))});
    }
}

float pathPointSize(bool zoomed, double pixelScale)
{
    if (!zoomed)
        return 5.0f;
    return static_cast<float>(std::max(5.0, pixelScale));
}
