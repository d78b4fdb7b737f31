#include "main/PanelHint.h"

const char* panelHint(const HintState& state)
{
    if (!state.photographLoaded)
        return "Load Image ... opens a photograph";
    const bool pathReady = state.pathPoints >= 2;
    if (state.simulationOn && !pathReady)
        return "No path yet: nothing weathers and no step is counted";
    if (state.simulationOn)
        return "Weathering; untick Enable Simulation to stop";
    // The brush paints along the path's colours: without a path it has none.
    if (state.brushMode && !pathReady)
        return "The brush needs a path: choose Weathering Points and click one";
    if (state.pathPoints == 0)
        return "Click a clean spot, then more weathered ones";
    if (!pathReady)
        return "Now click a more weathered spot";
    return "Tick Enable Simulation, or paint with the brush";
}
