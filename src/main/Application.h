#pragma once

#include "algebra/vec3.h"
#include "imageopen/TextureImageRect.h"
#include "main/AppState.h"
#include "main/OutlinePath.h"
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
// Sizes the main window for inputImage (windowWidth, windowHeight).
void fitWindowToImage();
// Everything that follows a successful load of a photograph: unless the texture
// or the model cannot hold it (a line says why, and the old photograph, texture
// and model stay together), it becomes inputImage, with texture, window size
// and the model rebuilt from it. `loaded` is emptied when adopted.
bool adoptInputImage(ImageRect<MyAlgebra::vec3>& loaded);
// Applies maskImage to the model and restarts it, when the model has a
// photograph; a mask of another size is first scaled to the photograph's.
void adoptMaskImage();
// Restarts the model from the photograph, keeping mask and path.
void restartModel();

void reshape(int w, int h);
void keyboard(unsigned char key, int x, int y);
void idle();

// Drawing and mouse input of the main window.
void display();
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
