#pragma once

// Drawing the main window: the model's picture (or the one shown instead of it), the
// path points, the outline and, in brush mode, the brush circle, at the view's zoom.

// Draws and swaps one frame of the main window (the current window).
void display();
// Whether a frame would differ from the last one drawn: the idle pass draws only then.
bool mainWindowLookChanged();
