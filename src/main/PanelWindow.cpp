#include "main/PanelWindow.h"

#include <GL/freeglut.h>
#include <backends/imgui_impl_glut.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include "main/AppState.h"
#include "main/MainWindow.h"
#include "main/PanelState.h"

namespace {
// The panel's width before it has sized itself to its content.
constexpr int panelOpeningWidth = 260;
}  // namespace

void openPanelWindow()
{
    const WindowPosition at = panelPosition(appState.windowWidth, panelOpeningWidth, screenSize().width);
    glutInitWindowPosition(at.x, at.y);
    glutInitWindowSize(panelOpeningWidth, 380);
    appState.panelWindow = glutCreateWindow("GLUI");

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // the tool writes no files
    ImGui::StyleColorsDark();
    ImGui_ImplGLUT_Init();
    ImGui_ImplOpenGL2_Init();
}

void placeControlPanel()
{
    if (appState.panelWindow == 0)
        return;
    const ImVec2 size = panelState.requestedSize;
    const int width = size.x > 0.0f ? static_cast<int>(size.x + 0.5f) : panelOpeningWidth;
    const WindowPosition at = panelPosition(appState.windowWidth, width, screenSize().width);
    glutSetWindow(appState.panelWindow);
    glutPositionWindow(at.x, at.y);
    glutSetWindow(appState.mainWindow);
}

void wantPanelFrames()
{
    panelState.framesWanted = PanelState::framesAfterInput;
    appState.idle.wake();
}
