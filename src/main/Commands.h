#pragma once

#include <string>

#include "main/WindowGeometry.h"
#include "model/ModelSettings.h"

// Everything a person can do to the tool, whether by the panel, a key or the mouse: the
// one place where the window front end asks the session (session/WeatheringSession.h)
// to act and then shows what came of it (console lines, panel texts, a new frame).

// Command ids of the panel's buttons (ctrl+S is "Save Image"); "Cancel" stops the load
// or save under way.
enum ControlId {
    loadImageId = 13,
    loadMaskId = 3,
    initId = 6,
    saveImageId = 20,
    saveDegreesId = 21,
    cancelWorkId = 22,
    sampledLookId = 30,  // the "Look" group's radio pair
    naturalLookId = 31
};
// Runs the command of a panel button on the main window.
void controlCallback(int id);

// Start-up: the photograph (a line says it was loaded) and the mask that comes with it,
// decoded while the windows answer. False when the file could not be taken; the loader
// has said why.
bool loadStartPhotograph(const std::string& name);
bool loadStartMask(const std::string& name);
// The default photograph was not taken: the status line says which file, and the main
// window how to load one.
void reportNoStartPhotograph(const std::string& name);

// The values the panel's controls show and change.
struct PanelValues {
    int mouseOperation;
    ModelSettings settings;
    int enableSimulation;
    int showDegrees;
    int stopAtStep;
    int stepsPerSecond;  // 0: as fast as it goes
};
PanelValues panelValues();
void applyPanelValues(const PanelValues& values);

// The keys that work over either window: ctrl+Z, ctrl+shift+Z and ctrl+Y, ctrl+S and
// `?`; false for any other key.
bool eitherWindowKey(unsigned char key);
// F1; false for any other special key.
bool eitherWindowSpecialKey(int key);

// What to do next, for the panel's hint line.
const char* nextStepHint();

// The mouse in the main window, at the photograph's pixel under the pointer.
void leftPress(ImagePixel pixel);
void leftRelease();
void leftDrag(ImagePixel pixel);
void rightPress();
void middlePress(ImagePixel pixel);
void middleRelease();
void middleDrag(ImagePixel pixel);

// Keys of the main window besides the view's: `b` held shows the photograph as loaded;
// `c` clears the outline.
void holdBefore(bool held);
void clearOutline();

// A click, drag or key in either window: a load or save under way gives way to its
// answer for a moment.
void userActs();

// q and Escape: a load or save under way stops first (its decoder is killed, its
// half-written file removed).
void stopBackgroundWork();
