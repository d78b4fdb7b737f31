#pragma once

#include <string>
#include <vector>

#include "main/AlternativePictures.h"
#include "main/BackgroundWork.h"
#include "main/IdleSwitch.h"
#include "main/LoopStatistics.h"
#include "main/MainWindowLook.h"
#include "main/OutlinePath.h"
#include "main/ViewControls.h"
#include "session/WeatheringSession.h"
#include "timing/StepPacer.h"
#include "timing/StopwatchSteady.h"

// The window tool's state, apart from the panel's own (PanelState.h): the session
// (photograph, model, history, step count, live settings of the model), the windows,
// the view, the mouse and what the main window shows. One lives for the whole run; the
// GLUT callbacks reach it as appState. The session and the live settings change only
// through the commands (Commands.h), which the panel, the keys and the mouse call; the
// view, the idle pass and the drawing keep their own parts up to date.
struct AppState {
    WeatheringSession session;
    std::string photographPath;  // where the photograph came from: the save dialog starts there
    std::string maskPath;        // the mask loaded for it ("" none): saved files name it
    std::string lastSaveFolder;  // where the last save went: the next starts there if need be
    std::string lastOpenChoice;  // the file last chosen to open: the open dialog starts on it
    // The clicked path when the save under way was asked for, in weathering-batch's
    // --path form: the console line that reports the save gives it.
    std::string savedPathArgument;

    int mainWindow = 0;
    int panelWindow = 0;
    int windowWidth = 512;  // main window size in screen pixels
    int windowHeight = 512;
    float imageAspect = 0.0f;  // photograph height / width
    float scaleX = 1.0f;       // window pixels per image pixel
    float scaleY = 1.0f;
    // Set when a photograph was adopted, until a reshape has seen the fitted size. At
    // start-up GLUT first reports the window's creation size, and answering that report
    // would replace the fitted size still waiting in GLUT's queue.
    bool fitPending = false;

    int mouseOperation = 0;  // 0 "Weathering Points", 1 "Weaterhing Brush"
    int showDegrees = 0;     // the main window shows degrees instead of colours
    bool keysShown = false;  // the list of keys over the photograph (? or F1)
    int leftDown = 0;
    int middleDown = 0;
    int showOutline = 0;
    Point2f brushCenter = {0.0f, 0.0f};
    OutlinePath outline;
    ViewControls view;

    StopwatchSteady stopwatch;
    float lastRefreshTime = 0.0f;       // shared by the simulation's and the brush's refresh
    unsigned int modelTexture = 0;      // the model's picture on the GPU, 0 until first uploaded
    unsigned int texturesUploaded = 0;  // the model's uploads so far: the picture changed when this did
    unsigned int pictureShown = 0;      // the session's pictureVersion the model's texture shows
    bool simulationWasOn = false;       // at the end of the last idle pass
    StepPacer pacer;                    // "Steps per second"
    bool pacedWakeSet = false;          // a timer will wake the idle pass for the next step
    float stepCountShown = 0.0f;        // when the panel last showed the step count
    AlternativePictures alternatives;
    MainWindowLook drawnLook;  // what the last frame showed
    bool drawnOnce = false;
    std::vector<Point2f> circleVertices;  // kept so that frames allocate nothing

    IdleSwitch idle;
    LoopStatistics statistics;
    // Loads and saves under way; last, so that it ends first at exit.
    BackgroundWork work;
};

extern AppState appState;
