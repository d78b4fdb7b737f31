#pragma once

#include <cstdint>

#include "algebra/vec3.h"
#include "imageopen/TextureImageRect.h"
#include "main/AppState.h"
#include "main/OutlinePath.h"
#include "main/WindowGeometry.h"
#include "model/WeatheringModel.h"
#include "timing/StopwatchSteady.h"

// The long-lived objects of the tool, one of each for the whole run.
extern AppState appState;
extern TextureImageRect<MyAlgebra::vec3> inputImage;
extern TextureImageRect<float> maskImage;
extern WeatheringModel model;
extern StopwatchSteady appStopwatch;
extern OutlinePath outline;

// One-time GL, clock and image-library set-up for the main window.
void initGL();
// Sizes the main window for inputImage (windowWidth, windowHeight): the photograph's
// size, a small one magnified, one larger than the screen scaled down to fit.
void fitWindowToImage();
// GLUT's screen size.
WindowSize screenSize();
// Everything that follows a successful load of a photograph: unless the texture
// or the model cannot hold it (a line says why, and the old photograph, texture
// and model stay together), it becomes inputImage, with window size and the model
// rebuilt from it (its texture follows at the next idle pass). `loaded` is emptied
// when adopted.
bool adoptInputImage(ImageRect<MyAlgebra::vec3>& loaded);
// Applies maskImage to the model and restarts it, when the model has a
// photograph; a mask of another size is first scaled to the photograph's.
void adoptMaskImage();
// The same for a mask that follows the photograph at once, at start-up: the model was
// just built from it, so only the rates change.
void adoptMaskOfNewPhotograph();
// Uploads the model's texture (the model's uploader) and counts the new picture.
void uploadModelTexture(const std::uint32_t* rgba, int width, int height, const PixelRect& changed);
// The texture name of the model's picture; 0 before the first upload.
unsigned int modelTexture();
// The model's textures uploaded so far: the picture changed when this did.
unsigned int modelPictureVersion();
// Whether an idle pass would do anything: otherwise the idle callback rests.
bool idleHasWork();
// Restarts the model from the photograph, keeping mask and path.
void restartModel();
// The model's arrays were put back (undo): the whole picture is redrawn from them.
void showModelAgain();
// ctrl+Z, ctrl+shift+Z and ctrl+Y; false for any other key.
bool handleUndoKey(unsigned char key);

void reshape(int w, int h);
void keyboard(unsigned char key, int x, int y);
void keyboardUp(unsigned char key, int x, int y);
void specialKey(int key, int x, int y);
void idle();

// Drawing and mouse input of the main window. display draws a frame; the idle pass
// draws one only when mainWindowLookChanged.
void display();
bool mainWindowLookChanged();
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
