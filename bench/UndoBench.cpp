// What the undo history keeps at 12 Mpx: bytes of a step for a brush stroke, a
// simulation run, a path click and "Init" (after the click, and after a run) on a
// 4000 x 3000 photograph, how many such
// steps fit the 1 GB budget, and what a commit and an undo cost per pixel.
//
// The photograph is the default door scaled up smoothly, with a little noise of its
// own per pixel as a camera would add, so that neither a flat picture nor pure noise
// decides the compression.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "imageopen/ImageIO.h"
#include "model/ModelUndoState.h"
#include "model/UndoHistory.h"
#include "model/WeatheringModel.h"

using MyAlgebra::vec3;

namespace {

constexpr int width = 4000;
constexpr int height = 3000;

std::vector<vec3> twelveMegapixelPhotograph()
{
    ImageRect<vec3> door;
    if (!ImageIO::load(door, WEATHERING_SOURCE_DIR "/images/image1.jpg"))
        return {};
    std::vector<vec3> pixels(static_cast<std::size_t>(width) * height);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> noise(-1.0f / 255.0f, 1.0f / 255.0f);
    for (int y = 0; y < height; ++y) {
        const float v = (y + 0.5f) * door.height / height - 0.5f;
        const int y0 = std::max(0, std::min(door.height - 2, static_cast<int>(std::floor(v))));
        const float fy = std::min(1.0f, std::max(0.0f, v - y0));
        for (int x = 0; x < width; ++x) {
            const float u = (x + 0.5f) * door.width / width - 0.5f;
            const int x0 = std::max(0, std::min(door.width - 2, static_cast<int>(std::floor(u))));
            const float fx = std::min(1.0f, std::max(0.0f, u - x0));
            const auto at = [&](int xx, int yy) { return door.data[static_cast<std::size_t>(yy) * door.width + xx]; };
            const auto mix = [](const vec3& p, const vec3& q, float t) {
                return vec3{p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.z + (q.z - p.z) * t};
            };
            const vec3 c = mix(mix(at(x0, y0), at(x0 + 1, y0), fx), mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), fx), fy);
            pixels[static_cast<std::size_t>(y) * width + x] = {c.x + noise(rng), c.y + noise(rng), c.z + noise(rng)};
        }
    }
    return pixels;
}

struct Session {
    std::vector<vec3> photograph = twelveMegapixelPhotograph();
    WeatheringModel model;
    UndoHistory history;
    ModelSettings settings;
    bool ready = false;

    Session()
    {
        if (photograph.empty())
            return;
        if (!model.initFromImage(photograph.data(), width, height))
            return;
        model.addPathPoint(1100, 1200);
        model.addPathPoint(1370, 1900);
        model.computeDegrees();
        model.computeRates(settings);
        ready = startUndoHistory(history, model);
    }
};

Session& session()
{
    static Session s;
    return s;
}

void reportStep(benchmark::State& state, std::size_t before, double commitSeconds)
{
    Session& s = session();
    const double bytes = static_cast<double>(s.history.bytesHeld() - before);
    state.counters["step_MB"] = bytes / (1 << 20);
    state.counters["bytes_per_pixel"] = bytes / (static_cast<double>(width) * height);
    state.counters["steps_in_1GB"] = static_cast<double>(UndoHistory::defaultBudget) / std::max(1.0, bytes);
    state.counters["commit_ns_per_pixel"] = commitSeconds * 1e9 / (static_cast<double>(width) * height);
    state.counters["copy_MB"] = static_cast<double>(s.history.copyBytes()) / (1 << 20);
}

// One change per iteration: make it, commit it (timed), and report its step. `before`
// runs first, untimed and kept as a step of its own.
template <typename Change, typename Before>
void measure(benchmark::State& state, Change change, Before before)
{
    Session& s = session();
    if (!s.ready) {
        state.SkipWithError("no 12 Mpx model (memory, or the door photograph)");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        before(s);
        const std::size_t held = s.history.bytesHeld();
        change(s);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        commitUndoStep(s.history, s.model);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        reportStep(state, held, seconds);
        state.ResumeTiming();
    }
}

template <typename Change>
void measure(benchmark::State& state, Change change)
{
    measure(state, change, [](Session&) {});
}

void BM_UndoStepOfStroke(benchmark::State& state)
{
    measure(state, [&](Session& s) {
        s.settings.brushSize = static_cast<float>(state.range(0));
        for (int dab = 0; dab < 40; ++dab) {
            const float x = 800.0f + 25.0f * dab;
            const float y = 1500.0f + 10.0f * dab;
            const DabBounds b = dabBounds(x, y, s.settings.brushSize);
            s.history.willChange(b.x0, b.y0, b.x1, b.y1);
            s.model.applyBrush(static_cast<int>(x), static_cast<int>(y), s.settings);
        }
    });
}
BENCHMARK(BM_UndoStepOfStroke)->Arg(50)->Arg(100)->ArgName("radius")->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UndoStepOfRun(benchmark::State& state)
{
    measure(state, [&](Session& s) {
        s.history.willChangeAll();
        for (int step = 0; step < state.range(0); ++step)
            s.model.simulationStep(s.settings);
    });
}
BENCHMARK(BM_UndoStepOfRun)->Arg(20)->Arg(200)->ArgName("steps")->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UndoStepOfPathClick(benchmark::State& state)
{
    measure(state, [](Session& s) {
        s.history.willChangeAll();
        s.model.addPathPoint(2500, 700);
        s.model.computeDegrees();
    });
}
BENCHMARK(BM_UndoStepOfPathClick)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UndoStepOfInit(benchmark::State& state)
{
    measure(state, [](Session& s) {
        s.history.willChangeAll();
        s.model.reinitialise(s.photograph.data(), s.settings);
    });
}
BENCHMARK(BM_UndoStepOfInit)->Iterations(1)->Unit(benchmark::kMillisecond);

// "Init" the way it mostly comes, after a run: the run is kept as a step of its own
// (untimed), then the Init is measured.
void BM_UndoStepOfInitAfterRun(benchmark::State& state)
{
    measure(
        state,
        [](Session& s) {
            s.history.willChangeAll();
            s.model.reinitialise(s.photograph.data(), s.settings);
        },
        [](Session& s) {
            s.history.willChangeAll();
            for (int step = 0; step < 20; ++step)
                s.model.simulationStep(s.settings);
            commitUndoStep(s.history, s.model);
        });
}
BENCHMARK(BM_UndoStepOfInitAfterRun)->Iterations(1)->Unit(benchmark::kMillisecond);

// Undoing the newest step and redoing it, per pixel of the photograph.
void BM_UndoAndRedo(benchmark::State& state)
{
    Session& s = session();
    if (!s.ready || s.history.undoSteps() == 0) {
        state.SkipWithError("no step to undo (run the steps' benchmarks first)");
        return;
    }
    for (auto _ : state) {
        undoModelStep(s.history, s.model);
        redoModelStep(s.history, s.model);
    }
    state.counters["ns_per_pixel"] =
        benchmark::Counter(static_cast<double>(width) * height,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["steps_held"] = s.history.undoSteps();
    state.counters["held_MB"] = static_cast<double>(s.history.bytesHeld()) / (1 << 20);
}
BENCHMARK(BM_UndoAndRedo)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
