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
        {800, 600, 800, 600},     {2048, 1536, 1024, 768}, {2000, 2000, 1024, 1024},
        {3000, 1000, 3000, 1000}, {1000, 3000, 1000, 3000}, {1024, 4000, 1024, 4000},
        {1025, 1025, 1024, 1024}, {512, 602, 512, 602},
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
