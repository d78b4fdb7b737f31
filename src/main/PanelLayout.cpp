#include "main/PanelLayout.h"

#include <GL/freeglut.h>
#include <backends/imgui_impl_glut.h>
#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <cfloat>
#include <vector>

#include "colour/CieLab.h"
#include "colour/DegreeColourMap.h"
#include "main/AppState.h"
#include "main/Commands.h"
#include "main/PanelInput.h"
#include "main/PanelState.h"
#include "main/PanelWindow.h"

namespace {

// The panel's content width; every group and control stretches to it, so the
// nested groups line up and the window can be sized to what it holds.
constexpr float panelWidth = 220.0f;
constexpr float speedMin = 0.01f;

// A bordered group headed by its name: a one-column table nests well, where 1.86
// has no auto-sizing child windows.
bool beginPanel(const char* name, float width = 0.0f)
{
    const ImGuiTableFlags flags = ImGuiTableFlags_BordersOuter | ImGuiTableFlags_SizingStretchSame;
    if (!ImGui::BeginTable(name, 1, flags, {width, 0.0f}))
        return false;
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
    if (ImGui::Checkbox(label, &checked))
        field = checked ? 1 : 0;
}

void slider(const char* id, float& field, float low, float high, const char* format)
{
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::SliderFloat(id, &field, low, high, format, ImGuiSliderFlags_AlwaysClamp);
}

void commandButton(const char* label, int id)
{
    if (ImGui::Button(label, {-FLT_MIN, 0.0f}))
        panelState.pendingCommand = id;
}

void mouseOperationPanel(PanelValues& values)
{
    if (!beginPanel("Mouse Operation"))
        return;
    ImGui::RadioButton("Weathering Points", &values.mouseOperation, 0);
    ImGui::RadioButton("Weaterhing Brush", &values.mouseOperation, 1);
    if (beginPanel("BrushSize")) {
        slider("##BrushSize", values.settings.brushSize, 10.0f, 100.0f, "%.1f");
        endPanel();
    }
    if (beginPanel("Speed")) {
        slider("##Speed", values.settings.speed, speedMin, 0.09f, "%.3f");
        endPanel();
    }
    endPanel();
}

void resultPanel()
{
    if (!beginPanel("Result"))
        return;
    commandButton("Save Image", saveImageId);
    commandButton("Save Degrees", saveDegreesId);
    if (!panelState.resultLine.empty())
        ImGui::TextWrapped("%s", panelState.resultLine.c_str());
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
void viewPanel(PanelValues& values)
{
    if (!beginPanel("View"))
        return;
    checkbox("Show Degrees", values.showDegrees);
    degreeColourBar();
    endPanel();
}

void stepsPanel(PanelValues& values)
{
    if (!beginPanel("Steps"))
        return;
    ImGui::Text("Steps: %d", appState.session.stepsSinceRestart());
    // Narrow fields, so that the longer label fits beside its field.
    constexpr float fieldWidth = 64.0f;
    ImGui::SetNextItemWidth(fieldWidth);
    ImGui::InputInt("Stop at step", &values.stopAtStep, 0, 0);
    ImGui::SetNextItemWidth(fieldWidth);
    ImGui::InputInt("Steps per second", &values.stepsPerSecond, 0, 0);
    if (values.stepsPerSecond < 0)
        values.stepsPerSecond = 0;
    ImGui::Text("Undo: %d steps", appState.session.undoableSteps());
    endPanel();
}

// In the Natural look, the colour each path point picked (the median around the click).
void pathSwatches()
{
    const std::vector<MyAlgebra::vec3>& picked = appState.session.model().pathColours;
    if (picked.empty()) {
        ImGui::TextDisabled("no path points");
        return;
    }
    constexpr float swatchSide = 14.0f;
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    const float width = ImGui::GetContentRegionAvail().x;
    float used = 0.0f;
    for (std::size_t k = 0; k < picked.size(); ++k) {
        MyAlgebra::vec3 rgb;
        labToRgb(&picked[k], &rgb, 1);
        const ImVec4 colour(rgb.x, rgb.y, rgb.z, 1.0f);
        if (k > 0 && used + spacing + swatchSide <= width)
            ImGui::SameLine();
        else if (k > 0)
            used = 0.0f;
        used += (used > 0.0f ? spacing : 0.0f) + swatchSide;
        ImGui::PushID(static_cast<int>(k));
        ImGui::ColorButton("##point", colour, ImGuiColorEditFlags_NoTooltip | ImGuiColorEditFlags_NoDragDrop,
                           {swatchSide, swatchSide});
        ImGui::PopID();
    }
}

void lookPanel()
{
    if (!beginPanel("Look"))
        return;
    const bool natural = appState.session.look() == Look::natural;
    if (ImGui::RadioButton("Sampled", !natural) && natural)
        panelState.pendingCommand = sampledLookId;
    ImGui::SameLine();
    if (ImGui::RadioButton("Natural", natural) && !natural)
        panelState.pendingCommand = naturalLookId;
    if (natural)
        pathSwatches();
    endPanel();
}

void mainWindowPanel(PanelValues& values)
{
    if (!beginPanel("Main Window", panelWidth))
        return;
    commandButton("Load Image", loadImageId);
    commandButton("Load Mask", loadMaskId);
    commandButton("Init", initId);
    mouseOperationPanel(values);
    if (beginPanel("Simulation")) {
        checkbox("Dewethering", values.settings.dewethering);
        checkbox("Enable Simulation", values.enableSimulation);
        endPanel();
    }
    resultPanel();
    viewPanel(values);
    stepsPanel(values);
    lookPanel();
    endPanel();
}

// What to do next, under the groups so that no control moves.
void hintLine()
{
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + panelWidth);
    ImGui::TextColored({0.95f, 0.8f, 0.35f, 1.0f}, "%s", nextStepHint());
    ImGui::PopTextWrapPos();
}

// While the simulation runs, its speed under the panel's groups.
void simulationRateLine(const PanelValues& values)
{
    if (values.enableSimulation == 1)
        ImGui::Text("%.0f steps/s", appState.statistics.stepsPerSecond());
}

void statusLineText()
{
    if (panelState.statusLine.empty())
        return;
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + panelWidth);
    if (panelState.statusFailed)
        ImGui::TextColored({1.0f, 0.35f, 0.3f, 1.0f}, "%s", panelState.statusLine.c_str());
    else
        ImGui::TextUnformatted(panelState.statusLine.c_str());
    ImGui::PopTextWrapPos();
    // A load or save under way: the line shows its progress, and this stops it.
    if (appState.work.busy())
        commandButton("Cancel", cancelWorkId);
}

// The live values whose change the statistics time (the stop step is not one of them).
bool sameLiveValues(const PanelValues& a, const PanelValues& b)
{
    return a.mouseOperation == b.mouseOperation && a.settings.dewethering == b.settings.dewethering &&
        a.settings.speed == b.settings.speed && a.settings.brushSize == b.settings.brushSize &&
        a.enableSimulation == b.enableSimulation && a.showDegrees == b.showDegrees &&
        a.stepsPerSecond == b.stepsPerSecond;
}

bool sameValues(const PanelValues& a, const PanelValues& b)
{
    return sameLiveValues(a, b) && a.stopAtStep == b.stopAtStep;
}

// The ImGui window fills the GLUT window; the GLUT window follows the content.
// (An auto-resizing ImGui window clamps to the display and would shrink in a loop.)
void fitPanelWindowToContent(ImVec2 content)
{
    const ImVec2 padding = ImGui::GetStyle().WindowPadding;
    const ImVec2 wanted = {content.x + 2 * padding.x, content.y + 2 * padding.y};
    ImVec2& requested = panelState.requestedSize;
    if (wanted.x == requested.x && wanted.y == requested.y)
        return;
    requested = wanted;
    glutReshapeWindow(static_cast<int>(wanted.x + 0.5f), static_cast<int>(wanted.y + 0.5f));
    wantPanelFrames();
}

void drawPanelFrame(PanelValues& values)
{
    releaseHeldButtons();
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGLUT_NewFrame();
    ImGui::SetNextWindowPos({0.0f, 0.0f});
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
        ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus;
    ImGui::Begin("GLUI", nullptr, flags);
    ImGui::BeginGroup();
    mainWindowPanel(values);
    hintLine();
    simulationRateLine(values);
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
    const PanelValues before = panelValues();
    PanelValues values = before;
    drawPanelFrame(values);
    if (!sameValues(before, values))
        applyPanelValues(values);
    if (!sameLiveValues(before, values))
        appState.statistics.panelChangeApplied();
    // Commands run after the frame: they open dialogs and switch windows, which
    // must not happen in the middle of an ImGui frame.
    if (panelState.pendingCommand != PanelState::noCommand) {
        const int id = panelState.pendingCommand;
        panelState.pendingCommand = PanelState::noCommand;
        controlCallback(id);
        wantPanelFrames();
    }
}

void panelDisplay()
{
    wantPanelFrames();
    drawPanel();
}

}  // namespace

void installPanelDisplay()
{
    glutDisplayFunc(panelDisplay);
}

bool controlPanelWantsFrames()
{
    return panelState.framesWanted > 0 || panelState.pendingCommand != PanelState::noCommand;
}

void refreshControlPanel()
{
    if (appState.panelWindow == 0 || panelState.framesWanted <= 0)
        return;
    --panelState.framesWanted;
    glutSetWindow(appState.panelWindow);
    drawPanel();
    // A click whose press this frame saw completes in the next one at once, rather than
    // after the next simulation step.
    if (releaseWaiting())
        drawPanel();
    glutSetWindow(appState.mainWindow);
}
