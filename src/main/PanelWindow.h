#pragma once

// The control panel's window: opened 20 pixels right of the main window at the top of
// the screen (kept on it), moved when the main window changes its size, and asked for
// frames when what it shows changed.

// Creates the "GLUI" window with its ImGui context; the main window stays the current one.
void openPanelWindow();
// Moves the panel there again, after the main window changed its size.
void placeControlPanel();
// Asks for frames: what the panel shows changed, or input arrived.
void wantPanelFrames();
