#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <vector>

#include "imagesave/ImageWriter.h"
#include "result/PathArgument.h"
#include "session/WeatheringSession.h"

namespace {

constexpr const char* programName = "weathering-batch";

// The numbers as typed: read and checked here, so that every problem reads as
// "--every must be at least 1" rather than in the parser's own words.
struct NumberTexts {
    std::string steps;
    std::string every;
    std::string back;
    std::string look;
};

void describeOptions(CLI::App& app, BatchOptions& options, NumberTexts& numbers)
{
    app.add_option("PHOTO", options.photograph, "The photograph to weather")->required();
    app.add_option("--path", options.path,
                   "Weathering points from clean to most weathered, \"X1,Y1 X2,Y2 ...\" in pixels, "
                   "x from the left, y from the top")
        ->required();
    app.add_option("--mask", options.mask, "White where the surface may weather, black where it stays");
    app.add_option("--steps", numbers.steps, "Simulation steps (default 100)")->type_name("N");
    app.add_option("--every", numbers.every, "Steps between two frames (default 10)")->type_name("K");
    app.add_flag("--dewethering", options.dewethering, "Run the weathering backwards");
    app.add_option("--back", numbers.back, "After the steps, N steps the other way, frames continuing (default 0)")
        ->type_name("N");
    app.add_option("--look", numbers.look, "sampled (default) or natural")->type_name("LOOK");
    CLI::Option* output =
        app.add_option("--output", options.output, "The final image (.png, .jpg, .jpeg, .tif, .tiff, .bmp, .tga)");
    CLI::Option* frames = app.add_option(
        "--frames", options.frames, "Folder for frame_00000.png, ...: frame 0 before any step, then one every K steps");
    output->excludes(frames);
    app.add_flag("--overwrite", options.overwrite, "Clear the frames an earlier run left in the frames folder");
    app.add_option("--degrees", options.degrees, "The final degree map as a 16-bit grey PNG");
    app.set_version_flag("--version", std::string(programName) + " " + WEATHERING_VERSION);
}

bool readLook(const std::string& text, BatchOptions& options, std::string& problem)
{
    if (text.empty())
        return true;
    if (text == "sampled" || text == "natural") {
        options.natural = text == "natural";
        return true;
    }
    problem = "--look must be sampled or natural, not \"" + text + "\"";
    return false;
}

// A whole number from `least` up to the largest int, the whole of `text`; the
// option keeps its default when it was not given.
bool readCount(const std::string& name, const std::string& text, int least, int& value, std::string& problem)
{
    if (text.empty())
        return true;
    std::size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos) {
        problem = name + " must be a whole number, not \"" + text + "\"";
        return false;
    }
    errno = 0;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (number < least) {
        problem = name + " must be at least " + std::to_string(least);
        return false;
    }
    if (errno == ERANGE || number > std::numeric_limits<int>::max()) {
        problem = name + " must be at most " + std::to_string(std::numeric_limits<int>::max());
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

}  // namespace

std::string usageLine(const std::string& what)
{
    return std::string(programName) + ": " + what + " (try --help)";
}

ParseOutcome parseBatchOptions(int argc, const char* const* argv, BatchOptions& options, std::string& text)
{
    CLI::App app("Weathers a photograph along a path of example pixels, without a window.", programName);
    NumberTexts numbers;
    describeOptions(app, options, numbers);
    // CLI11 reports through exceptions; they end here.
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        text = app.help();
        return ParseOutcome::done;
    } catch (const CLI::CallForVersion& version) {
        text = version.what();
        return ParseOutcome::done;
    } catch (const CLI::ArgumentMismatch& error) {
        // "--every: 1 required K missing" as the rest of the lines read.
        const std::string message = error.what();
        const std::size_t colon = message.find(": ");
        const bool missing = colon != std::string::npos && message.find(" missing") != std::string::npos;
        text = usageLine(missing ? message.substr(0, colon) + " needs a value" : message);
        return ParseOutcome::usageError;
    } catch (const CLI::ParseError& error) {
        text = usageLine(error.what());
        return ParseOutcome::usageError;
    }
    std::string problem;
    if (!readCount("--steps", numbers.steps, 0, options.steps, problem) ||
        !readCount("--every", numbers.every, 1, options.every, problem) ||
        !readCount("--back", numbers.back, 0, options.back, problem) || !readLook(numbers.look, options, problem)) {
        text = usageLine(problem);
        return ParseOutcome::usageError;
    }
    return ParseOutcome::run;
}

namespace {

bool hasTwoDistinctPoints(const std::vector<TopDownPixel>& points)
{
    for (const TopDownPixel& point : points)
        if (point.x != points.front().x || point.y != points.front().y)
            return true;
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
        text = usageLine("--output " + options.output + ": unknown file type (use " + ImageWriter::knownExtensions() +
                         ")");
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
    if (points.size() > static_cast<std::size_t>(WeatheringSession::mostPathPoints)) {
        text = usageLine("--path has " + std::to_string(points.size()) + " points, more than the " +
                         std::to_string(WeatheringSession::mostPathPoints) + " a path may have");
        return false;
    }
    if (!hasTwoDistinctPoints(points)) {
        text = usageLine("--path needs at least two distinct points");
        return false;
    }
    return true;
}
