#pragma once

// Starts the image decoder with its OpenGL renderer and fills searchDirectories.
// Call once, before the first load, after the main window's OpenGL context exists.
void initImageSupport();
