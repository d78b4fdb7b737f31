#pragma once

// Window sizing and the window-to-image mapping. Pure arithmetic, kept apart from
// GLUT so that the truncations can be checked without a display.

struct WindowSize {
    int width;
    int height;
};

struct ImagePixel {
    int x;
    int y;
};

struct WindowPosition {
    int x;
    int y;
};

// The main window for a W x H photograph: its own size, unless both sides exceed
// 1024, then the longer side becomes 1024 and the other follows the aspect.
WindowSize fitWindowToImage(int imageWidth, int imageHeight, float imageAspect);

// The height a reshape forces for a window width: the image's aspect wins.
int heightForWidth(int windowWidth, float imageAspect);

// The image pixel under window position (x, y); GLUT's origin is the top left.
ImagePixel windowToImage(int x, int y, float scaleX, float scaleY, int windowHeight);

// The whole factor a small photograph starts magnified by: the largest that keeps
// its longer side within 512 when that side is under 256, otherwise 1.
int magnificationFor(int imageWidth, int imageHeight);

// The main window a photograph opens in: fitWindowToImage's size, a small photograph
// magnified, and a window larger than the screen scaled down to the largest size
// that fits with the photograph's aspect (the size a reshape keeps). A screen side
// of 0 or less is taken as unknown and sets no limit.
WindowSize fitWindowToScreen(int imageWidth, int imageHeight, float imageAspect, WindowSize screen);

// Where the panel opens: 20 pixels right of the main window at the top of the
// screen, moved left as far as needed to stay on it.
WindowPosition panelPosition(int mainWindowWidth, int panelWidth, int screenWidth);
