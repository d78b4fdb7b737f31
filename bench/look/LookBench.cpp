// The look benchmark: both looks on photographs of weathered materials, the figures of
// README.md beside this file side by side, and contact sheets (photograph | Sampled |
// Natural at equal coverage) to look at.
//   look_bench MATERIALS [--steps N] [--early N] [--sheets FOLDER] [--only NAME]
// MATERIALS lists one material a line: name, photograph, mask (- for none) and the path
// as "X,Y" points (x from the left, y from the top), files relative to MATERIALS.

#include "LookFigures.h"

#include "colour/CieLab.h"
#include "imageopen/ImageIO.h"
#include "imagesave/ImageWriter.h"
#include "imageopen/MaskScaling.h"
#include "model/WeatheringModel.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using MyAlgebra::vec3;

namespace {

constexpr int recordEvery = 10;

struct Material {
    std::string name;
    std::string photograph;
    std::string mask;
    std::vector<std::pair<int, int>> points;  // x, y from the top
};

struct Options {
    std::string materials;
    int steps = 300;
    int early = 30;
    std::string sheets;
    std::string only;
};

bool readMaterials(const std::string& file, std::vector<Material>& materials)
{
    std::ifstream in(file);
    if (!in)
        return false;
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        Material m;
        std::string point;
        words >> m.name >> m.photograph >> m.mask;
        m.photograph = (folder / m.photograph).string();
        if (m.mask != "-")
            m.mask = (folder / m.mask).string();
        while (words >> point) {
            int x = 0, y = 0;
            if (std::sscanf(point.c_str(), "%d,%d", &x, &y) == 2)
                m.points.push_back({x, y});
        }
        if (m.points.size() >= 2)
            materials.push_back(m);
    }
    return true;
}

// A picture of the model's colours every few steps, for the contact sheets.
struct Snapshot {
    int step;
    double coverage;
    std::vector<vec3> rgb;
};

struct LookResult {
    LookRun run;
    std::vector<Snapshot> snapshots;
};

bool buildModel(WeatheringModel& model, const ImageRect<vec3>& photograph, const ImageRect<float>& mask,
                const Material& material, Look look)
{
    if (!model.initFromImage(photograph.data.get(), photograph.width, photograph.height))
        return false;
    if (!mask.empty())
        model.applyMaskImage(mask.data.get(), mask.pixelCount());
    model.setLook(look, photograph.data.get(), ModelSettings{});
    for (const auto& point : material.points) {
        model.addPathPoint(static_cast<float>(point.first), static_cast<float>(photograph.height - 1 - point.second));
        model.computeDegrees();
    }
    return true;
}

std::vector<vec3> labOf(WeatheringModel& model)
{
    model.bringColoursUpToDate();
    return std::vector<vec3>(model.lab.get(), model.lab.get() + model.pixelCount());
}

LookResult runLook(const LookScene& scene, const ImageRect<vec3>& photograph, const ImageRect<float>& mask,
                   const Material& material, Look look, const Options& options, float threshold)
{
    LookResult result;
    WeatheringModel model;
    if (!buildModel(model, photograph, mask, material, look))
        return result;
    const size_t n = static_cast<size_t>(model.pixelCount());
    result.run.weatheredAt.assign(n, -1);
    ModelSettings settings;
    auto record = [&](int step) {
        const std::vector<vec3> lab = labOf(model);
        const std::vector<float> positions = pathPositions(scene, lab);
        double masked = 0, covered = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!scene.masked[i])
                continue;
            masked += 1;
            const bool weathered = positions[i] >= threshold;
            covered += weathered;
            if (weathered && result.run.weatheredAt[i] < 0)
                result.run.weatheredAt[i] = step;
        }
        Snapshot snapshot{step, masked > 0 ? covered / masked : 0, std::vector<vec3>(n)};
        labToRgb(lab.data(), snapshot.rgb.data(), static_cast<int>(n));
        result.snapshots.push_back(std::move(snapshot));
    };
    record(0);
    for (int step = 1; step <= options.steps; ++step) {
        model.simulationStep(settings);
        if (step == options.early)
            result.run.early = labOf(model);
        if (step % recordEvery == 0)
            record(step);
    }
    result.run.forward = labOf(model);
    if (result.run.early.empty())
        result.run.early = result.run.forward;
    settings.dewethering = 1;
    for (int step = 0; step < options.steps; ++step)
        model.simulationStep(settings);
    result.run.back = labOf(model);
    return result;
}

const Snapshot& snapshotAtCoverage(const std::vector<Snapshot>& snapshots, double coverage)
{
    for (const Snapshot& s : snapshots)
        if (s.coverage >= coverage)
            return s;
    return snapshots.back();
}

// Photograph | Sampled | Natural side by side, 8 pixels apart, on white.
bool writeSheet(const std::string& path, const ImageRect<vec3>& photograph, const std::vector<vec3>& sampled,
                const std::vector<vec3>& natural)
{
    const int gap = 8;
    const int w = photograph.width, h = photograph.height;
    const int sheetWidth = 3 * w + 2 * gap;
    std::vector<vec3> sheet(static_cast<size_t>(sheetWidth) * h, vec3{1, 1, 1});
    const vec3* pictures[3] = {photograph.data.get(), sampled.data(), natural.data()};
    for (int k = 0; k < 3; ++k)
        for (int y = 0; y < h; ++y)
            std::copy(pictures[k] + static_cast<size_t>(y) * w, pictures[k] + static_cast<size_t>(y + 1) * w,
                      sheet.begin() + static_cast<long>(y) * sheetWidth + k * (w + gap));
    std::string reason;
    if (!ImageWriter::saveRgb(path, sheet.data(), sheetWidth, h, reason)) {
        std::cerr << "look_bench: cannot write " << path << ": " << reason << "\n";
        return false;
    }
    return true;
}

std::string cell(double value, int decimals, bool known = true)
{
    if (!known)
        return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The figures of one material, Sampled then Natural.
struct Row {
    std::string name;
    double photographCoverage = 0;
    LookFigures sampled;
    LookFigures natural;
};

void printHeader()
{
    std::printf("%-9s %6s | %13s %13s %11s %13s %13s %13s %13s %13s\n", "material", "cov0", "coverage S/N", "cast S/N",
                "dE S/N", "texture S/N", "outl/Mpx S/N", "growth S/N", "early S/N", "back S/N");
}

void printRow(const Row& r)
{
    auto pair = [](double s, double n, int decimals, bool knownS = true, bool knownN = true) {
        return cell(s, decimals, knownS) + "/" + cell(n, decimals, knownN);
    };
    const LookFigures& s = r.sampled;
    const LookFigures& n = r.natural;
    std::printf("%-9s %6.2f | %13s %13s %11s %13s %13s %13s %13s %13s\n", r.name.c_str(), r.photographCoverage,
                pair(s.coverage, n.coverage, 2).c_str(), pair(s.cast, n.cast, 2, s.cast >= 0, n.cast >= 0).c_str(),
                pair(s.collateral, n.collateral, 1, s.collateral >= 0, n.collateral >= 0).c_str(),
                pair(s.texture, n.texture, 2, s.texture >= 0, n.texture >= 0).c_str(),
                pair(s.outliers, n.outliers, 0).c_str(),
                pair(s.growth, n.growth, 2, s.growth > -2, n.growth > -2).c_str(),
                pair(100 * s.earlyChange, 100 * n.earlyChange, 1).c_str(),
                pair(100 * s.backError, 100 * n.backError, 0).c_str());
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t m = values.size() / 2;
    return values.size() % 2 == 1 ? values[m] : 0.5 * (values[m - 1] + values[m]);
}

void printMedians(const std::vector<Row>& rows)
{
    auto over = [&](double LookFigures::*field, bool natural, double unknownBelow) {
        std::vector<double> values;
        for (const Row& r : rows) {
            const double v = (natural ? r.natural : r.sampled).*field;
            if (v > unknownBelow)
                values.push_back(v);
        }
        return median(values);
    };
    Row m;
    m.name = "median";
    for (bool natural : {false, true}) {
        LookFigures& f = natural ? m.natural : m.sampled;
        f.coverage = over(&LookFigures::coverage, natural, -1);
        f.cast = over(&LookFigures::cast, natural, -1);
        f.collateral = over(&LookFigures::collateral, natural, -1);
        f.texture = over(&LookFigures::texture, natural, -0.5);
        f.outliers = over(&LookFigures::outliers, natural, -1);
        f.growth = over(&LookFigures::growth, natural, -1.5);
        f.earlyChange = over(&LookFigures::earlyChange, natural, -1);
        f.backError = over(&LookFigures::backError, natural, -0.5);
    }
    std::vector<double> covered;
    for (const Row& r : rows)
        covered.push_back(r.photographCoverage);
    m.photographCoverage = median(covered);
    printRow(m);
}

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        const bool hasValue = k + 1 < argc;
        if (a == "--steps" && hasValue)
            options.steps = std::atoi(argv[++k]);
        else if (a == "--early" && hasValue)
            options.early = std::atoi(argv[++k]);
        else if (a == "--sheets" && hasValue)
            options.sheets = argv[++k];
        else if (a == "--only" && hasValue)
            options.only = argv[++k];
        else if (options.materials.empty() && a[0] != '-')
            options.materials = a;
        else
            return false;
    }
    return !options.materials.empty() && options.steps > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << "usage: look_bench MATERIALS [--steps N] [--early N] [--sheets FOLDER] [--only NAME]\n";
        return 2;
    }
    std::vector<Material> materials;
    if (!readMaterials(options.materials, materials)) {
        std::cerr << "look_bench: cannot read " << options.materials << "\n";
        return 1;
    }
    initImageDecoder();
    if (!options.sheets.empty())
        std::filesystem::create_directories(options.sheets);
    std::printf("After %d steps (early: %d); S = Sampled, N = Natural; early and back in %%.\n", options.steps,
                options.early);
    printHeader();
    std::vector<Row> rows;
    for (const Material& material : materials) {
        if (!options.only.empty() && material.name != options.only)
            continue;
        ImageRect<vec3> photograph;
        ImageRect<float> mask;
        if (!ImageIO::load(photograph, material.photograph.c_str()) ||
            (material.mask != "-" &&
             (!ImageIO::load(mask, material.mask.c_str()) ||
              !fitMaskToPhotograph(mask, photograph.width, photograph.height)))) {
            std::cerr << "look_bench: cannot load " << material.name << "\n";
            return 1;
        }
        LookScene scene;
        scene.width = photograph.width;
        scene.height = photograph.height;
        const size_t n = static_cast<size_t>(photograph.pixelCount());
        scene.photograph.resize(n);
        rgbToLab(photograph.data.get(), scene.photograph.data(), static_cast<int>(n));
        scene.masked.assign(n, 1);
        if (!mask.empty())
            for (size_t i = 0; i < n; ++i)
                scene.masked[i] = mask.data[i] > 0.5f ? 1 : 0;
        for (const auto& point : material.points)
            scene.path.push_back(medianAround(scene, scene.photograph, point.first, scene.height - 1 - point.second));
        const float threshold = weatheredFrom(scene, pathPositions(scene, scene.photograph));

        const LookResult sampled = runLook(scene, photograph, mask, material, Look::sampled, options, threshold);
        const LookResult natural = runLook(scene, photograph, mask, material, Look::natural, options, threshold);
        Row row;
        row.name = material.name;
        row.photographCoverage = natural.snapshots.front().coverage;
        row.sampled = lookFigures(scene, sampled.run, threshold);
        row.natural = lookFigures(scene, natural.run, threshold);
        printRow(row);
        std::fflush(stdout);
        rows.push_back(row);

        if (!options.sheets.empty()) {
            // Equal coverage: where the look that covers less got to at the end.
            const double target =
                std::max(row.photographCoverage + 0.01, std::min(row.sampled.coverage, row.natural.coverage));
            const Snapshot& s = snapshotAtCoverage(sampled.snapshots, target);
            const Snapshot& nat = snapshotAtCoverage(natural.snapshots, target);
            const std::string path = (std::filesystem::path(options.sheets) / (material.name + ".png")).string();
            if (writeSheet(path, photograph, s.rgb, nat.rgb))
                std::printf("          sheet %s: coverage %.2f, Sampled step %d (%.2f), Natural step %d (%.2f)\n",
                            path.c_str(), target, s.step, s.coverage, nat.step, nat.coverage);
            // Forward and back: Natural after the forward steps and after as many back.
            std::vector<vec3> forward(n), back(n);
            labToRgb(natural.run.forward.data(), forward.data(), static_cast<int>(n));
            labToRgb(natural.run.back.data(), back.data(), static_cast<int>(n));
            writeSheet((std::filesystem::path(options.sheets) / (material.name + "_back.png")).string(), photograph,
                       forward, back);
        }
    }
    if (rows.size() > 1)
        printMedians(rows);
    return 0;
}
