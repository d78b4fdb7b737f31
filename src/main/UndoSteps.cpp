#include "main/UndoSteps.h"

#include <iostream>
#include <vector>

#include "main/AlternativePictures.h"
#include "main/Application.h"
#include "main/ControlPanel.h"
#include "main/IdleSwitch.h"
#include "model/ModelUndoState.h"
#include "model/UndoHistory.h"

namespace {

UndoHistory history;
// The step counter of every state the history can go to, and the index of the present
// one: an undo shows the count the state had.
std::vector<int> stepCounts;
std::size_t present = 0;
// A change is done but not yet kept as a step.
bool commitDue = false;

void restartStepCounts()
{
    stepCounts.assign(1, appState.stepsSinceRestart);
    present = 0;
}

void keepStepCount()
{
    stepCounts.resize(present + 1);  // what could have been redone is gone
    stepCounts.push_back(appState.stepsSinceRestart);
    ++present;
    // The oldest steps went when the budget was full.
    const std::size_t states = static_cast<std::size_t>(history.undoSteps() + history.redoSteps()) + 1;
    if (stepCounts.size() > states) {
        const std::size_t gone = stepCounts.size() - states;
        stepCounts.erase(stepCounts.begin(), stepCounts.begin() + static_cast<std::ptrdiff_t>(gone));
        present -= gone;
    }
}

void showStepCount(int move)
{
    present = static_cast<std::size_t>(static_cast<int>(present) + move);
    if (present < stepCounts.size()) appState.stepsSinceRestart = stepCounts[present];
}

void historyChanged()
{
    degreesChanged();
    redrawControlPanel();
    wakeIdle();
}

// Keeps what changed since the last step (if anything) as a step of its own.
void keepChange()
{
    commitDue = false;
    if (commitUndoStep(history, model))
        keepStepCount();
    else if (history.undoSteps() + history.redoSteps() == 0)
        restartStepCounts();  // also when a step too large for the budget emptied it
    if (appState.enableSimulation == 1) history.willChangeAll();
    historyChanged();
}

// What changed so far (the run, a stroke still under way) becomes a step of its own,
// and the simulation stops: an undo then starts from a state the history has seen.
void finishChange()
{
    appState.enableSimulation = 0;
    keepChange();
}

void showRestoredModel(bool done, int move)
{
    if (!done) {
        if (!history.active()) restartStepCounts();
        // The history refuses when the model changed behind its back, and empties.
        if (!history.active() && model.hasImage()) std::cerr << "undo: the history was out of step and is cleared" << std::endl;
        historyChanged();
        return;
    }
    showStepCount(move);
    showModelAgain();
    historyChanged();
}

}  // namespace

void startNewHistory()
{
    commitDue = false;  // the change belonged to the photograph that is gone
    if (!startUndoHistory(history, model) && model.hasImage())
        std::cerr << "undo: not enough memory for a history of this photograph" << std::endl;
    restartStepCounts();
    if (appState.enableSimulation == 1) history.willChangeAll();  // a run goes on over the new photograph
    historyChanged();
}

void noteWholeChange()
{
    commitDueChange();
    degreesChanged();
    history.willChangeAll();
}

void noteDab(float x, float y, float radius)
{
    commitDueChange();
    degreesChanged();
    const DabBounds b = dabBounds(x, y, radius);
    history.willChange(b.x0, b.y0, b.x1, b.y1);
}

void commitChange()
{
    // Comparing and packing a whole photograph takes a while on a large one: the
    // change shows first, and is kept at the next idle pass, or before anything
    // changes the model again.
    commitDue = true;
    wakeIdle();
}

void commitDueChange()
{
    if (commitDue) keepChange();
}

bool changeAwaitsCommit()
{
    return commitDue;
}

void undoChange()
{
    finishChange();
    showRestoredModel(undoModelStep(history, model), -1);
}

void redoChange()
{
    finishChange();
    showRestoredModel(redoModelStep(history, model), 1);
}

int undoableSteps()
{
    return history.undoSteps();
}

int redoableSteps()
{
    return history.redoSteps();
}
