#include "batch/BatchRun.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "imageopen/ImageIO.h"
#include "imageopen/MaskScaling.h"
#include "result/ModelResult.h"
#include "result/PathArgument.h"

namespace {

void report(const std::string& line)
{
    std::cerr << "weathering-batch: " << line << std::endl;
}

bool loadInputs(const BatchOptions& options, ImageRect<MyAlgebra::vec3>& photograph, ImageRect<float>& mask)
{
    if (!ImageIO::load(photograph, fromHere(options.photograph).c_str())) {
        report("cannot load " + options.photograph);
        return false;
    }
    if (options.mask.empty()) return true;
    if (!ImageIO::load(mask, fromHere(options.mask).c_str()) ||
        !fitMaskToPhotograph(mask, photograph.width, photograph.height)) {
        report("cannot load " + options.mask);
        return false;
    }
    return true;
}

bool pointsInside(const std::vector<TopDownPixel>& points, int width, int height)
{
    for (const TopDownPixel& point : points) {
        if (point.x >= 0 && point.x < width && point.y >= 0 && point.y < height) continue;
        std::cerr << usageLine("point " + std::to_string(point.x) + "," + std::to_string(point.y) +
                               " is outside the photograph (" + std::to_string(width) + " x " +
                               std::to_string(height) + ")")
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
        if (!folderIsWritable(options.frames, "frames")) return false;
    }
    for (const std::string& file : {options.output, options.degrees})
        if (!file.empty() && !folderIsWritable(std::filesystem::path(file).parent_path(), file)) return false;
    return true;
}

// Start-up, the mask adoption and the clicks of the window tool, in its order.
bool buildModel(WeatheringModel& model, const ImageRect<MyAlgebra::vec3>& photograph, const ImageRect<float>& mask,
                const std::vector<TopDownPixel>& points)
{
    if (!model.initFromImage(photograph.data.get(), photograph.width, photograph.height)) return false;
    if (!mask.empty()) {
        model.applyMaskImage(mask.data.get(), mask.pixelCount());
        model.reinitialise(photograph.data.get(), ModelSettings{});  // the panel's settings at start-up
    }
    for (const TopDownPixel& point : points) {
        model.addPathPoint(static_cast<float>(point.x), static_cast<float>(modelRowOf(point.y, model.height)));
        model.computeDegrees();
    }
    return true;
}

bool save(bool saved, const std::string& path, const std::string& reason)
{
    if (!saved) report("cannot save " + path + ": " + reason);
    return saved;
}

bool writeFrame(WeatheringModel& model, const std::string& folder, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%05d.png", index);
    const std::string path = (std::filesystem::path(folder) / name).string();
    std::string reason;
    return save(saveModelImage(model, path, reason), path, reason);
}

bool writeFinalFiles(const BatchOptions& options, WeatheringModel& model)
{
    std::string reason;
    if (!options.output.empty() && !save(saveModelImage(model, options.output, reason), options.output, reason))
        return false;
    if (!options.degrees.empty() && !save(saveModelDegrees(model, options.degrees, reason), options.degrees, reason))
        return false;
    return true;
}

// The idle passes with the simulation on, writing a frame every `every` steps.
// Returns the number of steps done, or -1 when a frame could not be written.
int simulate(const BatchOptions& options, WeatheringModel& model, ProgressLine& progress, StopRequest stopRequested)
{
    ModelSettings settings;
    settings.dewethering = options.dewethering ? 1 : 0;
    const bool framesWanted = !options.frames.empty();
    if (framesWanted && !writeFrame(model, options.frames, 0)) return -1;
    progress.update(0);
    int step = 0;
    while (step < options.steps && !stopRequested()) {
        model.simulationStep(settings);
        ++step;
        if (framesWanted && step % options.every == 0) {
            if (!writeFrame(model, options.frames, step / options.every)) return -1;
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

    initImageDecoder();
    ImageRect<MyAlgebra::vec3> photograph;
    ImageRect<float> mask;
    if (!loadInputs(options, photograph, mask)) return batchFailed;
    if (!pointsInside(points, photograph.width, photograph.height)) return batchUsageError;
    if (!prepareFolders(options)) return batchFailed;

    WeatheringModel model;
    if (!buildModel(model, photograph, mask, points)) return batchFailed;
    const int done = simulate(options, model, progress, stopRequested);
    progress.finish();
    if (done < 0) return batchFailed;
    if (done < options.steps) {
        report("interrupted after " + std::to_string(done) + " of " + std::to_string(options.steps) +
               " steps; the frames written so far are whole");
        return batchInterrupted;
    }
    return writeFinalFiles(options, model) ? batchSucceeded : batchFailed;
}
