#include "result/PathArgument.h"

#include <gtest/gtest.h>

namespace {

TEST(PathArgument, WritesRowsFromTheTopAndReadsThemBack)
{
    const std::vector<Point2f> path = {{0.0f, 0.0f}, {511.0f, 601.0f}, {20.0f, 300.0f}};
    const std::string text = formatPathArgument(path, 602);
    EXPECT_EQ(text, "0,601 511,0 20,301");
    std::vector<TopDownPixel> points;
    std::string reason;
    ASSERT_TRUE(parsePathArgument(text, points, reason)) << reason;
    ASSERT_EQ(points.size(), path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        EXPECT_EQ(points[i].x, static_cast<int>(path[i].x));
        EXPECT_EQ(modelRowOf(points[i].y, 602), static_cast<int>(path[i].y));
    }
    EXPECT_EQ(formatPathArgument({}, 10), "");
}

TEST(PathArgument, AcceptsAnySpacingAndNegativeNumbers)
{
    std::vector<TopDownPixel> points;
    std::string reason;
    ASSERT_TRUE(parsePathArgument("  1,2\t 3,4\n-5,6 ", points, reason)) << reason;
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].x, -5);  // outside the photograph: the caller's check
    ASSERT_TRUE(parsePathArgument("", points, reason));
    EXPECT_TRUE(points.empty());
}

TEST(PathArgument, RefusesMalformedPointsNamingThem)
{
    for (const char* bad : {"1", "1,", ",2", "1,2,3", "a,b", "1.5,2", "1;2", "+1,2", "1 ,2", "99999999999,1", "1,2x"}) {
        std::vector<TopDownPixel> points;
        std::string reason;
        EXPECT_FALSE(parsePathArgument(bad, points, reason)) << bad;
        EXPECT_NE(reason.find("bad point"), std::string::npos) << bad << ": " << reason;
    }
}

}  // namespace
