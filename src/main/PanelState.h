#pragma once

#include <imgui.h>

#include <string>

// The control panel's own state: the frames it still has to draw, its text lines, the
// command a button asked for, its size and the mouse releases it holds back.
struct PanelState {
    // Frames drawn after an input event: ImGui settles hover and active states over a
    // frame or two.
    static constexpr int framesAfterInput = 3;
    static constexpr int noCommand = -1;

    int framesWanted = framesAfterInput;
    // The outcome of the last save, shown at the bottom of the "Result" group.
    std::string resultLine;
    // The outcome of the last load or save, at the bottom of the panel; a failure in red.
    std::string statusLine;
    bool statusFailed = false;
    int pendingCommand = noCommand;
    ImVec2 requestedSize = {0.0f, 0.0f};

    // ImGui samples the mouse buttons once per frame, so a press and a release that
    // arrive between two frames would be lost. A release whose press no frame has seen
    // yet is held back until one has.
    struct HeldRelease {
        bool pressUnseen = false;
        bool releaseHeld = false;
        int x = 0;
        int y = 0;
    };
    HeldRelease heldReleases[3];
};

extern PanelState panelState;
