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

// The main window for a W x H photograph: its own size, unless both sides exceed
// 1024, then the longer side becomes 1024 and the other follows the aspect.
WindowSize fitWindowToImage(int imageWidth, int imageHeight, float imageAspect);

// The height a reshape forces for a window width: the image's aspect wins.
int heightForWidth(int windowWidth, float imageAspect);

// The image pixel under window position (x, y); GLUT's origin is the top left.
ImagePixel windowToImage(int x, int y, float scaleX, float scaleY, int windowHeight);
