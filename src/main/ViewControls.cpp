#include "main/ViewControls.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

void ViewControls::changed()
{
    ++changes;
    applyProjection();
}

void ViewControls::reset(int imageWidth, int imageHeight)
{
    transform.reset(imageWidth, imageHeight);
    panning = false;
    ++changes;
}

void ViewControls::applyProjection() const
{
    const ViewBounds b = transform.bounds();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(b.left, b.right, b.bottom, b.top);
    glMatrixMode(GL_MODELVIEW);
}

bool ViewControls::keyDown(unsigned char key)
{
    switch (key) {
    case '+':
    case '=':  // the same key without shift
        transform.zoomAtCentre(1);
        break;
    case '-':
        transform.zoomAtCentre(-1);
        break;
    case '0':
        transform.showFit();
        break;
    case '1':
        transform.showOneToOne();
        break;
    case ' ':
        spaceHeld = true;
        return true;
    default:
        return false;
    }
    changed();
    return true;
}

bool ViewControls::keyUp(unsigned char key)
{
    if (key != ' ')
        return false;
    spaceHeld = false;
    return true;
}

void ViewControls::specialKey(int key)
{
    switch (key) {
    case GLUT_KEY_LEFT:
        transform.panStep(-1, 0);
        break;
    case GLUT_KEY_RIGHT:
        transform.panStep(1, 0);
        break;
    case GLUT_KEY_UP:
        transform.panStep(0, 1);
        break;
    case GLUT_KEY_DOWN:
        transform.panStep(0, -1);
        break;
    default:
        return;
    }
    changed();
}

void ViewControls::wheel(int direction, int x, int y)
{
    if (direction == 0)
        return;
    transform.zoomAt(x, y, direction > 0 ? 1 : -1);
    changed();
}

bool ViewControls::startPan(int x, int y)
{
    if (!spaceHeld)
        return false;
    panning = true;
    panX = x;
    panY = y;
    return true;
}

bool ViewControls::continuePan(int x, int y)
{
    if (!panning)
        return false;
    transform.panBy(x - panX, y - panY);
    panX = x;
    panY = y;
    changed();
    return true;
}

bool ViewControls::endPan()
{
    const bool wasPanning = panning;
    panning = false;
    return wasPanning;
}
