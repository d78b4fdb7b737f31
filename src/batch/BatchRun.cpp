#include "batch/BatchRun.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "batch/FramesFolder.h"
#include "imageopen/ImageIO.h"
#include "parallel/StopRequest.h"
#include "result/PathArgument.h"
#include "session/WeatheringSession.h"

namespace {

void report(const std::string& line)
{
    std::cerr << "weathering-batch: " << line << std::endl;
}

// The photograph and its mask, as the window tool takes them at start-up.
bool loadInputs(const BatchOptions& options, WeatheringSession& session)
{
    if (!session.loadPhotograph(fromHere(options.photograph)).done()) {
        report("cannot load " + options.photograph);
        return false;
    }
    if (options.mask.empty())
        return true;
    if (!session.loadMaskOfPhotograph(fromHere(options.mask)).done()) {
        report("cannot load " + options.mask);
        return false;
    }
    return true;
}

bool pointsInside(const std::vector<TopDownPixel>& points, int width, int height)
{
    for (const TopDownPixel& point : points) {
        if (point.x >= 0 && point.x < width && point.y >= 0 && point.y < height)
            continue;
        std::cerr << usageLine("point " + std::to_string(point.x) + "," + std::to_string(point.y) +
                               " is outside the photograph (" + std::to_string(width) + " x " + std::to_string(height) +
                               ")")
                  << std::endl;
        return false;
    }
    return true;
}

bool folderIsWritable(const std::filesystem::path& folder, const std::string& forWhat)
{
    std::error_code error;
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    if (!std::filesystem::is_directory(where, error)) {
        report("cannot save " + forWhat + ": no folder " + where.string());
        return false;
    }
    if (access(where.c_str(), W_OK | X_OK) != 0) {
        report("cannot save " + forWhat + ": folder " + where.string() + " is not writable");
        return false;
    }
    return true;
}

// Made and checked before the first step, so that a long run does not end in
// nothing.
bool prepareFolders(const BatchOptions& options)
{
    if (!options.frames.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.frames, error);
        if (error) {
            report("cannot make folder " + options.frames + ": " + error.message());
            return false;
        }
        if (!folderIsWritable(options.frames, "frames"))
            return false;
        std::string reason;
        if (options.overwrite && !clearFrames(options.frames, reason)) {
            report(reason);
            return false;
        }
    }
    for (const std::string& file : {options.output, options.degrees})
        if (!file.empty() && !folderIsWritable(std::filesystem::path(file).parent_path(), file))
            return false;
    return true;
}

// The clicks of the window tool, rows counted from the bottom.
// Stops early when the passes were asked to: a long path on a large photograph takes a while.
void clickPath(WeatheringSession& session, const std::vector<TopDownPixel>& points)
{
    const int height = session.model().height;
    for (const TopDownPixel& point : points) {
        if (parallel::stopRequested())
            return;
        session.addPathPoint(point.x, modelRowOf(point.y, height));
    }
}

bool save(const Outcome& saved, const std::string& path)
{
    if (!saved.done())
        report("cannot save " + path + ": " + saved.reason());
    return saved.done();
}

// Each file says how to make it again: these options with its own step count.
ResultRecipe recipeAt(const BatchOptions& options, int steps)
{
    ResultRecipe recipe{options.photograph, options.mask, std::min(steps, options.steps), options.dewethering};
    recipe.back = std::max(0, steps - options.steps);
    return recipe;
}

bool writeFrame(const BatchOptions& options, WeatheringSession& session, int step)
{
    const std::string path = (std::filesystem::path(options.frames) / frameName(step / options.every)).string();
    return save(session.saveImage(path, recipeAt(options, step)), path);
}

bool writeFinalFiles(const BatchOptions& options, WeatheringSession& session)
{
    const ResultRecipe recipe = recipeAt(options, options.steps + options.back);
    if (!options.output.empty() && !save(session.saveImage(options.output, recipe), options.output))
        return false;
    if (!options.degrees.empty() && !save(session.saveDegrees(options.degrees, recipe), options.degrees))
        return false;
    return true;
}

// The idle passes with the simulation on, writing a frame every `every` steps.
// Returns the number of steps done, or -1 when a frame could not be written.
int simulate(const BatchOptions& options, WeatheringSession& session, ProgressLine& progress, StopRequest stopRequested)
{
    session.settings().dewethering = options.dewethering ? 1 : 0;
    session.setSimulation(true);
    const bool framesWanted = !options.frames.empty();
    if (framesWanted && !writeFrame(options, session, 0))
        return -1;
    progress.update(0);
    // The forward steps, then the steps back, frames counting on across both.
    const int total = options.steps + options.back;
    int step = 0;
    while (step < total && !stopRequested()) {
        if (step == options.steps)
            session.settings().dewethering = options.dewethering ? 0 : 1;
        session.step();
        if (parallel::stopRequested())
            break;  // the step may have been cut short
        ++step;
        if (framesWanted && step % options.every == 0) {
            if (!writeFrame(options, session, step))
                return -1;
        }
        progress.update(step);
    }
    return step;
}

}  // namespace

int runBatch(const BatchOptions& options, ProgressLine& progress, StopRequest stopRequested)
{
    std::vector<TopDownPixel> points;
    std::string reason;
    parsePathArgument(options.path, points, reason);  // checked before

    // Refused before anything is loaded: the earlier run's frames would mix with ours.
    const int earlierFrames = options.frames.empty() || options.overwrite ? 0 : framesIn(options.frames);
    if (earlierFrames > 0) {
        std::cerr << usageLine("--frames " + options.frames + " already holds " + std::to_string(earlierFrames) +
                               " frames; give --overwrite to replace them")
                  << std::endl;
        return batchUsageError;
    }
    initImageDecoder();
    // No undo: a run without a window has nothing to take back.
    WeatheringSession session(WeatheringSession::History::none);
    if (!loadInputs(options, session))
        return batchFailed;
    const WeatheringSession::PhotographSize& photograph = session.photograph();
    if (!pointsInside(points, photograph.width, photograph.height))
        return batchUsageError;
    if (!prepareFolders(options))
        return batchFailed;

    session.setLook(options.natural ? Look::natural : Look::sampled);
    clickPath(session, points);
    const int done = parallel::stopRequested() ? 0 : simulate(options, session, progress, stopRequested);
    progress.finish();
    if (done < 0)
        return batchFailed;
    if (done < options.steps + options.back || parallel::stopRequested()) {
        report("interrupted after " + std::to_string(done) + " of " + std::to_string(options.steps + options.back) +
               " steps; the frames written so far are whole");
        return batchInterrupted;
    }
    return writeFinalFiles(options, session) ? batchSucceeded : batchFailed;
}
