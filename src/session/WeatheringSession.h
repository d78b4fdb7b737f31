#pragma once

#include <functional>
#include <string>
#include <vector>

#include "algebra/vec3.h"
#include "imageopen/ImageRect.h"
#include "model/ModelSettings.h"
#include "model/UndoHistory.h"
#include "model/WeatheringModel.h"
#include "session/MemoryBudget.h"
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
    // The same three for a file decoded elsewhere (a loader on another thread): the
    // decoded pixels are taken (moved from) when accepted.
    Outcome adoptPhotograph(ImageRect<MyAlgebra::vec3>& decoded);
    Outcome adoptMaskOfPhotograph(ImageRect<float>& decoded);
    Outcome adoptMask(ImageRect<float>& decoded);
    void setPhotographCheck(PhotographCheck check) { photographCheck = check; }
    // What a photograph costs this front end; checked before a photograph is decoded
    // into memory. By default no texture, and an undo copy when the history is kept.
    void setMemoryBudget(const MemoryBudget& budget) { memoryBudget = budget; }
    // Where the memory available comes from (tests); by default the system's.
    using AvailableMemory = long long (*)();
    void setAvailableMemory(AvailableMemory source) { availableMemory = source; }
    // The memory-budget check for a photograph decoded on another thread: it holds a
    // copy of the budget taken now and never reads the session, so the loader may ask
    // it while the session goes on changing.
    std::function<std::string(int width, int height)> photographSizeCheck() const;

    // --- the path, in the model's pixels (row 0 at the bottom). A change of the path
    // recomputes the degrees, restarts the step count and is one step to undo.

    // The longest path taken: every pixel is compared with every segment, so a longer
    // one would hold the degree pass for minutes on a large photograph.
    static constexpr int mostPathPoints = 1000;
    // False, changing nothing, for a pixel outside the photograph or a full path.
    bool addPathPoint(int x, int y);
    bool pathIsFull() const { return model_.imagePoints.size() >= static_cast<std::size_t>(mostPathPoints); }
    // False, changing nothing and keeping no step, when the path is empty.
    bool removePathPoint();

    // --- the brush: a stroke is one step to undo.
    void beginStroke();
    // One dab of settings().brushSize at settings().speed around the pixel.
    void dab(int x, int y);
    // True when the stroke changed the picture (its dabs have not all been shown).
    bool endStroke();

    // --- the simulation
    // Switched on again after "Stop at step" stopped it (the count at or past the stop),
    // the run goes on for that many steps more.
    void setSimulation(bool on);
    bool simulationOn() const { return simulationRuns; }
    // A path of two points or more: the degrees, and so the simulation, have a meaning.
    bool pathReady() const { return model_.imagePoints.size() >= 2; }
    // On with a path ready: steps change the picture. Without a path the simulation may
    // be on, but steps make and count nothing.
    bool simulationAdvances() const { return simulationRuns && pathReady(); }
    // One simulation step, when the simulation advances; it switches itself off when the
    // step count reaches the stop. Returns whether a step was made.
    bool step();
    int stepsSinceRestart() const { return steps; }
    // 0: never stop; a negative number counts as 0. Setting the value it has already
    // keeps the stop of a run that was switched on again.
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
    // Degrees need a path as well: without one every pixel's degree says nothing.
    Outcome checkDegreesSavable() const;
    // The colours as they are now, upright, at full size, in the extension's format; the
    // file says how to make it again (the recipe with the model's path).
    Outcome saveImage(const std::string& path, const ResultRecipe& recipe = ResultRecipe());
    // The degree map as a 16-bit grey PNG.
    Outcome saveDegrees(const std::string& path, const ResultRecipe& recipe = ResultRecipe());

    // --- what there is to show
    bool hasPhotograph() const { return model_.hasImage(); }
    // The photograph's size. Its colours are not kept beside the model, which holds them
    // in L*a*b* (labReference): 12 bytes a pixel less for the whole session.
    struct PhotographSize {
        int width = 0;
        int height = 0;
        bool empty() const { return width == 0 || height == 0; }
    };
    const PhotographSize& photograph() const { return photograph_; }
    // The photograph's colours as RGB, row 0 at the bottom (for the before view); empty
    // without a photograph.
    void photographColours(std::vector<MyAlgebra::vec3>& rgb) const;
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
    PhotographSize photograph_;  // the colours and the mask live in the model, per pixel
    WeatheringModel model_;
    ModelSettings settings_;
    UndoHistory history;
    StepCounts stepCounts;
    PhotographCheck photographCheck = nullptr;
    MemoryBudget memoryBudget;
    AvailableMemory availableMemory;
    std::string notice;
    int steps = 0;
    int stopAt = 0;
    int stopTarget = 0;  // the count at which the present run stops (0: never)
    bool simulationRuns = false;
    bool runStepped = false;  // the run switched on last has made a step
    bool strokeHasDabs = false;
    bool commitDue = false;
    unsigned int pictureCount = 0;
    unsigned int degreeCount = 0;
    unsigned int photographCount = 0;

    bool keepsHistory() const { return historyUse == History::kept; }
    std::string sizeRefusal(int width, int height) const;
    bool rebuildModelFrom(const ImageRect<MyAlgebra::vec3>& photograph);
    Outcome fitMask(ImageRect<float>& mask) const;
    void restartModel();
    void restartStepCount();
    void startNewHistory();
    void noteWholeChange();
    void noteDab(int x, int y);
    void commitChange();
    void keepChange();
    void finishChange();
    Outcome showRestored(bool done, int move);
    void pathChanged();
};
