#include "session/WeatheringSession.h"

#include <iostream>

#include "imageopen/ImageIO.h"
#include "colour/CieLab.h"
#include "imageopen/MaskScaling.h"
#include "platform/AvailableMemory.h"
#include "model/ModelUndoState.h"

WeatheringSession::WeatheringSession(History history) : historyUse(history), availableMemory(availableMemoryBytes)
{
    memoryBudget.undoCopy = keepsHistory();
}

// --- loading

Outcome WeatheringSession::loadPhotograph(const std::string& path)
{
    ImageRect<MyAlgebra::vec3> loaded;  // the photograph in use stays until this one is taken
    std::string reason;
    DecoderSettings settings;
    settings.sizeCheck = [this](int width, int height) { return sizeRefusal(width, height); };
    if (!ImageIO::load(loaded, path.c_str(), reason, settings))
        return Outcome::failure(reason);
    return adoptPhotograph(loaded);
}

// Asked before the pixels arrive. The photograph in use is still held, so what is
// available is what the new one may take.
std::string WeatheringSession::sizeRefusal(int width, int height) const
{
    return memoryBudget.refusal(width, height, availableMemory());
}

std::function<std::string(int, int)> WeatheringSession::photographSizeCheck() const
{
    const MemoryBudget budget = memoryBudget;
    const AvailableMemory available = availableMemory;
    return [budget, available](int width, int height) { return budget.refusal(width, height, available()); };
}

Outcome WeatheringSession::adoptPhotograph(ImageRect<MyAlgebra::vec3>& loaded)
{
    if (photographCheck != nullptr) {
        const std::string refusal = photographCheck(loaded.width, loaded.height);
        if (!refusal.empty()) {
            std::cerr << refusal << std::endl;
            return Outcome::failure(refusal);
        }
    }
    if (!rebuildModelFrom(loaded))
        return Outcome::failure("weathering model: cannot hold a photograph of " + std::to_string(loaded.width) +
                                " x " + std::to_string(loaded.height) + " pixels");
    photograph_ = {loaded.width, loaded.height};
    loaded.data.reset();  // the model holds its colours now
    ++photographCount;
    ++pictureCount;
    restartStepCount();
    startNewHistory();
    return Outcome::success();
}

// The model is rebuilt first: it is the last that can still refuse, and then keeps
// the photograph it has.
bool WeatheringSession::rebuildModelFrom(const ImageRect<MyAlgebra::vec3>& photograph)
{
    return model_.initFromImage(photograph.data.get(), photograph.width, photograph.height);
}

// Fits the mask to the photograph; without a photograph there is nothing to fit.
Outcome WeatheringSession::fitMask(ImageRect<float>& mask) const
{
    if (hasPhotograph() && !fitMaskToPhotograph(mask, photograph_.width, photograph_.height))
        return Outcome::failure("mask refused: cannot scale it to the photograph's size");
    return Outcome::success();
}

Outcome WeatheringSession::loadMaskOfPhotograph(const std::string& path)
{
    ImageRect<float> mask;
    std::string reason;
    if (!ImageIO::load(mask, path.c_str(), reason))
        return Outcome::failure(reason);
    return adoptMaskOfPhotograph(mask);
}

Outcome WeatheringSession::adoptMaskOfPhotograph(ImageRect<float>& decoded)
{
    const Outcome fitted = fitMask(decoded);
    if (!fitted.done() || !hasPhotograph())
        return fitted;  // a mask means nothing without a photograph
    model_.applyMaskImage(decoded.data.get(), decoded.pixelCount());
    // A restart of a model just built from the photograph (no path, nothing weathered)
    // would convert the same pixels again and leave all else as it is, but the rates.
    model_.computeRates(settings_);
    startNewHistory();
    return Outcome::success();
}

Outcome WeatheringSession::loadMask(const std::string& path)
{
    ImageRect<float> mask;
    std::string reason;
    if (!ImageIO::load(mask, path.c_str(), reason))
        return Outcome::failure(reason);
    return adoptMask(mask);
}

Outcome WeatheringSession::adoptMask(ImageRect<float>& decoded)
{
    const Outcome fitted = fitMask(decoded);
    if (!fitted.done() || !hasPhotograph())
        return fitted;
    noteWholeChange();
    model_.applyMaskImage(decoded.data.get(), decoded.pixelCount());
    restartModel();
    commitChange();
    return Outcome::success();
}

// --- the path

bool WeatheringSession::addPathPoint(int x, int y)
{
    if (x < 0 || x >= model_.width || y < 0 || y >= model_.height || !hasPhotograph() || pathIsFull())
        return false;
    noteWholeChange();
    model_.addPathPoint(static_cast<float>(x), static_cast<float>(y));
    pathChanged();
    return true;
}

bool WeatheringSession::removePathPoint()
{
    // A click with nothing to take back is no change, so no undo step either.
    if (!hasPhotograph() || model_.imagePoints.empty())
        return false;
    noteWholeChange();
    model_.removeLastPathPoint();
    pathChanged();
    return true;
}

void WeatheringSession::pathChanged()
{
    model_.computeDegrees();
    restartStepCount();
    commitChange();
}

// --- the brush

void WeatheringSession::beginStroke()
{
    strokeHasDabs = false;
}

void WeatheringSession::dab(int x, int y)
{
    noteDab(x, y);
    model_.applyBrush(x, y, settings_);
    strokeHasDabs = true;
}

bool WeatheringSession::endStroke()
{
    const bool changed = strokeHasDabs;
    strokeHasDabs = false;
    if (!changed)
        return false;
    commitChange();
    ++pictureCount;  // earlier refreshes showed only some of the dabs
    return true;
}

// --- the simulation

void WeatheringSession::setSimulation(bool on)
{
    if (on == simulationRuns)
        return;
    simulationRuns = on;
    if (on)
        stopTarget = stopAt > 0 && steps >= stopAt ? steps + stopAt : stopAt;
    if (on || !runStepped)
        return;
    runStepped = false;
    commitChange();  // the run, switched on to switched off, is one step
    ++pictureCount;  // refreshes during the run may not have shown its last steps
}

bool WeatheringSession::step()
{
    if (!simulationAdvances())
        return false;
    if (!runStepped) {
        runStepped = true;
        noteWholeChange();
    }
    model_.simulationStep(settings_);
    ++degreeCount;
    ++steps;
    if (stopTarget > 0 && steps == stopTarget)
        setSimulation(false);
    return true;
}

void WeatheringSession::restartStepCount()
{
    steps = 0;
    stopTarget = stopAt;
}

void WeatheringSession::setStopAtStep(int step)
{
    const int wanted = step < 0 ? 0 : step;
    if (wanted == stopAt)
        return;
    stopAt = wanted;
    stopTarget = wanted;
}

void WeatheringSession::init()
{
    noteWholeChange();
    restartModel();
    commitChange();
}

void WeatheringSession::setLook(Look chosen)
{
    if (chosen == model_.look)
        return;
    if (photograph_.empty()) {
        model_.look = chosen;
        return;
    }
    noteWholeChange();
    model_.setLook(chosen, nullptr, settings_);
    restartStepCount();
    commitChange();
}

void WeatheringSession::restartModel()
{
    if (photograph_.empty())
        return;
    model_.reinitialise(nullptr, settings_);
    restartStepCount();
}

// --- undo

void WeatheringSession::startNewHistory()
{
    commitDue = false;  // the change belonged to the photograph that is gone
    notice.clear();
    ++degreeCount;
    if (!keepsHistory())
        return;
    if (!startUndoHistory(history, model_) && hasPhotograph())
        notice = "undo: not enough memory for a history of this photograph";
    stepCounts.restart(steps);
    if (simulationRuns)
        willChangeModel(history, model_);  // a run goes on over the new photograph
}

void WeatheringSession::noteWholeChange()
{
    commitDueChange();
    ++degreeCount;
    if (keepsHistory())
        willChangeModel(history, model_);
}

void WeatheringSession::noteDab(int x, int y)
{
    commitDueChange();
    ++degreeCount;
    if (!keepsHistory())
        return;
    const DabBounds b = dabBounds(static_cast<float>(x), static_cast<float>(y), settings_.brushSize);
    willChangeModel(history, model_, b.x0, b.y0, b.x1, b.y1);
}

void WeatheringSession::commitChange()
{
    // Comparing and packing a whole photograph takes a while on a large one: the change
    // shows first, and is kept at the next commitDueChange, or before the next change.
    if (keepsHistory())
        commitDue = true;
}

bool WeatheringSession::commitDueChange()
{
    if (!commitDue)
        return false;
    keepChange();
    return true;
}

// Keeps what changed since the last step (if anything) as a step of its own.
void WeatheringSession::keepChange()
{
    commitDue = false;
    ++degreeCount;
    if (!keepsHistory())
        return;
    if (commitUndoStep(history, model_))
        stepCounts.keep(steps, static_cast<std::size_t>(history.undoSteps() + history.redoSteps()) + 1);
    else if (history.undoSteps() + history.redoSteps() == 0)
        stepCounts.restart(steps);  // also when a step too large for the budget emptied it
    // While the simulation runs, what it changes from now on belongs to the next step.
    if (simulationRuns)
        willChangeModel(history, model_);
}

// What changed so far (the run, a stroke still under way) becomes a step of its own,
// and the simulation stops: an undo then starts from a state the history has seen.
void WeatheringSession::finishChange()
{
    simulationRuns = false;
    runStepped = false;
    keepChange();
}

Outcome WeatheringSession::undo()
{
    finishChange();
    return showRestored(keepsHistory() && undoModelStep(history, model_), -1);
}

Outcome WeatheringSession::redo()
{
    finishChange();
    return showRestored(keepsHistory() && redoModelStep(history, model_), 1);
}

Outcome WeatheringSession::showRestored(bool done, int move)
{
    ++degreeCount;
    if (!done) {
        if (!keepsHistory() || history.active())
            return Outcome::failure(std::string());
        stepCounts.restart(steps);
        // The history refuses when the model changed behind its back, and empties.
        if (!hasPhotograph())
            return Outcome::failure(std::string());
        return Outcome::failure("undo: the history was out of step and is cleared");
    }
    steps = stepCounts.move(move, steps);
    ++pictureCount;
    return Outcome::success();
}

int WeatheringSession::undoableSteps() const
{
    return history.undoSteps();
}

int WeatheringSession::redoableSteps() const
{
    return history.redoSteps();
}

void WeatheringSession::photographColours(std::vector<MyAlgebra::vec3>& rgb) const
{
    rgb.clear();
    if (!hasPhotograph())
        return;
    rgb.resize(static_cast<std::size_t>(model_.pixelCount()));
    labToRgb(model_.labReference.get(), rgb.data(), model_.pixelCount());
}

// --- saving

Outcome WeatheringSession::checkSavable() const
{
    if (hasPhotograph())
        return Outcome::success();
    return Outcome::failure("nothing to save: no photograph is loaded");
}

Outcome WeatheringSession::checkDegreesSavable() const
{
    const Outcome savable = checkSavable();
    if (!savable.done() || pathReady())
        return savable;
    return Outcome::failure("no degrees to save: click a path of two points or more first");
}

Outcome WeatheringSession::saveImage(const std::string& path, const ResultRecipe& recipe)
{
    std::string reason;
    if (saveModelImage(model_, path, reason, recipe))
        return Outcome::success();
    return Outcome::failure(reason);
}

Outcome WeatheringSession::saveDegrees(const std::string& path, const ResultRecipe& recipe)
{
    std::string reason;
    if (saveModelDegrees(model_, path, reason, recipe))
        return Outcome::success();
    return Outcome::failure(reason);
}
