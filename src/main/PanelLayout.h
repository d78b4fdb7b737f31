#pragma once

// The control panel's contents and frames: the groups "Main Window" (Load Image, Load
// Mask, Init), "Mouse Operation", "Simulation", "Result", "View" and "Steps", the
// steps/s line and the status line. A change of a control or a button goes to the
// commands (Commands.h) after the frame.

// Registers the panel window's display callback (the panel window is the current one).
void installPanelDisplay();
// Redraws the panel when its input or contents asked for a frame. Called from idle.
void refreshControlPanel();
// Whether the panel still has frames to draw (the idle callback must run for them).
bool controlPanelWantsFrames();
