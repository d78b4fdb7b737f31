// What a 12-Mpx save costs: our PNG save (floats to the finished file) beside
// ImageMagick writing the same 8-bit pixels as PNG at zlib level 1, and beside the
// image library that wrote our files before. Also JPEG and TIFF, for scale.
//   build/bin/save_bench [--benchmark_repetitions=N]
// Read the ratios of one run: the machine may be shared.

#include <IL/il.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imageopen/ImageIO.h"
#include "imagesave/ImageWriter.h"

namespace {

constexpr int width = 4000;
constexpr int height = 3000;
const std::string door = std::string(WEATHERING_SOURCE_DIR) + "/images/image1.jpg";
const std::string folder = "/tmp/weathering-save-bench";

// The door stretched to 12 Mpx with a little sensor-like noise, so that the
// compressors see a photograph's detail rather than flat blocks.
struct Photograph {
    std::vector<MyAlgebra::vec3> rgb;
    std::vector<unsigned char> bytes;  // the same pixels as 8-bit RGB, top row first
    bool ready = false;
};

Photograph& photograph()
{
    static Photograph picture;
    if (picture.ready)
        return picture;
    initImageDecoder();
    ilInit();  // the former writer, for comparison: loading no longer starts it
    ImageRect<MyAlgebra::vec3> source;
    if (!ImageIO::load(source, door.c_str()))
        return picture;
    picture.rgb.resize(static_cast<std::size_t>(width) * height);
    unsigned state = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const MyAlgebra::vec3& s =
                source.data[(y * source.height / height) * source.width + x * source.width / width];
            state = state * 1103515245u + 12345u;
            const float noise = (static_cast<float>((state >> 24) & 7) - 3.5f) / 255.0f;
            picture.rgb[static_cast<std::size_t>(y) * width + x] = {s.x + noise, s.y + noise, s.z + noise};
        }
    picture.bytes.resize(picture.rgb.size() * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const MyAlgebra::vec3& c = picture.rgb[static_cast<std::size_t>(height - 1 - y) * width + x];
            unsigned char* b = &picture.bytes[(static_cast<std::size_t>(y) * width + x) * 3];
            b[0] = ImageWriter::channelByte(c.x);
            b[1] = ImageWriter::channelByte(c.y);
            b[2] = ImageWriter::channelByte(c.z);
        }
    std::system(("mkdir -p " + folder).c_str());
    std::FILE* raw = std::fopen((folder + "/pixels.rgb").c_str(), "wb");
    if (raw) {
        std::fwrite(picture.bytes.data(), 1, picture.bytes.size(), raw);
        std::fclose(raw);
    }
    picture.ready = true;
    return picture;
}

void perPixel(benchmark::State& state)
{
    state.counters["time/pixel"] =
        benchmark::Counter(static_cast<double>(width) * height,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Ours(benchmark::State& state, const char* name)
{
    Photograph& picture = photograph();
    if (!picture.ready)
        return state.SkipWithError("no photograph");
    const std::string path = folder + "/" + name;
    for (auto _ : state) {
        std::string reason;
        if (!ImageWriter::saveRgb(path, picture.rgb.data(), width, height, reason, "bench"))
            state.SkipWithError(reason.c_str());
    }
    perPixel(state);
}

// The convert command from raw 8-bit pixels: reading them is a small part of its time.
void ImageMagickPngLevel1(benchmark::State& state)
{
    if (!photograph().ready)
        return state.SkipWithError("no photograph");
    const std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
        " -depth 8 rgb:" + folder + "/pixels.rgb -define png:compression-level=1 " + folder + "/magick.png";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("convert failed");
    perPixel(state);
}

// The former writer, from the same floats: conversion to bytes, then its PNG.
void FormerWriterPng(benchmark::State& state)
{
    Photograph& picture = photograph();
    if (!picture.ready)
        return state.SkipWithError("no photograph");
    const std::string path = folder + "/former.png";
    for (auto _ : state) {
        std::vector<unsigned char> bytes(picture.rgb.size() * 3);
        for (std::size_t i = 0; i < picture.rgb.size(); ++i) {
            bytes[3 * i] = ImageWriter::channelByte(picture.rgb[i].x);
            bytes[3 * i + 1] = ImageWriter::channelByte(picture.rgb[i].y);
            bytes[3 * i + 2] = ImageWriter::channelByte(picture.rgb[i].z);
        }
        ILuint image = 0;
        ilGenImages(1, &image);
        ilBindImage(image);
        ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, bytes.data());
        ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
        ilEnable(IL_FILE_OVERWRITE);
        if (!ilSave(IL_PNG, path.c_str()))
            state.SkipWithError("former writer failed");
        ilDeleteImages(1, &image);
    }
    perPixel(state);
}

BENCHMARK_CAPTURE(Ours, Png, "ours.png")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ImageMagickPngLevel1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(FormerWriterPng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(Ours, Jpeg, "ours.jpg")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(Ours, Tiff, "ours.tif")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
