#include "main/PanelInput.h"

#include <GL/freeglut.h>
#include <backends/imgui_impl_glut.h>
#include <imgui.h>

#include "main/AppState.h"
#include "main/Commands.h"
#include "main/PanelState.h"
#include "main/PanelWindow.h"

namespace {

void readModifiers()
{
    // The backend reads modifiers only in key callbacks; ctrl+click on a slider
    // (type a value) needs them at the click.
    ImGuiIO& io = ImGui::GetIO();
    const int modifiers = glutGetModifiers();
    io.KeyCtrl = (modifiers & GLUT_ACTIVE_CTRL) != 0;
    io.KeyShift = (modifiers & GLUT_ACTIVE_SHIFT) != 0;
    io.KeyAlt = (modifiers & GLUT_ACTIVE_ALT) != 0;
}

void panelMouse(int button, int state, int x, int y)
{
    wantPanelFrames();
    userActs();
    appState.statistics.notePanelInput();
    readModifiers();
    if (button >= 0 && button < 3) {
        PanelState::HeldRelease& held = panelState.heldReleases[button];
        if (state == GLUT_DOWN) {
            held.pressUnseen = true;
            held.releaseHeld = false;
        } else if (held.pressUnseen) {
            held.releaseHeld = true;
            held.x = x;
            held.y = y;
            return;
        }
    }
    ImGui_ImplGLUT_MouseFunc(button, state, x, y);
}

void panelMotion(int x, int y)
{
    wantPanelFrames();
    userActs();
    ImGui_ImplGLUT_MotionFunc(x, y);
}

void panelReshape(int w, int h)
{
    wantPanelFrames();
    ImGui_ImplGLUT_ReshapeFunc(w, h);
}

void panelKeyboard(unsigned char key, int x, int y)
{
    wantPanelFrames();
    // Typed into a field, the keys are the field's.
    if (!ImGui::GetIO().WantTextInput) {
        glutSetWindow(appState.mainWindow);
        const bool taken = eitherWindowKey(key);
        glutSetWindow(appState.panelWindow);
        if (taken)
            return;
    }
    ImGui_ImplGLUT_KeyboardFunc(key, x, y);
}

void panelKeyboardUp(unsigned char key, int x, int y)
{
    wantPanelFrames();
    ImGui_ImplGLUT_KeyboardUpFunc(key, x, y);
}

void panelSpecial(int key, int x, int y)
{
    wantPanelFrames();
    glutSetWindow(appState.mainWindow);
    const bool taken = eitherWindowSpecialKey(key);
    glutSetWindow(appState.panelWindow);
    if (taken)
        return;
    ImGui_ImplGLUT_SpecialFunc(key, x, y);
}

void panelSpecialUp(int key, int x, int y)
{
    wantPanelFrames();
    ImGui_ImplGLUT_SpecialUpFunc(key, x, y);
}

void panelWheel(int button, int direction, int x, int y)
{
    wantPanelFrames();
    ImGui_ImplGLUT_MouseWheelFunc(button, direction, x, y);
}

}  // namespace

void installPanelInput()
{
    ImGui_ImplGLUT_InstallFuncs();
    glutReshapeFunc(panelReshape);
    glutMouseFunc(panelMouse);
    glutMotionFunc(panelMotion);
    glutPassiveMotionFunc(panelMotion);
    glutMouseWheelFunc(panelWheel);
    glutKeyboardFunc(panelKeyboard);
    glutKeyboardUpFunc(panelKeyboardUp);
    glutSpecialFunc(panelSpecial);
    glutSpecialUpFunc(panelSpecialUp);
}

void releaseHeldButtons()
{
    for (int button = 0; button < 3; ++button) {
        PanelState::HeldRelease& held = panelState.heldReleases[button];
        if (held.releaseHeld && !held.pressUnseen) {
            held.releaseHeld = false;
            ImGui_ImplGLUT_MouseFunc(button, GLUT_UP, held.x, held.y);
            wantPanelFrames();
        }
    }
}

void markPressesSeen()
{
    for (PanelState::HeldRelease& held : panelState.heldReleases)
        held.pressUnseen = false;
}

bool releaseWaiting()
{
    for (const PanelState::HeldRelease& held : panelState.heldReleases)
        if (held.releaseHeld)
            return true;
    return false;
}
