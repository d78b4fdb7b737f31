#include "main/UndoSteps.h"

#include <iostream>

#include "main/AlternativePictures.h"
#include "main/Application.h"
#include "main/ControlPanel.h"
#include "main/IdleSwitch.h"
#include "model/ModelUndoState.h"
#include "model/UndoHistory.h"

namespace {

UndoHistory history;

void historyChanged()
{
    degreesChanged();
    redrawControlPanel();
    wakeIdle();
}

// The run so far becomes a step of its own, and the simulation stops.
void stopSimulation()
{
    if (appState.enableSimulation == 0) return;
    appState.enableSimulation = 0;
    commitChange();
}

void showRestoredModel(bool done)
{
    if (!done) {
        // The history refuses when the model changed behind its back, and empties.
        if (!history.active() && model.hasImage()) std::cerr << "undo: the history was out of step and is cleared" << std::endl;
        historyChanged();
        return;
    }
    showModelAgain();
    historyChanged();
}

}  // namespace

void startNewHistory()
{
    if (!startUndoHistory(history, model) && model.hasImage())
        std::cerr << "undo: not enough memory for a history of this photograph" << std::endl;
    historyChanged();
}

void noteWholeChange()
{
    degreesChanged();
    history.willChangeAll();
}

void noteDab(float x, float y, float radius)
{
    degreesChanged();
    const DabBounds b = dabBounds(x, y, radius);
    history.willChange(b.x0, b.y0, b.x1, b.y1);
}

void commitChange()
{
    commitUndoStep(history, model);
    if (appState.enableSimulation == 1) history.willChangeAll();
    historyChanged();
}

void undoChange()
{
    stopSimulation();
    showRestoredModel(undoModelStep(history, model));
}

void redoChange()
{
    stopSimulation();
    showRestoredModel(redoModelStep(history, model));
}

int undoableSteps()
{
    return history.undoSteps();
}

int redoableSteps()
{
    return history.redoSteps();
}
