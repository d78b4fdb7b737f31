#pragma once

#include <cstddef>

// The one line in the panel that says what to do next, from the state of the photograph,
// its path and the simulation.
struct HintState {
    bool photographLoaded = false;
    std::size_t pathPoints = 0;
    bool simulationOn = false;
    bool brushMode = false;
};

const char* panelHint(const HintState& state);
