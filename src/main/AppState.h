#pragma once

#include <string>

#include "model/ModelSettings.h"
#include "model/WeatheringModel.h"

// The application-wide fields shared by the callbacks. The control panel is the
// only writer of the live settings (mouse mode, settings, simulation switch).
struct AppState {
    int mainWindow = 0;
    int panelWindow = 0;
    int windowWidth = 512;   // main window size in screen pixels
    int windowHeight = 512;
    float imageAspect = 0.0f;  // photograph height / width
    float scaleX = 1.0f;       // window pixels per image pixel
    float scaleY = 1.0f;

    int mouseOperation = 0;  // 0 "Weathering Points", 1 "Weaterhing Brush"
    ModelSettings settings;  // dewethering, speed, brushSize
    float speedMin = 0.01f;
    int enableSimulation = 0;
    int showDegrees = 0;  // the main window shows degrees instead of colours
    int stepsSinceRestart = 0;  // simulation steps since the last Init, path change or load
    int stopAtStep = 0;         // the simulation unticks itself at this step; 0: never

    int leftDown = 0;
    int middleDown = 0;
    int showOutline = 0;
    Point2f brushCenter = {0.0f, 0.0f};
    float lastRefreshTime = 0.0f;  // shared by the simulation's and the brush's refresh
    std::string photographPath;    // where the photograph came from: the save dialog starts there
};
