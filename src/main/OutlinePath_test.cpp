#include <gtest/gtest.h>

#include <vector>

#include "main/OutlinePath.h"

namespace {

void expectPoints(const OutlinePath& outline, const std::vector<Point2f>& expected)
{
    ASSERT_EQ(outline.points.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FLOAT_EQ(outline.points[i].x, expected[i].x) << "point " << i;
        EXPECT_FLOAT_EQ(outline.points[i].y, expected[i].y) << "point " << i;
    }
}

}  // namespace

TEST(OutlinePath, DragAddsOnePointPerRowCrossedAndARowMoveReplacesTheNewest)
{
    OutlinePath outline;
    outline.startOutline(10, 10);
    expectPoints(outline, {{10, 10}});
    outline.continueOutline(13, 14);
    expectPoints(outline, {{10, 10}, {10.75f, 11}, {11.5f, 12}, {12.25f, 13}, {13, 14}});
    outline.continueOutline(20, 14);
    expectPoints(outline, {{10, 10}, {10.75f, 11}, {11.5f, 12}, {12.25f, 13}, {20, 14}});
    EXPECT_FLOAT_EQ(outline.previous.x, 20);
}

TEST(OutlinePath, DownwardDragSkipsThePreviousRow)
{
    OutlinePath outline;
    outline.startOutline(0, 4);
    outline.continueOutline(4, 0);
    expectPoints(outline, {{0, 4}, {1, 3}, {2, 2}, {3, 1}, {4, 0}});
}

TEST(OutlinePath, DragBeforeAnyPressIsIgnoredAndANewPressStartsANewStroke)
{
    OutlinePath outline;
    outline.continueOutline(5, 5);
    EXPECT_TRUE(outline.points.empty());
    EXPECT_EQ(outline.strokeCount(), 0u);
    EXPECT_FLOAT_EQ(outline.previous.x, 0);

    outline.startOutline(0, 0);
    outline.continueOutline(0, 2);
    // Released, then pressed again elsewhere: a stroke of its own, nothing between.
    outline.startOutline(4, 4);
    expectPoints(outline, {{0, 0}, {0, 1}, {0, 2}, {4, 4}});
    ASSERT_EQ(outline.strokeCount(), 2u);
    EXPECT_EQ(outline.stroke(0).count, 3u);
    EXPECT_EQ(outline.stroke(1).count, 1u);
    EXPECT_FLOAT_EQ(outline.stroke(1).points[0].x, 4);
    // A row move on the new stroke's single point appends to that stroke.
    outline.continueOutline(9, 4);
    EXPECT_EQ(outline.stroke(1).count, 2u);
    outline.continueOutline(11, 4);
    expectPoints(outline, {{0, 0}, {0, 1}, {0, 2}, {4, 4}, {11, 4}});

    outline.clear();
    EXPECT_TRUE(outline.points.empty());
    EXPECT_EQ(outline.strokeCount(), 0u);
    outline.continueOutline(3, 3);
    EXPECT_TRUE(outline.points.empty());
}

TEST(OutlinePath, SameRowMoveOnASinglePointAppendsInsteadOfReplacing)
{
    OutlinePath outline;
    outline.startOutline(3, 7);
    outline.continueOutline(9, 7);
    expectPoints(outline, {{3, 7}, {9, 7}});
    outline.continueOutline(12, 7);
    expectPoints(outline, {{3, 7}, {12, 7}});
}
