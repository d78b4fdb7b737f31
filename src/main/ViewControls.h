#pragma once

#include "main/ViewTransform.h"

// The main window's zoom and pan as the user steers them: the wheel about the pointer,
// + - 0 1 and the arrow keys, and a left drag while space is held.

extern ViewTransform view;

// A new photograph is shown whole.
void resetView(int imageWidth, int imageHeight);
// Sets the main window's projection to the part of the photograph the view shows:
// (0, W, 0, H) at the fit. The main window must be the current one.
void applyViewProjection();
// Changes whenever the view does, so that a frame is drawn for it.
unsigned int viewVersion();

// Keys of the main window; true when the key was the view's.
bool viewKeyDown(unsigned char key, int x, int y);
bool viewKeyUp(unsigned char key);
void viewSpecialKey(int key);
void viewWheel(int wheel, int direction, int x, int y);

// A left press while space is held starts a pan instead of a click or a dab; true then.
bool startPan(int x, int y);
// A drag of a pan under way moves the picture with the pointer; true then.
bool continuePan(int x, int y);
// A left release: true when it ended a pan.
bool endPan();
