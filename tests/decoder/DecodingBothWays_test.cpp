#include <gtest/gtest.h>

#include <IL/il.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "PictureFiles.h"
#include "decoder/JpegCmyk.h"
#include "decoder/PictureDecoder.h"
#include "imageopen/SampleConversion.h"
#include "imageopen/ImageIO.h"
#include "support/ScratchDirectory.h"

// The formats' own libraries give the model the same floats, to the last bit,
// as the image library gave before they were used, for every layout the formats
// allow: decoded both ways, in this process, and compared.

namespace {

struct Floats {
    int width = 0;
    int height = 0;
    std::vector<float> values;
};

bool hasAdobeMarker(const std::vector<std::uint8_t>& file)
{
    for (std::size_t i = 0; i + 9 <= file.size() && i < 65536; ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xEE && std::memcmp(&file[i + 4], "Adobe", 5) == 0)
            return true;
    return false;
}

// The image library alone, with the calls the decoder made before: type by
// the name, origin at the bottom, CMYK inks turned to light, then its own
// conversion to float RGB or luminance.
Floats decodedTheOldWay(const std::string& path, int channels)
{
    Floats result;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    if (ilLoadImage(path.c_str())) {
        const std::size_t count =
            static_cast<std::size_t>(ilGetInteger(IL_IMAGE_WIDTH)) * ilGetInteger(IL_IMAGE_HEIGHT);
        if (ilTypeFromExt(path.c_str()) == IL_JPG && ilGetInteger(IL_IMAGE_FORMAT) == IL_RGBA)
            cmykToRgba(ilGetData(), count, hasAdobeMarker(fileBytes(path)));
        if (ilConvertImage(channels == 3 ? IL_RGB : IL_LUMINANCE, IL_FLOAT)) {
            result.width = ilGetInteger(IL_IMAGE_WIDTH);
            result.height = ilGetInteger(IL_IMAGE_HEIGHT);
            const float* data = reinterpret_cast<const float*>(ilGetData());
            result.values.assign(data, data + count * channels);
        }
    }
    while (ilGetError() != IL_NO_ERROR) {
    }
    ilDeleteImages(1, &image);
    return result;
}

// The decoder's libraries, then the tool's conversion of their samples.
Floats decodedTheNewWay(const std::string& path, int channels)
{
    Floats result;
    const std::vector<std::uint8_t> file = fileBytes(path);
    DecodedPicture picture;
    if (decodePicture({file.data(), file.size()}, path.c_str(), channels, picture).outcome != decoded)
        return result;
    if (!picture.bottomRowFirst)
        for (int y = 0; y < picture.height / 2; ++y)
            std::swap_ranges(picture.row(y), picture.row(y) + picture.rowBytes(), picture.row(picture.height - 1 - y));
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    const SampleLayout layout = {picture.channels, picture.sampleBytes};
    if (!convertible(layout, channels))
        return result;
    result.width = picture.width;
    result.height = picture.height;
    result.values.resize(count * channels);
    if (channels == 3)
        samplesToRgb(picture.samples.data(), layout, count, reinterpret_cast<MyAlgebra::vec3*>(result.values.data()));
    else
        samplesToGrey(picture.samples.data(), layout, count, result.values.data());
    return result;
}

// The whole way a load takes: weathering-decode in its own process, its rows
// across the pipe band by band, floats made in the tool.
Floats loadedThroughTheDecoder(const std::string& path, int channels)
{
    Floats result;
    ImageRect<MyAlgebra::vec3> rgb;
    ImageRect<float> grey;
    const bool loaded = channels == 3 ? ImageIO::load(rgb, path.c_str()) : ImageIO::load(grey, path.c_str());
    if (!loaded)
        return result;
    result.width = channels == 3 ? rgb.width : grey.width;
    result.height = channels == 3 ? rgb.height : grey.height;
    const float* values = channels == 3 ? reinterpret_cast<const float*>(rgb.data.get()) : grey.data.get();
    result.values.assign(values, values + static_cast<std::size_t>(result.width) * result.height * channels);
    return result;
}

// How many of the values differ in their bits, and the first that does.
std::size_t differingValues(const Floats& a, const Floats& b, std::size_t& first)
{
    std::size_t differing = 0;
    for (std::size_t i = a.values.size(); i-- > 0;)
        if (std::memcmp(&a.values[i], &b.values[i], sizeof(float)) != 0) {
            ++differing;
            first = i;
        }
    return differing;
}

class DecodingBothWaysTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ilInit(); }
    void SetUp() override
    {
        scratch = makeScratchDirectory("decoding-both-ways");
        ASSERT_FALSE(scratch.empty());
    }
    void TearDown() override { removeScratchDirectory(scratch); }

    // Writes the file, then expects the same floats both ways, as a photograph and as a mask.
    void expectSameFloats(const std::string& name, const std::function<bool(const std::string&)>& write)
    {
        const std::string path = scratch + "/" + name;
        ASSERT_TRUE(write(path)) << name;
        for (const int channels : {3, 1}) {
            const Floats old = decodedTheOldWay(path, channels);
            ASSERT_FALSE(old.values.empty()) << name << ": the image library could not read it";
            for (const bool throughTheDecoder : {false, true}) {
                const Floats now =
                    throughTheDecoder ? loadedThroughTheDecoder(path, channels) : decodedTheNewWay(path, channels);
                const std::string way = name + (throughTheDecoder ? " loaded" : " decoded") + " as " +
                    std::to_string(channels) + " channels";
                ASSERT_EQ(now.width, old.width) << way;
                ASSERT_EQ(now.height, old.height) << way;
                ASSERT_EQ(now.values.size(), old.values.size()) << way;
                std::size_t first = 0;
                EXPECT_EQ(differingValues(now, old, first), 0u)
                    << way << "; first at value " << first << ": " << now.values[first] << " now, " << old.values[first]
                    << " before";
            }
        }
    }

    std::string scratch;
};

}  // namespace

TEST_F(DecodingBothWaysTest, PngOfEveryColourTypeAndBitDepth)
{
    struct Kind {
        int colourType;
        int channels;
        std::vector<int> depths;
    };
    const Kind kinds[] = {{PNG_COLOR_TYPE_GRAY, 1, {1, 2, 4, 8, 16}},
                          {PNG_COLOR_TYPE_RGB, 3, {8, 16}},
                          {PNG_COLOR_TYPE_PALETTE, 1, {1, 2, 4, 8}},
                          {PNG_COLOR_TYPE_GRAY_ALPHA, 2, {8, 16}},
                          {PNG_COLOR_TYPE_RGB_ALPHA, 4, {8, 16}}};
    for (const Kind& kind : kinds)
        for (const int depth : kind.depths)
            for (const bool transparent : {false, true}) {
                if (transparent && (kind.colourType & PNG_COLOR_MASK_ALPHA))
                    continue;
                for (const bool interlaced : {false, true}) {
                    const TestSamples samples = testSamples(37, 23, kind.channels, depth == 16, 7u + depth);
                    const std::string name = "type" + std::to_string(kind.colourType) + "-" + std::to_string(depth) +
                        (transparent ? "-trns" : "") + (interlaced ? "-adam7" : "") + ".png";
                    expectSameFloats(name, [&](const std::string& path) {
                        return writePng(path, samples, kind.colourType, depth, transparent, interlaced);
                    });
                }
            }
}

TEST_F(DecodingBothWaysTest, PngWithAGammaOfItsOwn)
{
    const TestSamples samples = testSamples(19, 11, 3, false, 3);
    for (const double gamma : {0.45455, 1.0, 0.8})
        expectSameFloats("gamma" + std::to_string(gamma) + ".png", [&](const std::string& path) {
            return writePng(path, samples, PNG_COLOR_TYPE_RGB, 8, false, false, gamma);
        });
}

TEST_F(DecodingBothWaysTest, JpegGreyColourAndCmyk)
{
    for (const int channels : {1, 3, 4})
        for (const bool subsampled : {false, true})
            for (const bool progressive : {false, true}) {
                const TestSamples samples = testSamples(41, 29, channels, false, 11u * channels);
                const std::string name = "c" + std::to_string(channels) + (subsampled ? "-420" : "-444") +
                    (progressive ? "-progressive" : "") + ".jpg";
                expectSameFloats(
                    name, [&](const std::string& path) { return writeJpeg(path, samples, subsampled, progressive); });
            }
}

// Wide enough that a load's rows cross the pipe in many bands, the last one short.
TEST_F(DecodingBothWaysTest, JpegOfManyBands)
{
    for (const int channels : {1, 3, 4}) {
        const TestSamples samples = testSamples(3001, 97, channels, false, 5u * channels);
        expectSameFloats("bands-c" + std::to_string(channels) + ".jpg",
                         [&](const std::string& path) { return writeJpeg(path, samples, true, false); });
    }
}

TEST_F(DecodingBothWaysTest, TiffOfEveryChannelCountDepthAndCompression)
{
    for (const int channels : {1, 2, 3, 4})
        for (const bool wide : {false, true})
            for (const int compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
                const TestSamples samples = testSamples(33, 21, channels, wide, 5u + channels);
                const std::string name = "c" + std::to_string(channels) + (wide ? "-16" : "-8") + "-z" +
                    std::to_string(compression) + ".tif";
                expectSameFloats(name, [&](const std::string& path) { return writeTiff(path, samples, compression); });
            }
    const TestSamples inks = testSamples(17, 9, 4, false, 99);
    expectSameFloats("cmyk.tif",
                     [&](const std::string& path) { return writeTiff(path, inks, COMPRESSION_NONE, true); });
}

TEST_F(DecodingBothWaysTest, FormatsLeftToTheImageLibrary)
{
    for (const int channels : {1, 3}) {
        const TestSamples samples = testSamples(23, 13, channels, false, 17u + channels);
        expectSameFloats("c" + std::to_string(channels) + (channels == 1 ? ".pgm" : ".ppm"),
                         [&](const std::string& path) { return writePnm(path, samples); });
    }
    // BMP, TGA, GIF and PCX through ImageMagick from a PNM of our own.
    const TestSamples samples = testSamples(23, 13, 3, false, 23);
    for (const std::string target : {"BMP3:x.bmp", "TGA:x.tga", "GIF:x.gif", "SGI:x.sgi"}) {
        const std::string name = target.substr(target.find(':') + 1);
        expectSameFloats(name, [&](const std::string& path) {
            const std::string source = scratch + "/source.ppm";
            const std::string type = target.substr(0, target.find(':'));
            return writePnm(source, samples) &&
                std::system(("convert '" + source + "' '" + type + ":" + path + "'").c_str()) == 0;
        });
    }
}

// The image library's 16-bit PNM reader says its samples are 16-bit but holds
// 8-bit ones, so the old way read past the end of its pixels. Such a file is
// now refused instead.
TEST_F(DecodingBothWaysTest, SixteenBitPnmIsRefusedRatherThanReadPastItsEnd)
{
    for (const int channels : {1, 3}) {
        const std::string path = scratch + "/wide" + std::to_string(channels) + (channels == 1 ? ".pgm" : ".ppm");
        ASSERT_TRUE(writePnm(path, testSamples(5, 3, channels, true, 1)));
        const std::vector<std::uint8_t> file = fileBytes(path);
        DecodedPicture picture;
        EXPECT_EQ(decodePicture({file.data(), file.size()}, path.c_str(), 3, picture).outcome, conversionFailed)
            << path;
    }
}
