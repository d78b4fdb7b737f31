#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>

#include <vector>

#include "imagesave/ImageWriter.h"
#include "result/PathArgument.h"

namespace {

constexpr const char* programName = "weathering-batch";

void describeOptions(CLI::App& app, BatchOptions& options)
{
    app.add_option("PHOTO", options.photograph, "The photograph to weather")->required();
    app.add_option("--path", options.path,
                   "Weathering points from clean to most weathered, \"X1,Y1 X2,Y2 ...\" in pixels, "
                   "x from the left, y from the top")
        ->required();
    app.add_option("--mask", options.mask, "White where the surface may weather, black where it stays");
    app.add_option("--steps", options.steps, "Simulation steps (default 100)")->check(CLI::NonNegativeNumber);
    app.add_option("--every", options.every, "Steps between two frames (default 10)")->check(CLI::PositiveNumber);
    app.add_flag("--dewethering", options.dewethering, "Run the weathering backwards");
    CLI::Option* output = app.add_option("--output", options.output,
                                         "The final image (.png, .jpg, .jpeg, .tif, .tiff, .bmp, .tga)");
    CLI::Option* frames = app.add_option("--frames", options.frames,
                                         "Folder for frame_00000.png, ...: frame 0 before any step, then one every K steps");
    output->excludes(frames);
    app.add_option("--degrees", options.degrees, "The final degree map as a 16-bit grey PNG");
    app.set_version_flag("--version", std::string(programName) + " " + WEATHERING_VERSION);
}

}  // namespace

std::string usageLine(const std::string& what)
{
    return std::string(programName) + ": " + what + " (try --help)";
}

ParseOutcome parseBatchOptions(int argc, const char* const* argv, BatchOptions& options, std::string& text)
{
    CLI::App app("Weathers a photograph along a path of example pixels, without a window.", programName);
    describeOptions(app, options);
    // CLI11 reports through exceptions; they end here.
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        text = app.help();
        return ParseOutcome::done;
    } catch (const CLI::CallForVersion& version) {
        text = version.what();
        return ParseOutcome::done;
    } catch (const CLI::ParseError& error) {
        text = usageLine(error.what());
        return ParseOutcome::usageError;
    }
    return ParseOutcome::run;
}

namespace {

bool hasTwoDistinctPoints(const std::vector<TopDownPixel>& points)
{
    for (const TopDownPixel& point : points)
        if (point.x != points.front().x || point.y != points.front().y) return true;
    return false;
}

}  // namespace

bool checkBatchOptions(const BatchOptions& options, std::string& text)
{
    if (options.output.empty() && options.frames.empty() && options.degrees.empty()) {
        text = usageLine("nothing to write: give --output, --frames or --degrees");
        return false;
    }
    if (!options.output.empty() && ImageWriter::fileTypeOf(options.output) == ImageWriter::FileType::unknown) {
        text = usageLine("--output " + options.output + ": unknown file type (use " + ImageWriter::knownExtensions() + ")");
        return false;
    }
    if (!options.degrees.empty() && ImageWriter::fileTypeOf(options.degrees) != ImageWriter::FileType::png) {
        text = usageLine("--degrees " + options.degrees + ": the degree map is a PNG (use .png)");
        return false;
    }
    std::vector<TopDownPixel> points;
    std::string reason;
    if (!parsePathArgument(options.path, points, reason)) {
        text = usageLine(reason);
        return false;
    }
    if (!hasTwoDistinctPoints(points)) {
        text = usageLine("--path needs at least two distinct points");
        return false;
    }
    return true;
}
