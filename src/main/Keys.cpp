#include "main/Keys.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "main/AppState.h"
#include "main/Commands.h"

// Every array of a large photograph freed one by one takes seconds; the process exit
// hands all of it back at once. Only the console is flushed first.
void quitTool(int status)
{
    stopBackgroundWork();  // no decoder outlives the tool, no half-written file stays
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

void keyboard(unsigned char key, int, int)
{
    userActs();
    if (key == 27 || key == 'q')
        quitTool(0);
    if (key == 'b')
        holdBefore(true);
    if (key == 'c')
        clearOutline();
    if (!eitherWindowKey(key))
        appState.view.keyDown(key);
    appState.idle.wake();
    glutPostRedisplay();
}

void keyboardUp(unsigned char key, int, int)
{
    if (key == 'b')
        holdBefore(false);
    appState.view.keyUp(key);
}

void specialKey(int key, int, int)
{
    if (!eitherWindowSpecialKey(key))
        appState.view.specialKey(key);
    appState.idle.wake();
}
