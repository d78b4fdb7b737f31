#include "main/OutsideClose.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "main/AppState.h"
#include "main/Keys.h"

namespace {

// How often the windows' existence is checked while nothing else asks X about it.
constexpr unsigned int windowCheckMilliseconds = 250;

// One line, then gone: no exit handler may touch X any more.
[[noreturn]] void endAfter(const char* line)
{
    std::fflush(stdout);
    const ssize_t written = write(STDERR_FILENO, line, std::strlen(line));
    (void)written;
    _exit(0);
}

int onXError(Display* display, XErrorEvent* error)
{
    char text[160] = {};
    XGetErrorText(display, error->error_code, text, sizeof text - 1);
    char line[320];
    std::snprintf(line, sizeof line, "weathering: X error (%s, request %d); a window is gone, ending\n", text,
                  static_cast<int>(error->request_code));
    endAfter(line);
}

int onXConnectionLost(Display*)
{
    endAfter("weathering: the connection to the X server is lost, ending\n");
}

// The close button: as q does.
void onWindowClose()
{
    quitTool(0);
}

// Asking X for a window's place is a round trip: a destroyed window answers with an
// error, which ends the tool, even while nothing is drawn.
void checkWindows(int)
{
    const int current = glutGetWindow();
    for (const int window : {appState.mainWindow, appState.panelWindow}) {
        glutSetWindow(window);
        glutGet(GLUT_WINDOW_X);
    }
    if (current != 0)
        glutSetWindow(current);
    glutTimerFunc(windowCheckMilliseconds, checkWindows, 0);
}

}  // namespace

void endWhenClosedFromOutside()
{
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXConnectionLost);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    const int current = glutGetWindow();
    for (const int window : {appState.mainWindow, appState.panelWindow}) {
        glutSetWindow(window);
        glutCloseFunc(onWindowClose);
    }
    glutSetWindow(current);
    glutTimerFunc(windowCheckMilliseconds, checkWindows, 0);
}
