#pragma once

#include <string>

#include "algebra/vec3.h"
#include "imageopen/ImageRect.h"
#include "model/ModelSettings.h"
#include "model/UndoHistory.h"
#include "model/WeatheringModel.h"
#include "result/ModelResult.h"
#include "session/Outcome.h"
#include "session/StepCounts.h"

// One photograph being weathered, with everything a front end lets a person do to it.
// Both the window tool and weathering-batch drive it, so each rule of the tool lives
// here once. Sections:
//   - loading:     loadPhotograph, loadMaskOfPhotograph, loadMask
//   - the path:    addPathPoint, removePathPoint
//   - the brush:   beginStroke, dab, endStroke
//   - simulation:  setSimulation, step, setStopAtStep, init, setLook
//   - undo:        undo, redo, commitDueChange (the window's idle pass)
//   - saving:      checkSavable, saveImage, saveDegrees
//   - watching:    pictureVersion, degreeVersion, photographVersion
// No window system here: what to draw and when is the front end's business; the
// version counters tell it what changed.
//
// Undo: a change the user can take back is a brush stroke (press to release), a run
// of the simulation (switched on to switched off), "Init", a path click or "Load Mask".
// A new photograph starts a new history. A change is kept as a step only at the next
// commitDueChange (after the front end showed it), or when the next change begins.
class WeatheringSession {
public:
    enum class History { kept, none };
    // Why a photograph of this size cannot be taken ("" when it can): a front end's own
    // limits, such as its largest texture.
    using PhotographCheck = std::string (*)(int width, int height);

    explicit WeatheringSession(History history = History::kept);
    WeatheringSession(const WeatheringSession&) = delete;
    WeatheringSession& operator=(const WeatheringSession&) = delete;

    // --- loading. A load that fails prints its reason on std::cerr (as the loader does),
    // returns it and leaves photograph, mask, path, history and weathering as they were.

    // Decodes the file and, when the check and the model accept it, makes it the
    // photograph: the model is rebuilt (no mask, empty path), the step count is 0 and the
    // history starts anew.
    Outcome loadPhotograph(const std::string& path);
    // The mask that comes with the photograph (start-up, a command line): it becomes part
    // of the photograph's starting state, not a step to undo. A mask of another size is
    // scaled to the photograph's. Without a photograph the file is only read.
    Outcome loadMaskOfPhotograph(const std::string& path);
    // "Load Mask": the mask applies and the model restarts from the photograph, keeping
    // the path; one step to undo.
    Outcome loadMask(const std::string& path);
    void setPhotographCheck(PhotographCheck check) { photographCheck = check; }

    // --- the path, in the model's pixels (row 0 at the bottom). A change of the path
    // recomputes the degrees, restarts the step count and is one step to undo.

    // False, changing nothing, for a pixel outside the photograph.
    bool addPathPoint(int x, int y);
    // Also with an empty path (the degrees are recomputed all the same).
    void removePathPoint();

    // --- the brush: a stroke is one step to undo.
    void beginStroke();
    // One dab of settings().brushSize at settings().speed around the pixel.
    void dab(int x, int y);
    // True when the stroke changed the picture (its dabs have not all been shown).
    bool endStroke();

    // --- the simulation
    void setSimulation(bool on);
    bool simulationOn() const { return simulationRuns; }
    // One simulation step, when the simulation is on; it switches itself off when the
    // step count reaches "Stop at step". Returns whether a step was made.
    bool step();
    int stepsSinceRestart() const { return steps; }
    // 0: never stop; a negative number counts as 0.
    void setStopAtStep(int step);
    int stopAtStep() const { return stopAt; }
    // "Init": back to the photograph's colours, keeping mask and path; one step to undo.
    void init();
    // The look ("Sampled" or "Natural"): a change on a photograph restarts it as "Init"
    // does and is one step to undo; without one it holds for the next photograph.
    void setLook(Look chosen);
    Look look() const { return model_.look; }

    // --- undo. A running simulation stops first, and what changed so far (the run, a
    // stroke under way) is the step undone. Fails with a reason when the history, found
    // out of step with the model, had to be cleared; with none when there is nothing to
    // take back.
    Outcome undo();
    Outcome redo();
    int undoableSteps() const;
    int redoableSteps() const;
    // Keeps a finished change as a step. True when it did something.
    bool commitDueChange();
    bool changeAwaitsCommit() const { return commitDue; }
    // Said when a photograph was taken but the history cannot be kept for it ("" if none).
    const std::string& historyNotice() const { return notice; }

    // --- saving reads the model only; a running simulation goes on afterwards.
    Outcome checkSavable() const;
    // The colours as they are now, upright, at full size, in the extension's format; the
    // file says how to make it again (the recipe with the model's path).
    Outcome saveImage(const std::string& path, const ResultRecipe& recipe = ResultRecipe());
    // The degree map as a 16-bit grey PNG.
    Outcome saveDegrees(const std::string& path, const ResultRecipe& recipe = ResultRecipe());

    // --- what there is to show
    bool hasPhotograph() const { return model_.hasImage(); }
    const ImageRect<MyAlgebra::vec3>& photograph() const { return photograph_; }
    WeatheringModel& model() { return model_; }
    const WeatheringModel& model() const { return model_; }
    // The live settings of the brush and the direction; read at every step and dab.
    ModelSettings& settings() { return settings_; }
    const ModelSettings& settings() const { return settings_; }
    // Changes when the whole picture must be shown afresh from the model (a new
    // photograph, an undo or redo, a finished stroke).
    unsigned int pictureVersion() const { return pictureCount; }
    // Changes whenever the degrees may have changed.
    unsigned int degreeVersion() const { return degreeCount; }
    // Changes with every photograph taken.
    unsigned int photographVersion() const { return photographCount; }

private:
    const History historyUse;
    ImageRect<MyAlgebra::vec3> photograph_;  // the mask lives in the model, per pixel
    WeatheringModel model_;
    ModelSettings settings_;
    UndoHistory history;
    StepCounts stepCounts;
    PhotographCheck photographCheck = nullptr;
    std::string notice;
    int steps = 0;
    int stopAt = 0;
    bool simulationRuns = false;
    bool runStepped = false;  // the run switched on last has made a step
    bool strokeHasDabs = false;
    bool commitDue = false;
    unsigned int pictureCount = 0;
    unsigned int degreeCount = 0;
    unsigned int photographCount = 0;

    bool keepsHistory() const { return historyUse == History::kept; }
    Outcome adoptPhotograph(ImageRect<MyAlgebra::vec3>& loaded);
    bool rebuildModelFrom(const ImageRect<MyAlgebra::vec3>& photograph);
    Outcome readMask(const std::string& path, ImageRect<float>& mask) const;
    void restartModel();
    void startNewHistory();
    void noteWholeChange();
    void noteDab(int x, int y);
    void commitChange();
    void keepChange();
    void finishChange();
    Outcome showRestored(bool done, int move);
    void pathChanged();
};
