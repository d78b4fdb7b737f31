#include "main/Commands.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "imageopen/ImageIO.h"
#include "main/AppState.h"
#include "main/Display.h"
#include "main/FileDialog.h"
#include "main/MainWindow.h"
#include "main/PanelHint.h"
#include "main/PanelState.h"
#include "main/PanelWindow.h"
#include "main/SaveTypes.h"
#include "result/PathArgument.h"
#include "result/SaveSnapshot.h"
#include "timing/RefreshThrottle.h"

namespace {

WeatheringSession& session()
{
    return appState.session;
}

std::string fileName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

void setStatus(const std::string& text, bool failed)
{
    panelState.statusLine = text;
    panelState.statusFailed = failed;
    wantPanelFrames();
}

// The loader has said why on the console; the panel says it too.
void reportNotLoaded(const std::string& what, const std::string& name, const Outcome& outcome)
{
    const std::string& reason = outcome.reason();
    setStatus("cannot load " + what + fileName(name) + (reason.empty() ? std::string() : ": " + reason), true);
}

// The history, the step count and the picture may have moved: the panel and the main
// window follow.
void historyMoved(const Outcome& outcome)
{
    if (!outcome.reason().empty())
        std::cerr << outcome.reason() << std::endl;
    wantPanelFrames();
    appState.idle.wake();
}

void sayHistoryNotice()
{
    if (!session().historyNotice().empty())
        std::cerr << session().historyNotice() << std::endl;
}

BackgroundWork& work()
{
    return appState.work;
}

bool takePhotograph(ImageRect<MyAlgebra::vec3>& decoded, Outcome& outcome)
{
    outcome = session().adoptPhotograph(decoded);
    if (!outcome.done())
        return false;
    sayHistoryNotice();
    if (showNewPhotograph())
        placeControlPanel();
    historyMoved(Outcome::success());
    return true;
}

// How often the GUI thread looks in on work under way: often enough for a smooth
// progress figure and for its result to show at once.
constexpr unsigned int workWatchMilliseconds = 40;

void watchWork(int);

// The status line says what runs (the panel adds its Cancel button); a timer watches
// the work and takes its result on this thread.
void workStarted(bool started)
{
    if (!started)
        return;
    setStatus(work().progressText(), false);
    glutTimerFunc(workWatchMilliseconds, watchWork, 0);
}

void photographDecoded()
{
    const std::string& name = work().name();
    Outcome outcome = work().succeeded() ? Outcome::success() : Outcome::failure(work().reason());
    if (!work().succeeded() || !takePhotograph(work().photograph(), outcome)) {
        reportNotLoaded("", name, outcome);
        return;
    }
    appState.photographPath = name;
    appState.maskPath.clear();  // the new photograph starts without a mask
    const WeatheringSession::PhotographSize& photograph = session().photograph();
    setStatus("Loaded " + fileName(name) + " (" + std::to_string(photograph.width) + " x " +
                  std::to_string(photograph.height) + ")",
              false);
}

// The open dialog starts on the file chosen last, photograph or mask.
std::string chooseFileToOpen()
{
    std::string name = openFileDialog(appState.lastOpenChoice);
    if (!name.empty())
        appState.lastOpenChoice = name;
    return name;
}

void loadImageCommand()
{
    if (work().busy())
        return;  // the status line shows what runs, and its Cancel
    const std::string name = chooseFileToOpen();
    if (name.empty())
        return;  // cancelled: nothing to load, nothing to say
    workStarted(work().startPhotograph(name, session().photographSizeCheck()));
}

void maskDecoded()
{
    const std::string& name = work().name();
    const Outcome outcome = work().succeeded() ? session().adoptMask(work().mask()) : Outcome::failure(work().reason());
    if (!outcome.done()) {
        reportNotLoaded("mask ", name, outcome);
        return;
    }
    historyMoved(outcome);
    appState.maskPath = name;
    setStatus("Loaded mask " + fileName(name), false);
}

void loadMaskCommand()
{
    if (work().busy())
        return;
    const std::string name = chooseFileToOpen();
    if (name.empty())
        return;
    workStarted(work().startMask(name));
}

void initCommand()
{
    session().init();
    historyMoved(Outcome::success());
    display();
}

// A change of look restarts the photograph as "Init" does, and is one step to undo.
void lookCommand(Look look)
{
    if (look == session().look())
        return;
    session().setLook(look);
    historyMoved(Outcome::success());
    display();
}

enum class SavedWhat { image, degrees };

std::string suggestedSaveName(SavedWhat what)
{
    const std::string stem = std::filesystem::path(appState.photographPath).stem().string();
    return (stem.empty() ? std::string("weathering") : stem) +
        (what == SavedWhat::image ? "_weathered.png" : "_degrees.png");
}

std::string photographFolder()
{
    if (appState.photographPath.empty())
        return {};
    std::error_code error;
    return std::filesystem::absolute(appState.photographPath, error).parent_path().string();
}

// The line in the group names the file; the console line gives the whole path
// and the clicked path in weathering-batch's --path form, to make it again.
void reportSaved(const std::string& path, const SaveSnapshot& saved)
{
    const std::string size =
        " (" + std::to_string(saved.pictureWidth()) + " x " + std::to_string(saved.pictureHeight()) + ")";
    panelState.resultLine = "Saved " + fileName(path) + size;
    setStatus(panelState.resultLine, false);
    std::cout << "Saved " << path << size << " --path \"" << appState.savedPathArgument << "\"" << std::endl;
}

void reportNotSaved(const std::string& line)
{
    panelState.resultLine = line;
    setStatus(line, true);
    std::cerr << line << std::endl;
}

// Saving copies what it saves at once and writes it in the background: a running
// simulation goes on meanwhile.
void saveCommand(SavedWhat what)
{
    if (work().busy())
        return;
    const bool image = what == SavedWhat::image;
    const Outcome savable = image ? session().checkSavable() : session().checkDegreesSavable();
    if (!savable.done()) {
        reportNotSaved(savable.reason());
        return;
    }
    const std::string folder =
        saveStartFolder(photographFolder(), appState.lastSaveFolder, picturesFolder(), homeFolder());
    const std::string path = saveFileDialog(image ? "Save Image" : "Save Degrees", folder, suggestedSaveName(what),
                                            image ? imageSaveTypes() : degreeSaveTypes());
    if (path.empty())
        return;  // cancelled: nothing written, nothing to say
    const ResultRecipe recipe{appState.photographPath, appState.maskPath, session().stepsSinceRestart(),
                              session().settings().dewethering != 0};
    WeatheringModel& model = session().model();
    appState.savedPathArgument = formatPathArgument(model.imagePoints, model.height);
    workStarted(work().startSave(
        image ? SaveSnapshot::ofColours(model, recipe) : SaveSnapshot::ofDegrees(model, recipe), path));
}

void saveWritten()
{
    if (work().succeeded()) {
        appState.lastSaveFolder = std::filesystem::path(work().name()).parent_path().string();
        reportSaved(work().name(), work().saved());
    } else {
        reportNotSaved("cannot save " + work().name() + ": " + work().reason());
    }
}

// A cancelled load or save changes nothing (and leaves no file); only the line says so.
void workCancelled()
{
    const bool saving = work().kind() == BackgroundWork::Kind::save;
    std::cerr << (saving ? "cancelled saving " : "cancelled loading ") << work().name() << std::endl;
    setStatus((saving ? "Cancelled saving " : "Cancelled loading ") + fileName(work().name()), false);
}

void workDone()
{
    if (work().cancelled())
        workCancelled();
    else if (work().kind() == BackgroundWork::Kind::photograph)
        photographDecoded();
    else if (work().kind() == BackgroundWork::Kind::mask)
        maskDecoded();
    else
        saveWritten();
    work().forget();
}

void watchWork(int)
{
    if (!work().busy())
        return;
    if (!work().collect()) {
        const std::string progress = work().progressText();
        if (progress != panelState.statusLine)
            setStatus(progress, false);
        glutTimerFunc(workWatchMilliseconds, watchWork, 0);
        return;
    }
    glutSetWindow(appState.mainWindow);
    workDone();
    glutPostRedisplay();
}

// Start-up has no panel yet: the windows answer (q and Escape quit) until the file is
// decoded.
bool awaitStartUpWork(bool started)
{
    if (!started)
        return false;
    while (!work().collect()) {
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return work().succeeded();
}

bool insidePhotograph(ImagePixel pixel)
{
    const WeatheringModel& model = session().model();
    return pixel.x >= 0 && pixel.x < model.width && pixel.y >= 0 && pixel.y < model.height;
}

void refusePathPoint()
{
    const std::string line =
        "path point refused: a path has at most " + std::to_string(WeatheringSession::mostPathPoints) + " points";
    setStatus(line, true);
    std::cerr << line << std::endl;
}

}  // namespace

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
        initCommand();
        break;
    case sampledLookId:
        lookCommand(Look::sampled);
        break;
    case naturalLookId:
        lookCommand(Look::natural);
        break;
    case saveImageId:
        saveCommand(SavedWhat::image);
        break;
    case saveDegreesId:
        saveCommand(SavedWhat::degrees);
        break;
    case cancelWorkId:
        work().cancel();
        break;
    default:
        break;
    }
    glutPostRedisplay();
}

bool loadStartPhotograph(const std::string& name)
{
    Outcome outcome = Outcome::success();
    const bool taken = awaitStartUpWork(work().startPhotograph(name, session().photographSizeCheck())) &&
        takePhotograph(work().photograph(), outcome);
    work().forget();
    if (!taken)
        return false;
    std::cerr << "input image loaded" << std::endl;
    appState.photographPath = findFile(name);
    return true;
}

bool loadStartMask(const std::string& name)
{
    const bool taken =
        awaitStartUpWork(work().startMask(name)) && session().adoptMaskOfPhotograph(work().mask()).done();
    work().forget();
    if (!taken)
        return false;
    if (session().hasPhotograph())
        appState.maskPath = findFile(name);
    sayHistoryNotice();
    historyMoved(Outcome::success());
    return true;
}

void reportNoStartPhotograph(const std::string& name)
{
    setStatus("No photograph: " + name + " was not found", true);
}

PanelValues panelValues()
{
    const WeatheringSession& s = session();
    return {appState.mouseOperation, s.settings(),   s.simulationOn() ? 1 : 0,
            appState.showDegrees,    s.stopAtStep(), appState.pacer.rate()};
}

void applyPanelValues(const PanelValues& values)
{
    appState.mouseOperation = values.mouseOperation;
    appState.showDegrees = values.showDegrees;
    session().settings() = values.settings;
    session().setStopAtStep(values.stopAtStep);
    appState.pacer.setRate(values.stepsPerSecond);
    if (values.enableSimulation != 0 && !session().simulationOn())
        appState.pacer.restart();
    session().setSimulation(values.enableSimulation != 0);
    appState.idle.wake();
}

namespace {

void toggleKeyOverlay()
{
    appState.keysShown = !appState.keysShown;
    appState.idle.wake();
}

bool undoKey(unsigned char key)
{
    // GLUT hands ctrl+letter over as the letter's control code.
    constexpr unsigned char ctrlY = 'y' - 'a' + 1;
    constexpr unsigned char ctrlZ = 'z' - 'a' + 1;
    if (key != ctrlZ && key != ctrlY)
        return false;
    if (key == ctrlZ && (glutGetModifiers() & GLUT_ACTIVE_SHIFT) == 0)
        historyMoved(session().undo());
    else
        historyMoved(session().redo());
    return true;
}

}  // namespace

bool eitherWindowKey(unsigned char key)
{
    constexpr unsigned char ctrlS = 's' - 'a' + 1;
    if (key == ctrlS) {
        controlCallback(saveImageId);
        return true;
    }
    if (key == '?') {
        toggleKeyOverlay();
        return true;
    }
    return undoKey(key);
}

bool eitherWindowSpecialKey(int key)
{
    if (key != GLUT_KEY_F1)
        return false;
    toggleKeyOverlay();
    return true;
}

const char* nextStepHint()
{
    const WeatheringSession& s = session();
    return panelHint({s.hasPhotograph(), s.model().imagePoints.size(), s.simulationOn(), appState.mouseOperation == 1});
}

void leftPress(ImagePixel pixel)
{
    session().beginStroke();
    // The window's top pixel row maps one past the photograph's top row: such a
    // click adds no point.
    if (appState.mouseOperation == 0 && insidePhotograph(pixel)) {
        appState.statistics.noteInput(LoopStatistics::InputKind::click);
        if (session().pathIsFull())
            refusePathPoint();
        else
            session().addPathPoint(pixel.x, pixel.y);
        wantPanelFrames();  // the hint follows the path
    }
    appState.leftDown = 1;
}

void leftRelease()
{
    appState.leftDown = 0;
    // The in-brush refreshes showed only some dabs: the screen shows all of the stroke
    // once it ends (the session's picture version says so).
    session().endStroke();
}

void leftDrag(ImagePixel pixel)
{
    if (appState.leftDown != 1 || appState.mouseOperation == 0)
        return;
    const auto start = std::chrono::steady_clock::now();
    appState.brushCenter = {static_cast<float>(pixel.x), static_cast<float>(pixel.y)};
    session().dab(pixel.x, pixel.y);
    // The refresh covers only this dab's disc; earlier dabs since the last refresh
    // show when a later refresh reaches them. The frame follows in the idle pass, after
    // the input already queued.
    if (refreshIsDue(appState.lastRefreshTime, appState.stopwatch.elapsed())) {
        appState.statistics.noteInput(LoopStatistics::InputKind::dab);
        session().model().refreshTextureInBrush(appState.brushCenter.x, appState.brushCenter.y, session().settings());
        appState.statistics.noteDabWork(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void rightPress()
{
    if (appState.mouseOperation != 0)
        return;
    session().removePathPoint();
    wantPanelFrames();
}

void middlePress(ImagePixel pixel)
{
    appState.showOutline = 1;
    appState.middleDown = 1;
    appState.outline.startOutline(static_cast<float>(pixel.x), static_cast<float>(pixel.y));
}

void middleRelease()
{
    appState.showOutline = 1;
    appState.middleDown = 0;
}

void middleDrag(ImagePixel pixel)
{
    if (appState.middleDown == 0)
        return;
    appState.outline.continueOutline(static_cast<float>(pixel.x), static_cast<float>(pixel.y));
}

void holdBefore(bool held)
{
    if (appState.alternatives.holdBefore(held, session()))
        appState.idle.wake();
}

void clearOutline()
{
    appState.outline.clear();
}

void userActs()
{
    work().userActed();
}

void stopBackgroundWork()
{
    work().cancelAndWait();
}
