#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "main/OverlayGeometry.h"

TEST(OverlayGeometry, PathPointsRampFromGreenToRed)
{
    MyAlgebra::vec3 only = pathPointColour(0, 1);
    EXPECT_EQ(only.x, 0.0f);
    EXPECT_EQ(only.y, 1.0f);
    EXPECT_EQ(only.z, 0.2f);

    const MyAlgebra::vec3 first = pathPointColour(0, 3);
    const MyAlgebra::vec3 middle = pathPointColour(1, 3);
    const MyAlgebra::vec3 last = pathPointColour(2, 3);
    EXPECT_EQ(first.x, 0.0f);
    EXPECT_EQ(first.y, 1.0f);
    EXPECT_EQ(middle.x, 0.5f);
    EXPECT_EQ(middle.y, 0.5f);
    EXPECT_EQ(last.x, 1.0f);
    EXPECT_EQ(last.y, 0.0f);
    EXPECT_EQ(last.z, 0.2f);
}

TEST(OverlayGeometry, BrushCircleKeepsVerticesAboutThreePixelsApartOnTheRadius)
{
    std::vector<Point2f> vertices;
    brushCircleVertices(50, 60, 10, vertices);
    EXPECT_EQ(vertices.size(), 23u);
    brushCircleVertices(50, 60, 100, vertices);
    EXPECT_EQ(vertices.size(), 227u);
    EXPECT_FLOAT_EQ(vertices[0].x, 150);
    EXPECT_FLOAT_EQ(vertices[0].y, 60);
    for (const Point2f& v : vertices) {
        const double r = std::hypot(v.x - 50.0, v.y - 60.0);
        EXPECT_NEAR(r, 100.0, 1e-3);
    }
    for (size_t i = 1; i < vertices.size(); ++i) {
        const double gap = std::hypot(vertices[i].x - vertices[i - 1].x, vertices[i].y - vertices[i - 1].y);
        EXPECT_NEAR(gap, 1000.0 / 360.0, 0.01);
    }
}

TEST(OverlayGeometry, DegenerateRadiiGiveFiniteCircles)
{
    std::vector<Point2f> vertices;
    brushCircleVertices(0, 0, 0, vertices);
    EXPECT_TRUE(vertices.empty());
    brushCircleVertices(0, 0, 1e30f, vertices);  // step below float resolution
    EXPECT_LE(vertices.size(), 4096u);
}

TEST(OverlayGeometry, ZoomedBrushCircleKeepsItsVerticesAFewScreenPixelsApart)
{
    std::vector<Point2f> vertices;
    zoomedBrushCircleVertices(50, 60, 10, 8.0, vertices);
    const double gap = std::hypot(vertices[1].x - vertices[0].x, vertices[1].y - vertices[0].y) * 8.0;
    EXPECT_GT(gap, 2.0);
    EXPECT_LE(gap, 3.0);
    for (const Point2f& v : vertices)
        EXPECT_NEAR(std::hypot(v.x - 50.0, v.y - 60.0), 10.0, 1e-4);
    zoomedBrushCircleVertices(50, 60, 100, 32.0, vertices);
    EXPECT_EQ(vertices.size(), 2048u);
    zoomedBrushCircleVertices(50, 60, 10, 0.25, vertices);
    EXPECT_EQ(vertices.size(), 24u);
    zoomedBrushCircleVertices(50, 60, 0, 4.0, vertices);
    EXPECT_TRUE(vertices.empty());
}

TEST(OverlayGeometry, PathPointsCoverTheirPixelWhenZoomed)
{
    EXPECT_EQ(pathPointSize(false, 3.0), 5.0f);
    EXPECT_EQ(pathPointSize(true, 1.25), 5.0f);
    EXPECT_EQ(pathPointSize(true, 32.0), 32.0f);
}
