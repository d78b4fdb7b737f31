// Timings of the colour conversions and the weathering operations on generated
// photographs of 1, 4 and 24 megapixels (a camera's), on one thread and on all cores
// ("threads" argument).
// Run a Release or RelWithDebInfo build:
//   weathering_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Every benchmark reports its wall-clock time per pixel as the counter "per_pixel".
// BM_StepMemoryTraffic moves the bytes a step of the plain model moved, with next to no
// arithmetic: the reference for how close a step comes to the memory's speed.

#include "colour/CieLab.h"
#include "model/WeatheringModel.h"
#include "parallel/ParallelShares.h"
#include "reference/ReferenceCieLab.h"
#include "reference/ReferenceWeatheringModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

enum MaskKind { fullyMasked = 0, halfMasked = 1 };

int sideOf(int megapixels)
{
    switch (megapixels) {
    case 24:
        return 4899;  // 24.0 million pixels
    case 4:
        return 2048;
    default:
        return 1024;
    }
}

// A smooth two-way colour ramp with a little noise, like a lit surface.
std::vector<vec3> rampPhotograph(int side)
{
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> noise(-0.03f, 0.03f);
    std::vector<vec3> pixels(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const float u = static_cast<float>(x) / side;
            const float v = static_cast<float>(y) / side;
            auto clamp01 = [](float c) { return std::min(1.0f, std::max(0.0f, c)); };
            pixels[static_cast<size_t>(y) * side + x] = {clamp01(0.2f + 0.6f * u + noise(rng)),
                                                         clamp01(0.3f + 0.4f * v + noise(rng)),
                                                         clamp01(0.7f - 0.5f * u * v + noise(rng))};
        }
    }
    return pixels;
}

// Every other pixel at random: the least predictable mask for the per-pixel tests.
std::vector<float> halfMask(int side)
{
    std::mt19937 rng(7);
    std::bernoulli_distribution in(0.5);
    std::vector<float> mask(static_cast<size_t>(side) * side);
    for (float& m : mask)
        m = in(rng) ? 1.0f : 0.0f;
    return mask;
}

// The model takes its size with the pixels; its frozen copy is sized first.
void buildFrom(WeatheringModel& m, const std::vector<vec3>& pixels, int side)
{
    m.initFromImage(pixels.data(), side, side);
}

void buildFrom(reference::WeatheringModel& m, const std::vector<vec3>& pixels, int side)
{
    m.width = m.displayWidth = side;
    m.height = m.displayHeight = side;
    m.initFromImage(pixels.data());
}

// The scene of a benchmark: the ramp photograph, maybe the coin-flip mask, a path along
// the ramp's diagonal from the unweathered corner outwards, restarted. For the model and
// for its frozen copy, which has the same operations.
template <typename Model>
void buildScene(Model& m, const std::vector<vec3>& pixels, int side, int maskKind, int pathPoints)
{
    buildFrom(m, pixels, side);
    if (maskKind == halfMasked) {
        const std::vector<float> mask = halfMask(side);
        m.applyMaskImage(mask.data(), side * side);
    }
    for (int k = 0; k < pathPoints; ++k) {
        const int p = static_cast<int>((side - 1) * (0.05 + 0.9 * k / std::max(1, pathPoints - 1)));
        m.addPathPoint(static_cast<float>(p), static_cast<float>((p * 7) % side));
    }
    m.reinitialise(pixels.data(), ModelSettings{});
}

// One model at a time is kept: a 4 Mpx model holds about 270 MB of arrays, a 24 Mpx
// one about 1.6 GB.
template <typename Model>
struct Scene {
    int side = 0;
    int maskKind = -1;
    int pathPoints = 0;
    std::vector<vec3> pixels;
    std::unique_ptr<Model> model;
};

template <typename Model>
Scene<Model>& sceneFor(int megapixels, int maskKind, int pathPoints)
{
    static Scene<Model> scene;
    const int side = sideOf(megapixels);
    if (scene.side == side && scene.maskKind == maskKind && scene.pathPoints == pathPoints)
        return scene;
    if (scene.side != side)
        scene.pixels = rampPhotograph(side);
    scene.model = std::make_unique<Model>();
    buildScene(*scene.model, scene.pixels, side, maskKind, pathPoints);
    scene.side = side;
    scene.maskKind = maskKind;
    scene.pathPoints = pathPoints;
    return scene;
}

void reportPerPixel(benchmark::State& state, long long pixels)
{
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["per_pixel"] = benchmark::Counter(
        static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One thread, and every core the machine has.
std::vector<int> threadCounts()
{
    const int all = parallel::threadCount();
    return all > 1 ? std::vector<int>{1, all} : std::vector<int>{1};
}

// The thread count for one benchmark run, from its last argument.
void useThreads(const benchmark::State& state, int argument)
{
    parallel::setThreadCount(static_cast<int>(state.range(argument)));
}

void modelArgs(benchmark::internal::Benchmark* b)
{
    for (int mp : {1, 4})
        for (int mask : {fullyMasked, halfMasked})
            for (int points : {2, 5, 10})
                for (int threads : threadCounts())
                    b->Args({mp, mask, points, threads});
    // A camera's photograph, fully masked with a path of ten points: what a path click on
    // it costs.
    for (int threads : threadCounts())
        b->Args({24, fullyMasked, 10, threads});
    b->ArgNames({"Mpx", "halfMask", "points", "threads"});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void sizeArgs(benchmark::internal::Benchmark* b)
{
    for (int mp : {1, 4, 24})
        for (int threads : threadCounts())
            b->Args({mp, threads});
    b->ArgNames({"Mpx", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_ComputeDegrees(benchmark::State& state)
{
    useThreads(state, 3);
    WeatheringModel& m = *sceneFor<WeatheringModel>(state.range(0), state.range(1), state.range(2)).model;
    for (auto _ : state) {
        m.computeDegrees();
        benchmark::DoNotOptimize(m.degree[0]);
    }
    reportPerPixel(state, m.pixelCount());
}
BENCHMARK(BM_ComputeDegrees)->Apply(modelArgs);

void BM_SimulationStep(benchmark::State& state)
{
    useThreads(state, 3);
    Scene<WeatheringModel>& scene = sceneFor<WeatheringModel>(state.range(0), state.range(1), state.range(2));
    WeatheringModel& m = *scene.model;
    const ModelSettings s;
    for (auto _ : state) {
        m.simulationStep(s);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, m.pixelCount());
    m.reinitialise(scene.pixels.data(), s);
}
BENCHMARK(BM_SimulationStep)->Apply(modelArgs);

// A step of the Natural look on the same scene, once its spread is under way (after 40
// steps); per_pixel against BM_SimulationStep's is the cost of the look.
void BM_NaturalSimulationStep(benchmark::State& state)
{
    useThreads(state, 1);
    Scene<WeatheringModel>& scene = sceneFor<WeatheringModel>(state.range(0), fullyMasked, 5);
    WeatheringModel& m = *scene.model;
    const ModelSettings s;
    m.setLook(Look::natural, scene.pixels.data(), s);
    for (int step = 0; step < 40; ++step)
        m.simulationStep(s);
    for (auto _ : state) {
        m.simulationStep(s);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, m.pixelCount());
    m.setLook(Look::sampled, scene.pixels.data(), s);
}
BENCHMARK(BM_NaturalSimulationStep)->Apply([](benchmark::internal::Benchmark* b) {
    for (int mp : {1, 4})
        for (int threads : threadCounts())
            b->Args({mp, threads});
    b->ArgNames({"Mpx", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();
});

// The bytes a step must move, with no arithmetic to speak of: reads mask, degree and
// detail, writes rate, degree and lab. The step's time over this one is its share of
// the memory bandwidth.
void BM_StepMemoryTraffic(benchmark::State& state)
{
    useThreads(state, 1);
    const int side = sideOf(state.range(0));
    const size_t n = static_cast<size_t>(side) * side;
    std::vector<float> mask(n, 1.0f), degree(n, 0.25f), detail(n, 1.0f), rate(n, 0.0f);
    std::vector<vec3> lab(n, vec3{50.0f, 0.0f, 0.0f});
    for (auto _ : state) {
        parallel::forEachShare(side, side, [&](int, int firstRow, int endRow) {
            for (size_t i = static_cast<size_t>(firstRow) * side; i < static_cast<size_t>(endRow) * side; ++i) {
                const float d = degree[i];
                rate[i] = d * mask[i];
                degree[i] = d + 0.001f;
                lab[i] = {detail[i], d, mask[i]};
            }
        });
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(n) * (3 * 4 + 2 * 4 + 12));
    reportPerPixel(state, static_cast<long long>(n));
}
BENCHMARK(BM_StepMemoryTraffic)->Apply(sizeArgs);

void BM_ApplyBrush(benchmark::State& state)
{
    parallel::setThreadCount(0);
    Scene<WeatheringModel>& scene = sceneFor<WeatheringModel>(4, fullyMasked, 5);
    WeatheringModel& m = *scene.model;
    ModelSettings s;
    s.brushSize = static_cast<float>(state.range(0));
    for (auto _ : state) {
        m.applyBrush(m.width / 2, m.height / 2, s);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, static_cast<long long>(3.14159 * s.brushSize * s.brushSize));
    m.reinitialise(scene.pixels.data(), s);
}
BENCHMARK(BM_ApplyBrush)->Arg(10)->Arg(100)->ArgName("radius")->Unit(benchmark::kMicrosecond);

void BM_RgbToLab(benchmark::State& state)
{
    useThreads(state, 1);
    const std::vector<vec3> rgb = rampPhotograph(sideOf(state.range(0)));
    std::vector<vec3> lab(rgb.size());
    for (auto _ : state) {
        rgbToLab(rgb.data(), lab.data(), static_cast<int>(rgb.size()));
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, static_cast<long long>(rgb.size()));
}
BENCHMARK(BM_RgbToLab)->Apply(sizeArgs);

void BM_LabToRgb(benchmark::State& state)
{
    useThreads(state, 1);
    const std::vector<vec3> rgb = rampPhotograph(sideOf(state.range(0)));
    std::vector<vec3> lab(rgb.size()), back(rgb.size());
    rgbToLab(rgb.data(), lab.data(), static_cast<int>(rgb.size()));
    for (auto _ : state) {
        labToRgb(lab.data(), back.data(), static_cast<int>(lab.size()));
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, static_cast<long long>(lab.size()));
}
BENCHMARK(BM_LabToRgb)->Apply(sizeArgs);

void BM_LabToRgbInDisc(benchmark::State& state)
{
    parallel::setThreadCount(0);
    Scene<WeatheringModel>& scene = sceneFor<WeatheringModel>(4, fullyMasked, 5);
    WeatheringModel& m = *scene.model;
    const float radius = static_cast<float>(state.range(0));
    for (auto _ : state) {
        labToRgbInDisc(m.lab.get(), m.rgb.get(), m.width, m.height, radius, m.mask.get(), m.width / 2.0f,
                       m.height / 2.0f);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, static_cast<long long>(3.14159 * radius * radius));
}
BENCHMARK(BM_LabToRgbInDisc)->Arg(10)->Arg(100)->ArgName("radius")->Unit(benchmark::kMicrosecond);

// "Init": from the pixels given, or (fromReference) as the window and batch tools call
// it, from labReference, which holds the photograph converted, without converting again.
void timeReinitialise(benchmark::State& state, bool fromReference)
{
    useThreads(state, 1);
    Scene<WeatheringModel>& scene = sceneFor<WeatheringModel>(state.range(0), fullyMasked, 5);
    WeatheringModel& m = *scene.model;
    const ModelSettings s;
    for (auto _ : state) {
        m.reinitialise(fromReference ? nullptr : scene.pixels.data(), s);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, m.pixelCount());
}

void BM_Reinitialise(benchmark::State& state)
{
    timeReinitialise(state, false);
}
BENCHMARK(BM_Reinitialise)->Apply(sizeArgs);

void BM_ReinitialiseFromReference(benchmark::State& state)
{
    timeReinitialise(state, true);
}
BENCHMARK(BM_ReinitialiseFromReference)->Apply(sizeArgs);

// What the display costs after steps: the pending colours painted, converted to RGB and
// packed to 8 bits (the upload itself is the shell's).
void BM_RefreshTexture(benchmark::State& state)
{
    useThreads(state, 1);
    Scene<WeatheringModel>& scene = sceneFor<WeatheringModel>(state.range(0), fullyMasked, 10);
    WeatheringModel& m = *scene.model;
    const ModelSettings s;
    for (auto _ : state) {
        state.PauseTiming();
        m.simulationStep(s);
        state.ResumeTiming();
        m.refreshTexture();
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, m.pixelCount());
    m.reinitialise(scene.pixels.data(), s);
}
BENCHMARK(BM_RefreshTexture)->Apply(sizeArgs);

// The frozen copy of the model as it was before its passes were made fast, on one
// thread: the "before" of the same run, 4 Mpx only.
void frozenArgs(benchmark::internal::Benchmark* b)
{
    b->Args({4, fullyMasked, 10})->Args({4, halfMasked, 10})->ArgNames({"Mpx", "halfMask", "points"});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_FrozenComputeDegrees(benchmark::State& state)
{
    auto& scene = sceneFor<reference::WeatheringModel>(state.range(0), state.range(1), state.range(2));
    reference::WeatheringModel& m = *scene.model;
    for (auto _ : state) {
        m.computeDegrees();
        benchmark::DoNotOptimize(m.degree[0]);
    }
    reportPerPixel(state, m.pixelCount());
}
BENCHMARK(BM_FrozenComputeDegrees)->Apply(frozenArgs);

void BM_FrozenSimulationStep(benchmark::State& state)
{
    auto& scene = sceneFor<reference::WeatheringModel>(state.range(0), state.range(1), state.range(2));
    const ModelSettings s;
    for (auto _ : state) {
        scene.model->simulationStep(s);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, scene.model->pixelCount());
    scene.model->reinitialise(scene.pixels.data(), s);
}
BENCHMARK(BM_FrozenSimulationStep)->Apply(frozenArgs);

void BM_FrozenReinitialise(benchmark::State& state)
{
    auto& scene = sceneFor<reference::WeatheringModel>(4, fullyMasked, 5);
    const ModelSettings s;
    for (auto _ : state) {
        scene.model->reinitialise(scene.pixels.data(), s);
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, scene.model->pixelCount());
}
BENCHMARK(BM_FrozenReinitialise)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrozenRgbToLab(benchmark::State& state)
{
    const std::vector<vec3> rgb = rampPhotograph(sideOf(4));
    std::vector<vec3> lab(rgb.size());
    for (auto _ : state) {
        reference::rgbToLab(rgb.data(), lab.data(), static_cast<int>(rgb.size()));
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, static_cast<long long>(rgb.size()));
}
BENCHMARK(BM_FrozenRgbToLab)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrozenLabToRgb(benchmark::State& state)
{
    const std::vector<vec3> rgb = rampPhotograph(sideOf(4));
    std::vector<vec3> lab(rgb.size()), back(rgb.size());
    reference::rgbToLab(rgb.data(), lab.data(), static_cast<int>(rgb.size()));
    for (auto _ : state) {
        reference::labToRgb(lab.data(), back.data(), static_cast<int>(lab.size()));
        benchmark::ClobberMemory();
    }
    reportPerPixel(state, static_cast<long long>(lab.size()));
}
BENCHMARK(BM_FrozenLabToRgb)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
