#include "result/ModelResult.h"

#include <cctype>

#include "colour/CieLab.h"
#include "imagesave/ImageWriter.h"
#include "result/PathArgument.h"

#include <algorithm>

void currentRgb(WeatheringModel& model, std::vector<MyAlgebra::vec3>& rgb)
{
    if (!model.hasImage()) {
        rgb.clear();
        return;
    }
    // Pending colours are converted as they would be painted, but not painted: the undo
    // history keeps them pending.
    const int count = model.pixelCount();
    rgb.resize(static_cast<std::size_t>(count));
    constexpr int run = 4096;
    std::vector<MyAlgebra::vec3> lab(run);
    for (int start = 0; start < count; start += run) {
        const int n = std::min(run, count - start);
        model.currentLabOf(start, n, lab.data());
        labToRgb(lab.data(), rgb.data() + start, n);
    }
}

std::uint16_t degreeGrey16(float degree)
{
    if (!(degree > 0.0f))
        return 0;  // also NaN
    if (degree >= 1.0f)
        return 65535;
    return static_cast<std::uint16_t>(degree * 65535.0f + 0.5f);
}

void degreeMap16(const WeatheringModel& model, std::vector<std::uint16_t>& grey)
{
    if (!model.hasImage()) {
        grey.clear();
        return;
    }
    const int count = model.pixelCount();
    grey.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        grey[i] = model.mask[i] >= 1.0f ? degreeGrey16(model.degree[i]) : 0;
}

namespace {

// A file name as a shell reads it back: quoted when it holds anything unusual.
std::string shellWord(const std::string& text)
{
    bool plain = !text.empty();
    for (const unsigned char c : text)
        if (!std::isalnum(c) && std::string("._/-+,:=@").find(static_cast<char>(c)) == std::string::npos)
            plain = false;
    if (plain)
        return text;
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool hasPhotograph(const WeatheringModel& model, std::string& reason)
{
    if (model.hasImage())
        return true;
    reason = "no photograph is loaded";
    return false;
}

}  // namespace

std::string describeResult(const WeatheringModel& model, const ResultRecipe& recipe)
{
    std::string text =
        "weathering-batch " + (recipe.photograph.empty() ? std::string("PHOTO") : shellWord(recipe.photograph));
    if (!recipe.mask.empty())
        text += " --mask " + shellWord(recipe.mask);
    text += " --path \"" + formatPathArgument(model.imagePoints, model.height) + "\"";
    text += " --steps " + std::to_string(recipe.steps);
    if (recipe.dewethering)
        text += " --dewethering";
    if (recipe.back > 0)
        text += " --back " + std::to_string(recipe.back);
    if (model.look == Look::natural)
        text += " --look natural";
    return text;
}

bool saveModelImage(WeatheringModel& model, const std::string& path, std::string& reason, const ResultRecipe& recipe)
{
    if (!hasPhotograph(model, reason))
        return false;
    std::vector<MyAlgebra::vec3> rgb;
    currentRgb(model, rgb);
    return ImageWriter::saveRgb(path, rgb.data(), model.width, model.height, reason, describeResult(model, recipe));
}

bool saveModelDegrees(const WeatheringModel& model, const std::string& path, std::string& reason,
                      const ResultRecipe& recipe)
{
    if (ImageWriter::fileTypeOf(path) != ImageWriter::FileType::png) {
        reason = "the degree map is saved as a 16-bit PNG only (use .png)";
        return false;
    }
    if (!hasPhotograph(model, reason))
        return false;
    std::vector<std::uint16_t> grey;
    degreeMap16(model, grey);
    return ImageWriter::saveGrey16Png(path, grey.data(), model.width, model.height, reason,
                                      describeResult(model, recipe));
}
