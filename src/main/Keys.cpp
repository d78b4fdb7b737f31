#include "main/Keys.h"

#include <GL/freeglut.h>

#include <cstdlib>

#include "main/AppState.h"
#include "main/Commands.h"

void keyboard(unsigned char key, int, int)
{
    // GLUT hands ctrl+letter over as the letter's control code.
    constexpr unsigned char ctrlS = 's' - 'a' + 1;
    if (key == 27 || key == 'q') std::exit(0);
    if (key == ctrlS) controlCallback(saveImageId);
    if (key == 'b') holdBefore(true);
    if (key == 'c') clearOutline();
    if (!undoKey(key)) appState.view.keyDown(key);
    appState.idle.wake();
    glutPostRedisplay();
}

void keyboardUp(unsigned char key, int, int)
{
    if (key == 'b') holdBefore(false);
    appState.view.keyUp(key);
}

void specialKey(int key, int, int)
{
    appState.view.specialKey(key);
    appState.idle.wake();
}
