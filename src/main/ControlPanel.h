#pragma once

// Command ids of the panel's buttons.
enum ControlId { loadImageId = 13, loadMaskId = 3, initId = 6, saveImageId = 20, saveDegreesId = 21 };

// Creates the "GLUI" panel window 20 pixels right of the main window at the top of
// the screen (kept on it), with all its controls; the main window stays the current one.
void createControlPanel();
// Moves the panel there again, after the main window changed its size.
void placeControlPanel();

// Redraws the panel when its input or contents asked for a frame. Called from idle.
void refreshControlPanel();
// Whether the panel still has frames to draw (the idle callback must run for them).
bool controlPanelWantsFrames();
// Asks for frames: what the panel shows changed.
void redrawControlPanel();

// Runs the command of a panel button on the main window.
void controlCallback(int id);
