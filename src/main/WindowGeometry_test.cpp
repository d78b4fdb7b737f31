#include <gtest/gtest.h>

#include "main/ExtensionList.h"
#include "main/WindowGeometry.h"

namespace {

float aspectOf(int width, int height)
{
    return static_cast<float>(static_cast<double>(height) / width);
}

WindowSize fitted(int width, int height)
{
    return fitWindowToImage(width, height, aspectOf(width, height));
}

}  // namespace

TEST(WindowGeometry, CapsAt1024OnlyWhenBothSidesExceedIt)
{
    struct Case {
        int width, height, windowWidth, windowHeight;
    };
    const Case cases[] = {
        {800, 600, 800, 600},     {2048, 1536, 1024, 768},  {2000, 2000, 1024, 1024}, {3000, 1000, 3000, 1000},
        {1000, 3000, 1000, 3000}, {1024, 4000, 1024, 4000}, {1025, 1025, 1024, 1024}, {512, 602, 512, 602},
    };
    for (const Case& c : cases) {
        const WindowSize size = fitted(c.width, c.height);
        EXPECT_EQ(size.width, c.windowWidth) << c.width << "x" << c.height;
        EXPECT_EQ(size.height, c.windowHeight) << c.width << "x" << c.height;
    }
}

TEST(WindowGeometry, PortraitCapTruncatesTheFloatAspectAndReshapeSettlesBelowIt)
{
    const float aspect = aspectOf(1536, 2048);
    EXPECT_EQ(aspect, 1.3333334f);
    const WindowSize size = fitWindowToImage(1536, 2048, aspect);
    EXPECT_EQ(size.width, 767);
    EXPECT_EQ(size.height, 1024);
    // The reshape forces the height from the width, and that size reproduces itself.
    EXPECT_EQ(heightForWidth(767, aspect), 1022);
    EXPECT_EQ(heightForWidth(767, aspect), 1022);
    EXPECT_EQ(heightForWidth(800, aspectOf(800, 600)), 600);
}

TEST(WindowGeometry, WindowToImageFlipsRowsAndTruncates)
{
    // A window twice the image size, 400 pixels high.
    ImagePixel pixel = windowToImage(101, 1, 2.0f, 2.0f, 400);
    EXPECT_EQ(pixel.x, 50);
    EXPECT_EQ(pixel.y, 199);
    // The window's top row maps one past the image's top row.
    pixel = windowToImage(101, 0, 2.0f, 2.0f, 400);
    EXPECT_EQ(pixel.y, 200);
    pixel = windowToImage(0, 399, 1.0f, 1.0f, 400);
    EXPECT_EQ(pixel.x, 0);
    EXPECT_EQ(pixel.y, 1);
    // Outside the window (a drag that left it) truncates toward zero, not down.
    pixel = windowToImage(-3, 401, 2.0f, 2.0f, 400);
    EXPECT_EQ(pixel.x, -1);
    EXPECT_EQ(pixel.y, 0);
}

TEST(WindowGeometry, SmallPhotographsOpenMagnifiedByAWholeFactor)
{
    const WindowSize screen = {1600, 1200};
    struct Case {
        int width, height, windowWidth, windowHeight;
    };
    const Case cases[] = {
        {1, 1, 512, 512},     {255, 10, 510, 20},   {200, 100, 400, 200}, {171, 3, 342, 6},
        {100, 255, 200, 510}, {256, 100, 256, 100}, {800, 600, 800, 600}, {2048, 1536, 1024, 768},
    };
    for (const Case& c : cases) {
        const WindowSize size = fitWindowToScreen(c.width, c.height, aspectOf(c.width, c.height), screen);
        EXPECT_EQ(size.width, c.windowWidth) << c.width << "x" << c.height;
        EXPECT_EQ(size.height, c.windowHeight) << c.width << "x" << c.height;
    }
    EXPECT_EQ(magnificationFor(255, 255), 2);
    EXPECT_EQ(magnificationFor(129, 1), 3);
    EXPECT_EQ(magnificationFor(128, 1), 4);
    EXPECT_EQ(magnificationFor(0, 0), 1);
}

TEST(WindowGeometry, MagnifiedWindowsLoseAtMostTheRowThatReshapeTruncatesToday)
{
    // The reshape forces trunc(width * aspect), which for some sizes is one row short,
    // magnified or not (100 x 105 settles at 100 x 104 today).
    EXPECT_EQ(heightForWidth(100, aspectOf(100, 105)), 104);
    for (int width = 1; width < 256; ++width) {
        for (int height = 1; height < 256; ++height) {
            const float aspect = aspectOf(width, height);
            const WindowSize size = fitWindowToScreen(width, height, aspect, {1600, 1200});
            const int forced = heightForWidth(size.width, aspect);
            ASSERT_TRUE(forced == size.height || forced == size.height - 1) << width << "x" << height;
        }
    }
}

TEST(WindowGeometry, WindowsLargerThanTheScreenShrinkToTheLargestStableFit)
{
    const WindowSize screen = {1600, 1200};
    struct Case {
        int width, height, windowWidth, windowHeight;
    };
    const Case cases[] = {
        {1000, 3000, 400, 1200}, {3000, 1000, 1600, 533}, {1024, 4000, 307, 1199}, {1600, 1000, 1600, 1000},
        {1601, 1000, 1600, 999}, {4000, 3000, 1024, 768}, {3000, 1024, 1600, 546},
    };
    for (const Case& c : cases) {
        const float aspect = aspectOf(c.width, c.height);
        const WindowSize size = fitWindowToScreen(c.width, c.height, aspect, screen);
        EXPECT_EQ(size.width, c.windowWidth) << c.width << "x" << c.height;
        EXPECT_EQ(size.height, c.windowHeight) << c.width << "x" << c.height;
        EXPECT_LE(size.width, screen.width);
        EXPECT_LE(size.height, screen.height);
        // The reshape that follows keeps it, and one pixel wider would not fit.
        EXPECT_EQ(heightForWidth(size.width, aspect), size.height) << c.width << "x" << c.height;
        const WindowSize unlimited = fitWindowToScreen(c.width, c.height, aspect, {0, 0});
        if (size.width < unlimited.width && size.width < screen.width) {
            EXPECT_GT(heightForWidth(size.width + 1, aspect), screen.height);
        }
    }
    // An unknown screen sets no limit.
    const WindowSize tall = fitWindowToScreen(1000, 3000, aspectOf(1000, 3000), {0, 0});
    EXPECT_EQ(tall.width, 1000);
    EXPECT_EQ(tall.height, 3000);
}

TEST(WindowGeometry, PanelOpensRightOfTheMainWindowAndStaysOnTheScreen)
{
    EXPECT_EQ(panelPosition(800, 240, 1600).x, 820);
    EXPECT_EQ(panelPosition(800, 240, 1600).y, 0);
    EXPECT_EQ(panelPosition(1340, 240, 1600).x, 1360);
    EXPECT_EQ(panelPosition(1341, 240, 1600).x, 1360);
    EXPECT_EQ(panelPosition(1600, 240, 1600).x, 1360);
    EXPECT_EQ(panelPosition(100, 240, 200).x, 0);
    EXPECT_EQ(panelPosition(1024, 240, 0).x, 1044);
}

TEST(ExtensionList, MatchesWholeTokensOnly)
{
    const char* list = "GLX_ARB_multisample GLX_EXT_swap_control_tear GLX_MESA_swap_control";
    EXPECT_FALSE(extensionListed(list, "GLX_EXT_swap_control"));
    EXPECT_TRUE(extensionListed(list, "GLX_MESA_swap_control"));
    EXPECT_TRUE(extensionListed(list, "GLX_ARB_multisample"));
    EXPECT_TRUE(extensionListed("GLX_SGI_swap_control", "GLX_SGI_swap_control"));
    EXPECT_FALSE(extensionListed("XGLX_SGI_swap_control", "GLX_SGI_swap_control"));
    EXPECT_FALSE(extensionListed(nullptr, "GLX_SGI_swap_control"));
    EXPECT_FALSE(extensionListed("", "GLX_SGI_swap_control"));
}
