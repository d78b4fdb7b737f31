#include "main/ControlPanel.h"

#include <GL/freeglut.h>
#include <backends/imgui_impl_glut.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <cfloat>
#include <filesystem>
#include <iostream>
#include <string>

#include "colour/DegreeColourMap.h"
#include "main/FileDialog.h"
#include "imageopen/ImageIO.h"
#include "main/ErrorLineCapture.h"
#include "main/Application.h"
#include "result/ModelResult.h"
#include "result/PathArgument.h"
#include "main/IdleSwitch.h"
#include "main/LoopStatistics.h"
#include "main/UndoSteps.h"

namespace {

constexpr int noCommand = -1;
// The panel's content width; every group and control stretches to it, so the
// nested groups line up and the window can be sized to what it holds.
constexpr float panelWidth = 220.0f;
// Frames drawn after an input event: ImGui settles hover and active states over
// a frame or two.
constexpr int framesAfterInput = 3;

int framesWanted = framesAfterInput;
// The panel's width before it has sized itself to its content.
constexpr int panelOpeningWidth = 260;
// The outcome of the last save, shown at the bottom of the "Result" group.
std::string resultLine;
// The outcome of the last load or save, at the bottom of the panel; a failure in red.
std::string statusLine;
bool statusFailed = false;
int pendingCommand = noCommand;
ImVec2 requestedSize = {0.0f, 0.0f};

// ImGui samples the mouse buttons once per frame, so a press and a release that
// arrive between two frames would be lost. A release whose press no frame has
// seen yet is held back until one has.
struct HeldRelease {
    bool pressUnseen = false;
    bool releaseHeld = false;
    int x = 0;
    int y = 0;
};
HeldRelease heldReleases[3];

void wantFrames()
{
    framesWanted = framesAfterInput;
    wakeIdle();
}

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
    wantFrames();
    notePanelInput();
    readModifiers();
    if (button >= 0 && button < 3) {
        HeldRelease& held = heldReleases[button];
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

void releaseHeldButtons()
{
    for (int button = 0; button < 3; ++button) {
        HeldRelease& held = heldReleases[button];
        if (held.releaseHeld && !held.pressUnseen) {
            held.releaseHeld = false;
            ImGui_ImplGLUT_MouseFunc(button, GLUT_UP, held.x, held.y);
            wantFrames();
        }
    }
}

void markPressesSeen()
{
    for (HeldRelease& held : heldReleases) held.pressUnseen = false;
}

bool releaseWaiting()
{
    for (const HeldRelease& held : heldReleases)
        if (held.releaseHeld) return true;
    return false;
}

void panelMotion(int x, int y)
{
    wantFrames();
    ImGui_ImplGLUT_MotionFunc(x, y);
}

void panelReshape(int w, int h)
{
    wantFrames();
    ImGui_ImplGLUT_ReshapeFunc(w, h);
}

void panelKeyboard(unsigned char key, int x, int y)
{
    wantFrames();
    // Undo works over the panel too, unless a field is being typed in.
    if (!ImGui::GetIO().WantTextInput) {
        glutSetWindow(appState.mainWindow);
        const bool undoKey = handleUndoKey(key);
        glutSetWindow(appState.panelWindow);
        if (undoKey) return;
    }
    ImGui_ImplGLUT_KeyboardFunc(key, x, y);
}

void panelKeyboardUp(unsigned char key, int x, int y)
{
    wantFrames();
    ImGui_ImplGLUT_KeyboardUpFunc(key, x, y);
}

void panelSpecial(int key, int x, int y)
{
    wantFrames();
    ImGui_ImplGLUT_SpecialFunc(key, x, y);
}

void panelSpecialUp(int key, int x, int y)
{
    wantFrames();
    ImGui_ImplGLUT_SpecialUpFunc(key, x, y);
}

void panelWheel(int button, int direction, int x, int y)
{
    wantFrames();
    ImGui_ImplGLUT_MouseWheelFunc(button, direction, x, y);
}

// A bordered group headed by its name: a one-column table nests well, where 1.86
// has no auto-sizing child windows.
bool beginPanel(const char* name, float width = 0.0f)
{
    const ImGuiTableFlags flags = ImGuiTableFlags_BordersOuter | ImGuiTableFlags_SizingStretchSame;
    if (!ImGui::BeginTable(name, 1, flags, {width, 0.0f})) return false;
    ImGui::TableNextRow();
    ImGui::TableNextColumn();
    ImGui::TextUnformatted(name);
    ImGui::Separator();
    return true;
}

void endPanel()
{
    ImGui::EndTable();
}

void checkbox(const char* label, int& field)
{
    bool checked = field != 0;
    if (ImGui::Checkbox(label, &checked)) field = checked ? 1 : 0;
}

void slider(const char* id, float& field, float low, float high, const char* format)
{
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::SliderFloat(id, &field, low, high, format, ImGuiSliderFlags_AlwaysClamp);
}

void commandButton(const char* label, int id)
{
    if (ImGui::Button(label, {-FLT_MIN, 0.0f})) pendingCommand = id;
}

void mouseOperationPanel()
{
    if (!beginPanel("Mouse Operation")) return;
    ImGui::RadioButton("Weathering Points", &appState.mouseOperation, 0);
    ImGui::RadioButton("Weaterhing Brush", &appState.mouseOperation, 1);
    if (beginPanel("BrushSize")) {
        slider("##BrushSize", appState.settings.brushSize, 10.0f, 100.0f, "%.1f");
        endPanel();
    }
    if (beginPanel("Speed")) {
        slider("##Speed", appState.settings.speed, appState.speedMin, 0.09f, "%.3f");
        endPanel();
    }
    endPanel();
}

void resultPanel()
{
    if (!beginPanel("Result")) return;
    commandButton("Save Image", saveImageId);
    commandButton("Save Degrees", saveDegreesId);
    if (!resultLine.empty()) ImGui::TextWrapped("%s", resultLine.c_str());
    endPanel();
}

// The degree colour map from the path's start (left) to its end (right).
void degreeColourBar()
{
    constexpr int segments = 32;
    constexpr float barHeight = 10.0f;
    const float width = ImGui::GetContentRegionAvail().x;
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const auto colourAt = [](int k) {
        const MyAlgebra::vec3 c = degreeMapColour(static_cast<float>(k) / segments);
        return ImGui::GetColorU32(ImVec4(c.x, c.y, c.z, 1.0f));
    };
    for (int k = 0; k < segments; ++k) {
        const float x0 = origin.x + width * k / segments;
        const float x1 = origin.x + width * (k + 1) / segments;
        draw->AddRectFilledMultiColor({x0, origin.y}, {x1, origin.y + barHeight}, colourAt(k), colourAt(k + 1),
                                      colourAt(k + 1), colourAt(k));
    }
    ImGui::Dummy({width, barHeight});
    const float left = ImGui::GetCursorPosX();
    ImGui::TextUnformatted("start");
    ImGui::SameLine();
    ImGui::SetCursorPosX(left + width - ImGui::CalcTextSize("end").x);
    ImGui::TextUnformatted("end");
}

// The tool's own additions, below the groups above so that none of them moves.
void viewPanel()
{
    if (!beginPanel("View")) return;
    checkbox("Show Degrees", appState.showDegrees);
    degreeColourBar();
    endPanel();
}

void stepsPanel()
{
    if (!beginPanel("Steps")) return;
    ImGui::Text("Steps: %d", appState.stepsSinceRestart);
    ImGui::SetNextItemWidth(90.0f);
    if (ImGui::InputInt("Stop at step", &appState.stopAtStep, 0, 0) && appState.stopAtStep < 0) appState.stopAtStep = 0;
    ImGui::Text("Undo: %d steps", undoableSteps());
    endPanel();
}

void mainWindowPanel()
{
    if (!beginPanel("Main Window", panelWidth)) return;
    commandButton("Load Image", loadImageId);
    commandButton("Load Mask", loadMaskId);
    commandButton("Init", initId);
    mouseOperationPanel();
    if (beginPanel("Simulation")) {
        checkbox("Dewethering", appState.settings.dewethering);
        checkbox("Enable Simulation", appState.enableSimulation);
        endPanel();
    }
    resultPanel();
    viewPanel();
    stepsPanel();
    endPanel();
}

// While the simulation runs, its speed under the panel's groups.
void simulationRateLine()
{
    if (appState.enableSimulation == 1) ImGui::Text("%.0f steps/s", stepsPerSecond());
}

void statusLineText()
{
    if (statusLine.empty()) return;
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + panelWidth);
    if (statusFailed)
        ImGui::TextColored({1.0f, 0.35f, 0.3f, 1.0f}, "%s", statusLine.c_str());
    else
        ImGui::TextUnformatted(statusLine.c_str());
    ImGui::PopTextWrapPos();
}

// The live values the panel writes, to tell when a frame changed one.
struct LiveValues {
    int mouseOperation;
    ModelSettings settings;
    int enableSimulation;
    int showDegrees;
};

LiveValues liveValues()
{
    return {appState.mouseOperation, appState.settings, appState.enableSimulation, appState.showDegrees};
}

bool sameLiveValues(const LiveValues& a, const LiveValues& b)
{
    return a.mouseOperation == b.mouseOperation && a.settings.dewethering == b.settings.dewethering &&
           a.settings.speed == b.settings.speed && a.settings.brushSize == b.settings.brushSize &&
           a.enableSimulation == b.enableSimulation && a.showDegrees == b.showDegrees;
}

// The ImGui window fills the GLUT window; the GLUT window follows the content.
// (An auto-resizing ImGui window clamps to the display and would shrink in a loop.)
void fitPanelWindowToContent(ImVec2 content)
{
    const ImVec2 padding = ImGui::GetStyle().WindowPadding;
    const ImVec2 wanted = {content.x + 2 * padding.x, content.y + 2 * padding.y};
    if (wanted.x == requestedSize.x && wanted.y == requestedSize.y) return;
    requestedSize = wanted;
    glutReshapeWindow(static_cast<int>(wanted.x + 0.5f), static_cast<int>(wanted.y + 0.5f));
    wantFrames();
}

void drawPanelFrame()
{
    releaseHeldButtons();
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGLUT_NewFrame();
    ImGui::SetNextWindowPos({0.0f, 0.0f});
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoSavedSettings |
                                   ImGuiWindowFlags_NoBringToFrontOnFocus;
    ImGui::Begin("GLUI", nullptr, flags);
    ImGui::BeginGroup();
    mainWindowPanel();
    simulationRateLine();
    statusLineText();
    ImGui::EndGroup();
    const ImVec2 content = ImGui::GetItemRectSize();
    ImGui::End();
    ImGui::Render();
    markPressesSeen();

    const ImGuiIO& io = ImGui::GetIO();
    glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
    glClearColor(0.12f, 0.12f, 0.14f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    glutSwapBuffers();
    fitPanelWindowToContent(content);
}

void drawPanel()
{
    const LiveValues before = liveValues();
    drawPanelFrame();
    if (!sameLiveValues(before, liveValues())) panelChangeApplied();
    // Commands run after the frame: they open dialogs and switch windows, which
    // must not happen in the middle of an ImGui frame.
    if (pendingCommand != noCommand) {
        const int id = pendingCommand;
        pendingCommand = noCommand;
        controlCallback(id);
        wantFrames();
    }
}

void panelDisplay()
{
    wantFrames();
    drawPanel();
}

void installPanelCallbacks()
{
    // Registers the backend's callbacks on the current (panel) window only; the
    // main window keeps its own. Mouse and keys then go through our wrappers.
    ImGui_ImplGLUT_InstallFuncs();
    glutDisplayFunc(panelDisplay);
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

void setStatus(const std::string& text, bool failed)
{
    statusLine = text;
    statusFailed = failed;
    wantFrames();
}

// The loader and the model say why on the console: the loader's own last line is the
// reason shown, or else the last line of all (the image library's notes come after it).
void reportNotLoaded(const std::string& what, const std::string& name, const ErrorLineCapture& capture)
{
    std::string reason = capture.lastLine("ImageIO::load: ");
    if (reason.empty()) reason = capture.lastLine();
    const std::string file = std::filesystem::path(name).filename().string();
    setStatus("cannot load " + what + file + (reason.empty() ? std::string() : ": " + reason), true);
}

void loadImageCommand()
{
    const std::string name = openFileDialog();
    if (name.empty()) return;  // cancelled: nothing to load, nothing to say
    ImageRect<MyAlgebra::vec3> loaded;  // the photograph shown stays until this one is taken
    const ErrorLineCapture capture;
    if (!ImageIO::load(loaded, name.c_str()) || !adoptInputImage(loaded)) {
        reportNotLoaded("", name, capture);
        return;
    }
    appState.photographPath = name;
    setStatus("Loaded " + std::filesystem::path(name).filename().string() + " (" + std::to_string(inputImage.width) +
                  " x " + std::to_string(inputImage.height) + ")",
              false);
}

enum class SavedWhat { image, degrees };

std::string suggestedSaveName(SavedWhat what)
{
    const std::string stem = std::filesystem::path(appState.photographPath).stem().string();
    return (stem.empty() ? std::string("weathering") : stem) + (what == SavedWhat::image ? "_weathered.png" : "_degrees.png");
}

std::string photographFolder()
{
    if (appState.photographPath.empty()) return {};
    std::error_code error;
    return std::filesystem::absolute(appState.photographPath, error).parent_path().string();
}

// The line in the group names the file; the console line gives the whole path
// and the clicked path in weathering-batch's --path form, to make it again.
void reportSaved(const std::string& path)
{
    const std::string size = " (" + std::to_string(model.width) + " x " + std::to_string(model.height) + ")";
    resultLine = "Saved " + std::filesystem::path(path).filename().string() + size;
    setStatus(resultLine, false);
    std::cout << "Saved " << path << size << " --path \"" << formatPathArgument(model.imagePoints, model.height) << "\""
              << std::endl;
}

void reportNotSaved(const std::string& path, const std::string& reason)
{
    resultLine = "cannot save " + path + ": " + reason;
    setStatus(resultLine, true);
    std::cerr << resultLine << std::endl;
}

// Saving reads the model only: a running simulation goes on afterwards.
void saveCommand(SavedWhat what)
{
    if (!model.hasImage()) {
        resultLine = "nothing to save: no photograph is loaded";
        setStatus(resultLine, true);
        std::cerr << resultLine << std::endl;
        return;
    }
    const std::string path = saveFileDialog(what == SavedWhat::image ? "Save Image" : "Save Degrees",
                                            photographFolder(), suggestedSaveName(what));
    if (path.empty()) return;  // cancelled: nothing written, nothing to say
    std::string reason;
    const bool saved = what == SavedWhat::image ? saveModelImage(model, path, reason)
                                                : saveModelDegrees(model, path, reason);
    if (saved)
        reportSaved(path);
    else
        reportNotSaved(path, reason);
}

void loadMaskCommand()
{
    const std::string name = openFileDialog();
    if (name.empty()) return;
    const ErrorLineCapture capture;
    if (!ImageIO::load(maskImage, name.c_str())) {
        reportNotLoaded("mask ", name, capture);
        return;
    }
    adoptMaskImage();
    setStatus("Loaded mask " + std::filesystem::path(name).filename().string(), false);
}

}  // namespace

void createControlPanel()
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
    installPanelCallbacks();
    glutSetWindow(appState.mainWindow);
}

void placeControlPanel()
{
    if (appState.panelWindow == 0) return;
    const int width = requestedSize.x > 0.0f ? static_cast<int>(requestedSize.x + 0.5f) : panelOpeningWidth;
    const WindowPosition at = panelPosition(appState.windowWidth, width, screenSize().width);
    glutSetWindow(appState.panelWindow);
    glutPositionWindow(at.x, at.y);
    glutSetWindow(appState.mainWindow);
}

bool controlPanelWantsFrames()
{
    return framesWanted > 0 || pendingCommand != noCommand;
}

void redrawControlPanel()
{
    wantFrames();
}

void refreshControlPanel()
{
    if (appState.panelWindow == 0 || framesWanted <= 0) return;
    --framesWanted;
    glutSetWindow(appState.panelWindow);
    drawPanel();
    // A click whose press this frame saw completes in the next one at once, rather than
    // after the next simulation step.
    if (releaseWaiting()) drawPanel();
    glutSetWindow(appState.mainWindow);
}

void controlCallback(int id)
{
    glutSetWindow(appState.mainWindow);
    switch (id) {
    case loadImageId:
        loadImageCommand();
        break;
    case loadMaskId:
        loadMaskCommand();
        break;
    case initId:
        noteWholeChange();
        restartModel();
        commitChange();
        display();
        break;
    case saveImageId:
        saveCommand(SavedWhat::image);
        break;
    case saveDegreesId:
        saveCommand(SavedWhat::degrees);
        break;
    default:
        break;
    }
    glutPostRedisplay();
}
