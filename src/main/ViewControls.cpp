#include "main/ViewControls.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include "main/IdleSwitch.h"

ViewTransform view;

namespace {

unsigned int version = 0;
bool spaceHeld = false;
bool panning = false;
int panX = 0;
int panY = 0;

void viewChanged()
{
    ++version;
    applyViewProjection();
    wakeIdle();
}

}  // namespace

void resetView(int imageWidth, int imageHeight)
{
    view.reset(imageWidth, imageHeight);
    panning = false;
    ++version;
}

void applyViewProjection()
{
    const ViewBounds b = view.bounds();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(b.left, b.right, b.bottom, b.top);
    glMatrixMode(GL_MODELVIEW);
}

unsigned int viewVersion()
{
    return version;
}

bool viewKeyDown(unsigned char key, int, int)
{
    switch (key) {
    case '+':
    case '=':  // the same key without shift
        view.zoomAtCentre(1);
        break;
    case '-':
        view.zoomAtCentre(-1);
        break;
    case '0':
        view.showFit();
        break;
    case '1':
        view.showOneToOne();
        break;
    case ' ':
        spaceHeld = true;
        return true;
    default:
        return false;
    }
    viewChanged();
    return true;
}

bool viewKeyUp(unsigned char key)
{
    if (key != ' ') return false;
    spaceHeld = false;
    return true;
}

void viewSpecialKey(int key)
{
    switch (key) {
    case GLUT_KEY_LEFT: view.panStep(-1, 0); break;
    case GLUT_KEY_RIGHT: view.panStep(1, 0); break;
    case GLUT_KEY_UP: view.panStep(0, 1); break;
    case GLUT_KEY_DOWN: view.panStep(0, -1); break;
    default: return;
    }
    viewChanged();
}

void viewWheel(int, int direction, int x, int y)
{
    if (direction == 0) return;
    view.zoomAt(x, y, direction > 0 ? 1 : -1);
    viewChanged();
}

bool startPan(int x, int y)
{
    if (!spaceHeld) return false;
    panning = true;
    panX = x;
    panY = y;
    return true;
}

bool continuePan(int x, int y)
{
    if (!panning) return false;
    view.panBy(x - panX, y - panY);
    panX = x;
    panY = y;
    viewChanged();
    return true;
}

bool endPan()
{
    const bool wasPanning = panning;
    panning = false;
    return wasPanning;
}
