#include "main/Mouse.h"

#include <GL/freeglut.h>

#include "main/AppState.h"
#include "main/Commands.h"

namespace {

ImagePixel imagePixelAt(int x, int y)
{
    return appState.view.transform.windowToImage(x, y);
}

}  // namespace

void mouse(int button, int state, int x, int y)
{
    appState.idle.wake();
    userActs();
    ViewControls& view = appState.view;
    if (button == GLUT_LEFT_BUTTON && (state == GLUT_DOWN ? view.startPan(x, y) : view.endPan()))
        return;
    const ImagePixel pixel = imagePixelAt(x, y);
    const bool down = state == GLUT_DOWN;
    if (button == GLUT_LEFT_BUTTON)
        down ? leftPress(pixel) : leftRelease();
    else if (button == GLUT_MIDDLE_BUTTON)
        down ? middlePress(pixel) : middleRelease();
    else if (button == GLUT_RIGHT_BUTTON && down)
        rightPress();
}

void motion(int x, int y)
{
    appState.idle.wake();
    userActs();
    if (appState.view.continuePan(x, y))
        return;
    const ImagePixel pixel = imagePixelAt(x, y);
    middleDrag(pixel);
    leftDrag(pixel);
}

void mouseWheel(int, int direction, int x, int y)
{
    appState.view.wheel(direction, x, y);
    appState.idle.wake();
}
