// What a load costs, file to floats: ImageIO::load (libjpeg-turbo in the
// confined decoder, samples across the pipe, floats made on all cores) against
// DevIL's calls in the tool's own process, as the loader made them before it
// had a decoder process or the formats their own libraries, on the default
// photograph and on a 4 Mpx JPEG; and, on a 12 Mpx JPEG, against libjpeg-turbo's
// own djpeg decoding the same file to PPM in the same run.
//   OMP_WAIT_POLICY=passive build/bin/loader_bench [--benchmark_repetitions=N]
// (passive as the window tool sets it for itself: spinning threads would take
// the decoder's core while the rows arrive).

#include <IL/il.h>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "imageopen/ImageIO.h"

namespace {

const std::string defaultPhotograph = std::string(WEATHERING_SOURCE_DIR) + "/images/image1.jpg";
const std::string fourMegapixels = "/tmp/weathering-loader-bench-4mpx.jpg";
const std::string twelveMegapixels = "/tmp/weathering-loader-bench-12mpx.jpg";

// Smooth gradients with a little noise, like a photograph's detail.
void writeJpeg(const std::string& path, int width, int height)
{
    std::vector<ILubyte> pixels(static_cast<std::size_t>(width) * height * 3);
    unsigned state = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = static_cast<int>((state >> 24) & 15);
            ILubyte* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<ILubyte>((x / 8 + noise) & 255);
            p[1] = static_cast<ILubyte>((y / 8 + noise) & 255);
            p[2] = static_cast<ILubyte>(((x + y) / 16 + noise) & 255);
        }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data());
    ilEnable(IL_FILE_OVERWRITE);
    ilSave(IL_JPG, path.c_str());
    ilDeleteImages(1, &image);
}

// djpeg writing the same file as PPM (to /dev/null, so no disk is timed).
void Djpeg(benchmark::State& state, const std::string* path)
{
    const char* argv[] = {"djpeg", "-ppm", "-outfile", "/dev/null", path->c_str(), nullptr};
    for (auto _ : state) {
        pid_t pid = -1;
        if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            state.SkipWithError("no djpeg (package libjpeg-turbo-progs)");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("djpeg failed");
    }
}

// The decoding library's calls in this process, as the loader made them before.
bool loadInProcess(ImageRect<MyAlgebra::vec3>& target, const std::string& path)
{
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    const bool loaded = ilLoadImage(path.c_str()) && ilConvertImage(IL_RGB, IL_FLOAT);
    ilDisable(IL_ORIGIN_SET);
    if (loaded)
        target.assign(ilGetInteger(IL_IMAGE_WIDTH), ilGetInteger(IL_IMAGE_HEIGHT),
                      reinterpret_cast<const MyAlgebra::vec3*>(ilGetData()));
    ilDeleteImages(1, &image);
    return loaded;
}

void InProcess(benchmark::State& state, const std::string* path)
{
    ImageRect<MyAlgebra::vec3> image;
    for (auto _ : state)
        if (!loadInProcess(image, *path))
            state.SkipWithError("no load");
}

// Processor time in milliseconds, user and system, of this process or of its ended children.
double processorMilliseconds(int who)
{
    rusage usage = {};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Also the processor time a load costs the tool (all its threads) and the
// decoder: on a busy machine the wall clock follows their sum, not the overlap.
void Isolated(benchmark::State& state, const std::string* path)
{
    std::ostringstream lines;  // the "file loaded" lines
    std::streambuf* console = std::cerr.rdbuf(lines.rdbuf());
    const double tool = processorMilliseconds(RUSAGE_SELF);
    const double decoder = processorMilliseconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        ImageRect<MyAlgebra::vec3> image;  // a load into an empty picture, as at start-up
        if (!ImageIO::load(image, path->c_str()))
            state.SkipWithError("no load");
    }
    std::cerr.rdbuf(console);
    const double loads = static_cast<double>(state.iterations());
    state.counters["tool_cpu_ms"] = (processorMilliseconds(RUSAGE_SELF) - tool) / loads;
    state.counters["decoder_cpu_ms"] = (processorMilliseconds(RUSAGE_CHILDREN) - decoder) / loads;
}

}  // namespace

BENCHMARK_CAPTURE(InProcess, default_photograph, &defaultPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Isolated, default_photograph, &defaultPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(InProcess, jpeg_4_Mpx, &fourMegapixels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Isolated, jpeg_4_Mpx, &fourMegapixels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Djpeg, jpeg_12_Mpx, &twelveMegapixels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Isolated, jpeg_12_Mpx, &twelveMegapixels)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    initImageDecoder();
    ilInit();
    writeJpeg(fourMegapixels, 2048, 2048);
    writeJpeg(twelveMegapixels, 4000, 3000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(fourMegapixels.c_str());
    std::remove(twelveMegapixels.c_str());
    return 0;
}
