#pragma once

#include "main/ViewTransform.h"

// The main window's zoom and pan as the user steers them: the wheel about the pointer,
// + - 0 1 and the arrow keys, and a left drag while space is held. Every change sets the
// main window's projection at once (the main window must be the current one); the
// caller wakes the idle pass that draws it.
class ViewControls {
public:
    ViewTransform transform;

    // A new photograph is shown whole.
    void reset(int imageWidth, int imageHeight);
    // Sets the main window's projection to the part of the photograph the view shows:
    // (0, W, 0, H) at the fit.
    void applyProjection() const;
    // Changes whenever the view does, so that a frame is drawn for it.
    unsigned int version() const { return changes; }

    // Keys of the main window; true when the key was the view's.
    bool keyDown(unsigned char key);
    bool keyUp(unsigned char key);
    void specialKey(int key);
    void wheel(int direction, int x, int y);

    // A left press while space is held starts a pan instead of a click or a dab; true then.
    bool startPan(int x, int y);
    // A drag of a pan under way moves the picture with the pointer; true then.
    bool continuePan(int x, int y);
    // A left release: true when it ended a pan.
    bool endPan();

private:
    unsigned int changes = 0;
    bool spaceHeld = false;
    bool panning = false;
    int panX = 0;
    int panY = 0;

    void changed();
};
