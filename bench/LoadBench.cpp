// What decoding in a process of its own costs: ImageIO::load against the same
// decoding library calls made in the tool's own process, as before the isolation,
// on the default photograph and on a 4 Mpx JPEG made here.
//   build/bin/loader_bench [--benchmark_repetitions=N]

#include <IL/il.h>
#include <benchmark/benchmark.h>
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

// 2048 x 2048 of smooth gradients with a little noise, like a photograph's detail.
void writeFourMegapixelJpeg()
{
    const int side = 2048;
    std::vector<ILubyte> pixels(static_cast<std::size_t>(side) * side * 3);
    unsigned state = 1;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = static_cast<int>((state >> 24) & 15);
            ILubyte* p = &pixels[(static_cast<std::size_t>(y) * side + x) * 3];
            p[0] = static_cast<ILubyte>((x / 8 + noise) & 255);
            p[1] = static_cast<ILubyte>((y / 8 + noise) & 255);
            p[2] = static_cast<ILubyte>(((x + y) / 16 + noise) & 255);
        }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(side, side, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data());
    ilEnable(IL_FILE_OVERWRITE);
    ilSave(IL_JPG, fourMegapixels.c_str());
    ilDeleteImages(1, &image);
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
        if (!loadInProcess(image, *path)) state.SkipWithError("no load");
}

void Isolated(benchmark::State& state, const std::string* path)
{
    ImageRect<MyAlgebra::vec3> image;
    std::ostringstream lines;  // the "file loaded" lines
    std::streambuf* console = std::cerr.rdbuf(lines.rdbuf());
    for (auto _ : state)
        if (!ImageIO::load(image, path->c_str())) state.SkipWithError("no load");
    std::cerr.rdbuf(console);
}

}  // namespace

BENCHMARK_CAPTURE(InProcess, default_photograph, &defaultPhotograph)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Isolated, default_photograph, &defaultPhotograph)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(InProcess, jpeg_4_Mpx, &fourMegapixels)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Isolated, jpeg_4_Mpx, &fourMegapixels)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    initImageDecoder();
    writeFourMegapixelJpeg();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(fourMegapixels.c_str());
    return 0;
}
