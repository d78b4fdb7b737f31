#pragma once

#include <cstdint>
#include <string>

#include "main/WindowGeometry.h"
#include "model/WeatheringModel.h"

// The main window: its one-time set-up, its size for the photograph, its reshape rule,
// and the model's texture in it.

// One-time GL, clock and image-library set-up for the main window.
void initGL();
// GLUT's screen size.
WindowSize screenSize();
// Sizes the main window for the photograph (windowWidth, windowHeight): the
// photograph's size, a small one magnified, one larger than the screen scaled down to
// fit.
void fitWindowToImage();
// The window's side of a photograph the session has taken: shown whole in a window
// fitted to it, the outline cleared; the model's texture follows at the next idle pass.
// True when the window's width changed (the panel beside it is to move).
bool showNewPhotograph();
// Why the texture or the memory cannot hold a photograph of this size; "" when they can.
std::string photographRefusalHere(int width, int height);
// Uploads the model's texture (the model's uploader) and counts the new picture.
void uploadModelTexture(const std::uint32_t* rgba, int width, int height, const PixelRect& changed);

void reshape(int w, int h);
