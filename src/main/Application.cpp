#include "main/Application.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "platform/AvailableMemory.h"
#include "imageopen/ImageIO.h"
#include "imageopen/ImageSupport.h"
#include "imageopen/MaskScaling.h"
#include "main/AlternativePictures.h"
#include "main/ControlPanel.h"
#include "main/IdleSwitch.h"
#include "main/LoopStatistics.h"
#include "main/PhotographLimits.h"
#include "main/SwapControl.h"
#include "main/UndoSteps.h"
#include "main/ViewControls.h"
#include "main/WindowGeometry.h"
#include "timing/RefreshThrottle.h"

AppState appState;
TextureImageRect<MyAlgebra::vec3> inputImage;
TextureImageRect<float> maskImage;
WeatheringModel model;
StopwatchSteady appStopwatch;
OutlinePath outline;

namespace {
// GLUT hands ctrl+letter over as the letter's control code.
constexpr unsigned char ctrlS = 's' - 'a' + 1;
constexpr unsigned char ctrlY = 'y' - 'a' + 1;
constexpr unsigned char ctrlZ = 'z' - 'a' + 1;

// Set when a photograph was adopted, until a reshape has seen the fitted size. At
// start-up GLUT first reports the window's creation size, and answering that report
// would replace the fitted size still waiting in GLUT's queue.
bool fitPending = false;
// The model was built from a new photograph and its texture is still to come.
bool pictureStale = false;
unsigned int pictureVersion = 0;
int simulationWasOn = 0;

// The step counter, and the simulation's own stop when it reaches "Stop at step".
void countStep()
{
    // The panel shows the count a few times a second: a frame of it per step would
    // slow the run.
    constexpr float countInterval = 0.25f;
    static float countShown = 0.0f;
    ++appState.stepsSinceRestart;
    const bool stop = appState.stopAtStep > 0 && appState.stepsSinceRestart == appState.stopAtStep;
    if (stop) appState.enableSimulation = 0;
    const float now = appStopwatch.elapsed();
    if (stop || now - countShown > countInterval) {
        countShown = now;
        redrawControlPanel();
    }
}

void refreshModelTexture()
{
    const auto start = std::chrono::steady_clock::now();
    model.refreshTexture();
    pictureStale = false;
    noteRefresh(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}
}  // namespace

void initGL()
{
    disableSwapInterval();
    glutSetWindow(appState.mainWindow);
    glClearColor(0, 0, 0, 0);
    glDisable(GL_DEPTH_TEST);
    appStopwatch.start();
    initImageSupport();
}

WindowSize screenSize()
{
    return {glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT)};
}

namespace {

WindowSize fittedWindowSize()
{
    return fitWindowToScreen(inputImage.width, inputImage.height, appState.imageAspect, screenSize());
}

}  // namespace

void fitWindowToImage()
{
    const WindowSize size = fittedWindowSize();
    appState.windowWidth = size.width;
    appState.windowHeight = size.height;
}

namespace {

// Whether the texture and the model can take the photograph; says why not.
bool photographFits(const ImageRect<MyAlgebra::vec3>& photograph)
{
    GLint largestTextureSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTextureSide);
    const std::string refusal =
        photographRefusal(photograph.width, photograph.height, largestTextureSide, availableMemoryBytes());
    if (refusal.empty()) return true;
    std::cerr << refusal << std::endl;
    return false;
}

// The model is rebuilt first: it is the last that can still refuse, and then
// keeps the photograph it has, which inputImage and its texture still show.
bool rebuildModelFrom(const ImageRect<MyAlgebra::vec3>& photograph)
{
    const int kept[] = {model.width, model.height, model.displayWidth, model.displayHeight};
    model.width = model.displayWidth = photograph.width;
    model.height = model.displayHeight = photograph.height;
    if (model.initFromImage(photograph.data.get())) return true;
    model.width = kept[0];
    model.height = kept[1];
    model.displayWidth = kept[2];
    model.displayHeight = kept[3];
    return false;
}

}  // namespace

bool adoptInputImage(ImageRect<MyAlgebra::vec3>& loaded)
{
    if (!photographFits(loaded) || !rebuildModelFrom(loaded)) return false;
    inputImage.adopt(loaded.width, loaded.height, std::move(loaded.data));
    resetView(inputImage.width, inputImage.height);
    photographChanged();
    outline.clear();
    appState.stepsSinceRestart = 0;
    startNewHistory();
    appState.imageAspect = static_cast<float>(static_cast<double>(inputImage.height) / inputImage.width);
    const int oldWidth = appState.windowWidth;
    fitWindowToImage();
    if (appState.windowWidth != oldWidth) placeControlPanel();
    fitPending = true;
    glutReshapeWindow(appState.windowWidth, appState.windowHeight);
    glutPostRedisplay();
    // The texture follows at the next idle pass, so that a mask applied right away
    // needs no texture of its own.
    pictureStale = true;
    wakeIdle();
    return true;
}

void adoptMaskImage()
{
    if (!model.hasImage()) return;  // a mask means nothing without a photograph under it
    if (!fitMaskToPhotograph(maskImage, inputImage.width, inputImage.height)) return;
    noteWholeChange();
    model.applyMaskImage(maskImage.data.get(), maskImage.pixelCount());
    restartModel();
    commitChange();
}

void adoptMaskOfNewPhotograph()
{
    if (!model.hasImage()) return;
    if (!fitMaskToPhotograph(maskImage, inputImage.width, inputImage.height)) return;
    model.applyMaskImage(maskImage.data.get(), maskImage.pixelCount());
    // A restart of a model just built from the photograph (no path, nothing weathered)
    // would convert the same pixels again and leave all else as it is, but the rates.
    model.computeRates(appState.settings);
    startNewHistory();
}

void uploadModelTexture(unsigned int& texture, const std::uint32_t* rgba, int width, int height,
                        const PixelRect& changed)
{
    uploadRgbaTexture(texture, rgba, width, height, changed.x, changed.y, changed.width, changed.height);
    ++pictureVersion;
}

unsigned int modelPictureVersion()
{
    return pictureVersion;
}

void restartModel()
{
    if (inputImage.empty()) return;
    model.reinitialise(inputImage.data.get(), appState.settings);
    appState.stepsSinceRestart = 0;
}

void showModelAgain()
{
    pictureStale = true;
    wakeIdle();
}

bool handleUndoKey(unsigned char key)
{
    if (key != ctrlZ && key != ctrlY) return false;
    if (key == ctrlZ && (glutGetModifiers() & GLUT_ACTIVE_SHIFT) == 0)
        undoChange();
    else
        redoChange();
    return true;
}

void reshape(int w, int h)
{
    if (h < 1) return;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (inputImage.empty()) {
        // No photograph yet: nothing to keep the aspect of, so the window stays as
        // the user made it and one unit is one window pixel.
        gluOrtho2D(0, w, 0, h);
        appState.windowWidth = w;
        appState.windowHeight = h;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        return;
    }
    appState.windowWidth = w;
    appState.scaleX = static_cast<float>(w) / inputImage.width;
    appState.scaleY = static_cast<float>(h) / inputImage.height;
    appState.windowHeight = heightForWidth(w, appState.imageAspect);
    view.setWindow(w, h, appState.scaleX, appState.scaleY, appState.windowHeight);
    applyViewProjection();
    glLoadIdentity();
    if (fitPending) {
        fitPending = false;
        const WindowSize fit = fittedWindowSize();
        if (w != fit.width) {
            glutReshapeWindow(fit.width, fit.height);  // a size from before the fit
            return;
        }
    }
    // The width wins; the height follows the photograph's aspect.
    if (appState.windowHeight != h) glutReshapeWindow(appState.windowWidth, appState.windowHeight);
}

void keyboard(unsigned char key, int x, int y)
{
    if (key == 27 || key == 'q') std::exit(0);
    if (key == ctrlS) controlCallback(saveImageId);
    if (key == 'b') holdBefore(true);
    if (key == 'c') outline.clear();
    if (!handleUndoKey(key)) viewKeyDown(key, x, y);
    wakeIdle();
    glutPostRedisplay();
}

void keyboardUp(unsigned char key, int, int)
{
    if (key == 'b') holdBefore(false);
    viewKeyUp(key);
}

void specialKey(int key, int, int)
{
    viewSpecialKey(key);
}

void idle()
{
    glutSetWindow(appState.mainWindow);
    if (pictureStale) refreshModelTexture();
    // What input changed shows before the next step.
    if (mainWindowLookChanged()) display();
    commitDueChange();
    if (appState.enableSimulation == 1) {
        if (simulationWasOn == 0) {
            restartRateCounts();
            noteWholeChange();  // the run, tick to untick, is one step
        }
        model.simulationStep(appState.settings);
        degreesChanged();
        countStep();
        noteStep();
        if (refreshIsDue(appState.lastRefreshTime, appStopwatch.elapsed())) refreshModelTexture();
        if (rollLoopStatistics()) redrawControlPanel();
    }
    if (appState.enableSimulation == 0 && simulationWasOn == 1) commitChange();
    simulationWasOn = appState.enableSimulation;
    refreshAlternativePictures(appState.enableSimulation == 1 || (appState.leftDown == 1 && appState.mouseOperation == 1));
    if (mainWindowLookChanged()) display();
}

bool idleHasWork()
{
    return appState.enableSimulation == 1 || pictureStale || alternativePicturesHaveWork() || mainWindowLookChanged() ||
           changeAwaitsCommit();
}
