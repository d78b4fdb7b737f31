#include <gtest/gtest.h>

#include <cmath>

#include "main/ViewTransform.h"

namespace {

// A view of a W x H photograph in a window of the size and scales a reshape gives.
ViewTransform viewOf(int imageWidth, int imageHeight, int windowWidth, int windowHeight)
{
    ViewTransform view;
    view.reset(imageWidth, imageHeight);
    const float aspect = static_cast<float>(static_cast<double>(imageHeight) / imageWidth);
    view.setWindow(windowWidth, windowHeight, static_cast<float>(windowWidth) / imageWidth,
                   static_cast<float>(windowHeight) / imageHeight, heightForWidth(windowWidth, aspect));
    return view;
}

void expectFitMapping(const ViewTransform& view, int imageWidth, int imageHeight, int windowWidth, int windowHeight)
{
    const float scaleX = static_cast<float>(windowWidth) / imageWidth;
    const float scaleY = static_cast<float>(windowHeight) / imageHeight;
    const float aspect = static_cast<float>(static_cast<double>(imageHeight) / imageWidth);
    const int flip = heightForWidth(windowWidth, aspect);
    for (int y = 0; y < windowHeight; y += 7) {
        for (int x = 0; x < windowWidth; x += 5) {
            const ImagePixel expected = windowToImage(x, y, scaleX, scaleY, flip);
            const ImagePixel got = view.windowToImage(x, y);
            ASSERT_EQ(got.x, expected.x) << x << "," << y;
            ASSERT_EQ(got.y, expected.y) << x << "," << y;
        }
    }
    const ViewBounds bounds = view.bounds();
    EXPECT_EQ(bounds.left, 0.0);
    EXPECT_EQ(bounds.right, imageWidth);
    EXPECT_EQ(bounds.bottom, 0.0);
    EXPECT_EQ(bounds.top, imageHeight);
}

}  // namespace

TEST(ViewTransform, AtTheFitMapsExactlyAsTheUnzoomedWindowDoes)
{
    expectFitMapping(viewOf(800, 600, 800, 600), 800, 600, 800, 600);
    expectFitMapping(viewOf(2048, 1536, 1024, 768), 2048, 1536, 1024, 768);
    expectFitMapping(viewOf(1536, 2048, 767, 1022), 1536, 2048, 767, 1022);
    expectFitMapping(viewOf(1, 1, 512, 512), 1, 1, 512, 512);
    // The window's top row still maps one past the photograph's top row.
    EXPECT_EQ(viewOf(800, 600, 800, 600).windowToImage(10, 0).y, 600);
}

TEST(ViewTransform, ZoomingInAndOutAgainReturnsToTheExactFit)
{
    ViewTransform view = viewOf(2048, 1536, 1024, 768);
    view.zoomAt(100, 700, 7);
    EXPECT_FALSE(view.atFit());
    view.panBy(-250, 40);
    view.zoomAt(900, 20, -3);
    view.zoomAtCentre(-4);
    EXPECT_TRUE(view.atFit());
    expectFitMapping(view, 2048, 1536, 1024, 768);
    // Out beyond the fit stays at the fit.
    view.zoomAtCentre(-2);
    EXPECT_TRUE(view.atFit());
    view.zoomAtCentre(3);
    view.showFit();
    expectFitMapping(view, 2048, 1536, 1024, 768);
}

TEST(ViewTransform, ZoomKeepsThePixelUnderThePointer)
{
    ViewTransform view = viewOf(4000, 3000, 1024, 768);
    view.zoomAtCentre(2);
    const int positions[][2] = {{137, 91}, {0, 0}, {1023, 767}, {512, 384}, {700, 13}};
    for (const auto& p : positions) {
        for (int steps : {3, -1, 5, -2}) {
            const ImagePixel before = view.windowToImage(p[0], p[1]);
            view.zoomAt(p[0], p[1], steps);
            const ImagePixel after = view.windowToImage(p[0], p[1]);
            EXPECT_EQ(after.x, before.x) << p[0] << "," << p[1] << " steps " << steps;
            EXPECT_EQ(after.y, before.y) << p[0] << "," << p[1] << " steps " << steps;
        }
    }
}

TEST(ViewTransform, AtTheLargestZoomEveryPhotographPixelCoversThirtyTwoScreenPixels)
{
    ViewTransform view = viewOf(1000, 800, 1000, 800);
    view.zoomAt(333, 222, 40);
    EXPECT_DOUBLE_EQ(view.pixelScale(), 32.0);
    const ViewBounds bounds = view.bounds();
    EXPECT_DOUBLE_EQ(bounds.right - bounds.left, 1000.0 / 32.0);
    // Walking along a row and a column, the pixel changes every 32 screen pixels, to
    // the next one, and the first and last pixels are those at the region's edges.
    int runs = 0;
    ImagePixel previous = view.windowToImage(0, 400);
    EXPECT_EQ(previous.x, static_cast<int>(std::floor(bounds.left)));
    for (int x = 1; x < 1000; ++x) {
        const ImagePixel pixel = view.windowToImage(x, 400);
        if (pixel.x != previous.x) {
            EXPECT_EQ(pixel.x, previous.x + 1);
            ++runs;
        }
        previous = pixel;
    }
    EXPECT_EQ(previous.x, static_cast<int>(std::floor(bounds.right - 1e-9)));
    EXPECT_NEAR(runs, 1000 / 32, 1);
    EXPECT_EQ(view.windowToImage(500, 799).y, static_cast<int>(std::floor(bounds.bottom)));
    EXPECT_EQ(view.windowToImage(500, 0).y, static_cast<int>(std::floor(bounds.top - 1e-9)));
}

TEST(ViewTransform, OneToOneShowsOnePhotographPixelPerScreenPixelWithinTheZoomRange)
{
    ViewTransform large = viewOf(4000, 3000, 1024, 768);
    large.showOneToOne();
    EXPECT_DOUBLE_EQ(large.pixelScale(), 1.0);
    const ImagePixel a = large.windowToImage(100, 300);
    const ImagePixel b = large.windowToImage(101, 299);
    EXPECT_EQ(b.x, a.x + 1);
    EXPECT_EQ(b.y, a.y + 1);

    ViewTransform ownSize = viewOf(800, 600, 800, 600);
    ownSize.showOneToOne();
    EXPECT_TRUE(ownSize.atFit());

    // A magnified photograph cannot be shown smaller than its fit, nor zoomed in further.
    ViewTransform tiny = viewOf(2, 1, 512, 256);
    tiny.showOneToOne();
    EXPECT_TRUE(tiny.atFit());
    tiny.zoomAtCentre(3);
    EXPECT_TRUE(tiny.atFit());
    EXPECT_DOUBLE_EQ(tiny.pixelScale(), 256.0);
}

TEST(ViewTransform, PanningKeepsTheShownRegionInsideThePhotograph)
{
    ViewTransform view = viewOf(2048, 1536, 1024, 768);
    view.panBy(300, 300);  // at the fit there is nothing to pan
    EXPECT_TRUE(view.atFit());
    EXPECT_EQ(view.bounds().left, 0.0);

    view.zoomAtCentre(4);
    const ViewBounds start = view.bounds();
    // A drag to the right by 100 window pixels shows what lies to the left.
    view.panBy(100, 0);
    EXPECT_NEAR(view.bounds().left, start.left - 100 * (start.right - start.left) / 1024, 1e-9);
    const ImagePixel grabbed = view.windowToImage(600, 300);
    view.panBy(-37, 21);
    const ImagePixel followed = view.windowToImage(600 - 37, 300 + 21);
    EXPECT_EQ(followed.x, grabbed.x);
    EXPECT_EQ(followed.y, grabbed.y);

    for (int i = 0; i < 100; ++i)
        view.panStep(-1, 1);
    EXPECT_EQ(view.bounds().left, 0.0);
    EXPECT_EQ(view.bounds().top, 1536.0);
    view.panBy(-100000, -100000);
    EXPECT_EQ(view.bounds().right, 2048.0);
    EXPECT_EQ(view.bounds().bottom, 0.0);
    EXPECT_DOUBLE_EQ(view.bounds().right - view.bounds().left, start.right - start.left);

    // Zooming about a corner keeps the region inside too.
    view.zoomAt(0, 767, -1);
    EXPECT_GE(view.bounds().left, 0.0);
    EXPECT_LE(view.bounds().right, 2048.0);
    EXPECT_GE(view.bounds().bottom, 0.0);
    EXPECT_LE(view.bounds().top, 1536.0);
}

TEST(ViewTransform, ArrowStepsMoveATenthOfTheShownRegion)
{
    ViewTransform view = viewOf(1000, 1000, 1000, 1000);
    view.zoomAtCentre(3);  // 1.953125 times: 512 image pixels shown
    const ViewBounds before = view.bounds();
    view.panStep(1, 0);
    EXPECT_DOUBLE_EQ(view.bounds().left - before.left, 51.2);
    view.panStep(0, -1);
    EXPECT_DOUBLE_EQ(view.bounds().bottom - before.bottom, -51.2);
}

TEST(ViewTransform, AReshapeKeepsTheShownRegionWithinTheZoomRange)
{
    ViewTransform view = viewOf(1000, 1000, 1000, 1000);
    view.zoomAtCentre(30);
    EXPECT_DOUBLE_EQ(view.pixelScale(), 32.0);
    // Smaller: the same region, smaller on the screen.
    const ViewBounds before = view.bounds();
    view.setWindow(500, 500, 0.5f, 0.5f, 500);
    EXPECT_DOUBLE_EQ(view.pixelScale(), 16.0);
    EXPECT_DOUBLE_EQ(view.bounds().left, before.left);
    // Larger: no more than 32 screen pixels per photograph pixel.
    view.setWindow(2000, 2000, 2.0f, 2.0f, 2000);
    EXPECT_DOUBLE_EQ(view.pixelScale(), 32.0);
    EXPECT_LE(view.bounds().right, 1000.0);
}
