#include <GL/freeglut.h>

#include <chrono>

#include "main/Application.h"
#include "main/IdleSwitch.h"
#include "main/LoopStatistics.h"
#include "main/UndoSteps.h"
#include "main/ViewControls.h"
#include "main/WindowGeometry.h"
#include "timing/RefreshThrottle.h"

namespace {

bool strokeHasDabs = false;  // the brush changed the picture since the left press

ImagePixel imagePixelAt(int x, int y)
{
    return view.windowToImage(x, y);
}

bool insidePhotograph(ImagePixel pixel)
{
    return pixel.x >= 0 && pixel.x < model.width && pixel.y >= 0 && pixel.y < model.height;
}

void leftButton(int state, ImagePixel pixel)
{
    if (state != GLUT_DOWN) {
        appState.leftDown = 0;
        if (strokeHasDabs) {
            commitChange();
            // The in-brush refreshes showed only some dabs: the screen shows all of the
            // stroke once it ends.
            showModelAgain();
        }
        strokeHasDabs = false;
        return;
    }
    // The window's top pixel row maps one past the photograph's top row: such a
    // click adds no point.
    if (appState.mouseOperation == 0 && insidePhotograph(pixel)) {
        noteInput(InputKind::click);
        noteWholeChange();
        model.addPathPoint(static_cast<float>(pixel.x), static_cast<float>(pixel.y));
        model.computeDegrees();
        appState.stepsSinceRestart = 0;
        commitChange();
    }
    appState.leftDown = 1;
}

void middleButton(int state, ImagePixel pixel)
{
    appState.showOutline = 1;
    if (state == GLUT_DOWN) {
        appState.middleDown = 1;
        outline.startOutline(static_cast<float>(pixel.x), static_cast<float>(pixel.y));
    } else {
        appState.middleDown = 0;
    }
}

void rightButton(int state)
{
    if (state != GLUT_DOWN || appState.mouseOperation != 0) return;
    noteWholeChange();
    model.removeLastPathPoint();
    model.computeDegrees();
    appState.stepsSinceRestart = 0;
    commitChange();
}

void brushDab(ImagePixel pixel)
{
    const auto start = std::chrono::steady_clock::now();
    appState.brushCenter = {static_cast<float>(pixel.x), static_cast<float>(pixel.y)};
    noteDab(appState.brushCenter.x, appState.brushCenter.y, appState.settings.brushSize);
    model.applyBrush(pixel.x, pixel.y, appState.settings);
    strokeHasDabs = true;
    // The refresh covers only this dab's disc; earlier dabs since the last refresh
    // show when a later refresh reaches them. The frame follows in the idle pass, after
    // the input already queued.
    if (refreshIsDue(appState.lastRefreshTime, appStopwatch.elapsed())) {
        noteInput(InputKind::dab);
        model.refreshTextureInBrush(appState.brushCenter.x, appState.brushCenter.y, appState.settings);
        noteDabWork(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

}  // namespace

void mouse(int button, int state, int x, int y)
{
    wakeIdle();
    if (button == GLUT_LEFT_BUTTON && (state == GLUT_DOWN ? startPan(x, y) : endPan())) return;
    const ImagePixel pixel = imagePixelAt(x, y);
    if (button == GLUT_LEFT_BUTTON)
        leftButton(state, pixel);
    else if (button == GLUT_MIDDLE_BUTTON)
        middleButton(state, pixel);
    else if (button == GLUT_RIGHT_BUTTON)
        rightButton(state);
}

void motion(int x, int y)
{
    wakeIdle();
    if (continuePan(x, y)) return;
    const ImagePixel pixel = imagePixelAt(x, y);
    if (appState.middleDown != 0)
        outline.continueOutline(static_cast<float>(pixel.x), static_cast<float>(pixel.y));
    if (appState.leftDown == 1 && appState.mouseOperation != 0) brushDab(pixel);
}
