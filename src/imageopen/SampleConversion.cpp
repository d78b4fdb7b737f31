#include "imageopen/SampleConversion.h"

#include <cstring>
#include <type_traits>

#include "parallel/ParallelShares.h"

namespace {

constexpr float redWeight = 0.212671f;
constexpr float greenWeight = 0.715160f;
constexpr float blueWeight = 0.072169f;

// b / 255.0f for every byte: a look-up is cheaper than the division, and the
// same to the last bit.
struct ByteFractions {
    float of[256];
    ByteFractions()
    {
        for (int b = 0; b < 256; ++b)
            of[b] = static_cast<float>(b) / 255.0f;
    }
};
const ByteFractions byteFractions;

// One sample as a float, by its size.
struct ByteSample {
    static float at(const std::uint8_t* p, std::size_t i) { return byteFractions.of[p[i]]; }
};
struct ShortSample {
    static float at(const std::uint8_t* p, std::size_t i)
    {
        std::uint16_t v;
        std::memcpy(&v, p + 2 * i, 2);
        return static_cast<float>(v) / 65535.0f;
    }
};
struct FloatSample {
    static float at(const std::uint8_t* p, std::size_t i)
    {
        float v;
        std::memcpy(&v, p + 4 * i, 4);
        return v;
    }
};

template <typename Sample, int Channels>
void toRgb(const std::uint8_t* samples, std::size_t begin, std::size_t end, MyAlgebra::vec3* rgb)
{
    for (std::size_t i = begin; i < end; ++i) {
        const std::size_t s = i * Channels;
        if (Channels < 3) {
            const float grey = Sample::at(samples, s);
            rgb[i] = {grey, grey, grey};
        } else {
            rgb[i] = {Sample::at(samples, s), Sample::at(samples, s + 1), Sample::at(samples, s + 2)};
        }
    }
}

template <typename Sample, int Channels>
void toGrey(const std::uint8_t* samples, std::size_t begin, std::size_t end, float* grey)
{
    for (std::size_t i = begin; i < end; ++i) {
        const std::size_t s = i * Channels;
        if (Channels < 3) {
            grey[i] = Sample::at(samples, s);
            continue;
        }
        const float r = Sample::at(samples, s) * redWeight;
        const float g = Sample::at(samples, s + 1) * greenWeight;
        const float b = Sample::at(samples, s + 2) * blueWeight;
        grey[i] = Channels == 3
            ? r + g + b
            : static_cast<float>(static_cast<double>(r) + static_cast<double>(g) + static_cast<double>(b));
    }
}

// Bytes of RGB rows, the common case, as one flat run of samples: the same division as
// the look-up's, which the compiler turns into vector instructions here (three times
// faster than the look-up a sample).
void rgbBytesToRgb(const std::uint8_t* samples, std::size_t begin, std::size_t end, MyAlgebra::vec3* rgb)
{
    static_assert(sizeof(MyAlgebra::vec3) == 3 * sizeof(float), "vec3 pixels are packed floats");
    const std::uint8_t* in = samples + 3 * begin;
    float* out = reinterpret_cast<float*>(rgb + begin);
    const std::size_t count = 3 * (end - begin);
    for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<float>(in[k]) / 255.0f;
}

template <typename Out>
using Pass = void (*)(const std::uint8_t*, std::size_t, std::size_t, Out*);

template <typename Sample>
Pass<MyAlgebra::vec3> rgbPass(int channels)
{
    if (std::is_same<Sample, ByteSample>::value && channels == 3)
        return rgbBytesToRgb;
    switch (channels) {
    case 1:
        return toRgb<Sample, 1>;
    case 2:
        return toRgb<Sample, 2>;
    case 3:
        return toRgb<Sample, 3>;
    default:
        return toRgb<Sample, 4>;
    }
}

template <typename Sample>
Pass<float> greyPass(int channels)
{
    switch (channels) {
    case 1:
        return toGrey<Sample, 1>;
    case 2:
        return toGrey<Sample, 2>;
    case 3:
        return toGrey<Sample, 3>;
    default:
        return toGrey<Sample, 4>;
    }
}

template <typename Out>
void runOnAllCores(Pass<Out> pass, const std::uint8_t* samples, std::size_t count, Out* out)
{
    parallel::forEachShare(static_cast<int>(count), 1, [&](int, int begin, int end) {
        pass(samples, static_cast<std::size_t>(begin), static_cast<std::size_t>(end), out);
    });
}

// Rows one under the other in the samples land one above the other in `out`.
template <typename Out>
void runOnRows(Pass<Out> pass, const std::uint8_t* samples, std::size_t rowBytes, std::size_t width, std::size_t rows,
               Out* topRow)
{
    parallel::forEachShare(static_cast<int>(rows), static_cast<int>(width), [&](int, int begin, int end) {
        for (std::size_t r = static_cast<std::size_t>(begin); r < static_cast<std::size_t>(end); ++r)
            pass(samples + r * rowBytes, 0, width, topRow - r * width);
    });
}

std::size_t rowBytesOf(SampleLayout layout, std::size_t width)
{
    return width * static_cast<std::size_t>(layout.channels) * static_cast<std::size_t>(layout.sampleBytes);
}

}  // namespace

bool convertible(SampleLayout layout, int wantedChannels)
{
    if (layout.sampleBytes == 4)
        return layout.channels == wantedChannels;
    return (layout.sampleBytes == 1 || layout.sampleBytes == 2) && layout.channels >= 1 && layout.channels <= 4;
}

void samplesToRgb(const std::uint8_t* samples, SampleLayout layout, std::size_t count, MyAlgebra::vec3* rgb)
{
    if (layout.sampleBytes == 1)
        runOnAllCores(rgbPass<ByteSample>(layout.channels), samples, count, rgb);
    if (layout.sampleBytes == 2)
        runOnAllCores(rgbPass<ShortSample>(layout.channels), samples, count, rgb);
    if (layout.sampleBytes == 4)
        runOnAllCores(rgbPass<FloatSample>(layout.channels), samples, count, rgb);
}

void samplesToGrey(const std::uint8_t* samples, SampleLayout layout, std::size_t count, float* grey)
{
    if (layout.sampleBytes == 1)
        runOnAllCores(greyPass<ByteSample>(layout.channels), samples, count, grey);
    if (layout.sampleBytes == 2)
        runOnAllCores(greyPass<ShortSample>(layout.channels), samples, count, grey);
    if (layout.sampleBytes == 4)
        runOnAllCores(greyPass<FloatSample>(layout.channels), samples, count, grey);
}

void rowsToRgb(const std::uint8_t* samples, SampleLayout layout, std::size_t width, std::size_t rows,
               MyAlgebra::vec3* topRow)
{
    const std::size_t rowBytes = rowBytesOf(layout, width);
    if (layout.sampleBytes == 1)
        runOnRows(rgbPass<ByteSample>(layout.channels), samples, rowBytes, width, rows, topRow);
    if (layout.sampleBytes == 2)
        runOnRows(rgbPass<ShortSample>(layout.channels), samples, rowBytes, width, rows, topRow);
    if (layout.sampleBytes == 4)
        runOnRows(rgbPass<FloatSample>(layout.channels), samples, rowBytes, width, rows, topRow);
}

void rowsToGrey(const std::uint8_t* samples, SampleLayout layout, std::size_t width, std::size_t rows, float* topRow)
{
    const std::size_t rowBytes = rowBytesOf(layout, width);
    if (layout.sampleBytes == 1)
        runOnRows(greyPass<ByteSample>(layout.channels), samples, rowBytes, width, rows, topRow);
    if (layout.sampleBytes == 2)
        runOnRows(greyPass<ShortSample>(layout.channels), samples, rowBytes, width, rows, topRow);
    if (layout.sampleBytes == 4)
        runOnRows(greyPass<FloatSample>(layout.channels), samples, rowBytes, width, rows, topRow);
}
