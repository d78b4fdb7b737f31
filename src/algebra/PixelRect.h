#pragma once

// A rectangle of pixels: columns x ... x + width - 1, rows y ... y + height - 1.
struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};
