#pragma once

// What the main window shows instead of the weathered colours, at the same zoom and
// pan: the photograph as loaded while `b` is held, and each pixel's degree through
// the degree colour map while "Show Degrees" is ticked (appState.showDegrees).

// The degrees may have changed (a step, a dab, a path or mask change, an undo).
void degreesChanged();
// A new photograph: the pictures made from the old one are out of date.
void photographChanged();
// `b` pressed and released.
void holdBefore(bool held);

// Brings the degree picture up to date when it is shown; while the picture changes
// continually (a run, a stroke) at most once per refresh interval.
void refreshAlternativePictures(bool changingContinually);
bool alternativePicturesHaveWork();

// The texture the main window draws, 0 for the model's own; and a number that changes
// whenever what it draws does.
unsigned int alternativeTexture();
unsigned int alternativePictureVersion();
