#include <gtest/gtest.h>

#include <IL/il.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "imageopen/ImageIO.h"
#include "imageopen/SampleConversion.h"
#include "parallel/ParallelShares.h"
#include "support/ScratchDirectory.h"

namespace {

// Each test runs in a fresh scratch directory, so that the relative search
// directories point at files the test made.
class ImageIOTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        initImageDecoder();
        root = makeScratchDirectory("imageio-test");
        ASSERT_FALSE(root.empty());
        // Deep enough that "../../.." stays inside the scratch tree.
        work = root + "/a/b/c/work";
        const std::string command = "mkdir -p '" + work + "/images'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        char previous[4096];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        previousDirectory = previous;
        ASSERT_EQ(chdir(work.c_str()), 0);
    }

    void TearDown() override
    {
        ASSERT_EQ(chdir(previousDirectory.c_str()), 0);
        ASSERT_TRUE(removeScratchDirectory(root));
    }

    static void writeFile(const std::string& path, const std::string& contents)
    {
        std::ofstream(path, std::ios::binary) << contents;
    }

    // A binary PPM whose pixel (x, y) from the top has the red value 10 * x + y.
    static std::string gradientPpm(int width, int height)
    {
        std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                ppm += static_cast<char>(10 * x + y);
                ppm += static_cast<char>(200);
                ppm += static_cast<char>(0);
            }
        return ppm;
    }

    std::string root;
    std::string work;
    std::string previousDirectory;
};

}  // namespace

TEST_F(ImageIOTest, SearchDirectoriesComeBeforeTheNameAndDirectoriesDoNotCount)
{
    writeFile("x.ppm", "here");
    EXPECT_EQ(findFile("x.ppm"), "x.ppm");
    writeFile("images/x.ppm", "in images");
    EXPECT_EQ(findFile("x.ppm"), "images/x.ppm");
    writeFile("../x.ppm", "one up");
    EXPECT_EQ(findFile("x.ppm"), "../x.ppm");

    // An absolute name is that file, whatever the search directories hold
    // under the same relative path.
    const std::string absolute = work + "/x.ppm";
    ASSERT_EQ(std::system(("mkdir -p '../" + work + "'").c_str()), 0);
    writeFile("../" + absolute, "a different file");
    EXPECT_EQ(findFile(absolute), absolute);
    // Every candidate formed from an empty name is a directory: not found.
    testing::internal::CaptureStdout();
    EXPECT_EQ(findFile(""), "");
    EXPECT_EQ(findFile("images"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file not found: \nfile not found: images\n");
}

// The default photograph is found from any folder: a program run from its build
// folder looks in the source tree's images last, after a file of the name here.
TEST_F(ImageIOTest, TheProgramsOwnImagesAreFoundLastFromAnyFolder)
{
    EXPECT_EQ(findFile("image1_mask.jpg"), std::string(WEATHERING_SOURCE_DIR) + "/images/image1_mask.jpg");
    EXPECT_EQ(findFile("./images/image1.jpg"), std::string(WEATHERING_SOURCE_DIR) + "/./images/image1.jpg");
    writeFile("images/image1.jpg", "a photograph of our own");
    EXPECT_EQ(findFile("./images/image1.jpg"), "./images/image1.jpg");
}

TEST_F(ImageIOTest, LoadsColourBottomRowFirstAndGreyAsLuminance)
{
    writeFile("images/g.ppm", gradientPpm(3, 2));
    ImageRect<MyAlgebra::vec3> colour;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(colour, "g.ppm"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ImageIO::load: file loaded: g.ppm (3x2)\n");
    ASSERT_EQ(colour.width, 3);
    ASSERT_EQ(colour.height, 2);
    // Row 0 is the bottom row of the picture (its row 1 from the top).
    EXPECT_FLOAT_EQ(colour.data[0].x, 1 / 255.0f);
    EXPECT_FLOAT_EQ(colour.data[2].x, 21 / 255.0f);
    EXPECT_FLOAT_EQ(colour.data[3].x, 0.0f);
    EXPECT_FLOAT_EQ(colour.data[5].x, 20 / 255.0f);
    EXPECT_FLOAT_EQ(colour.data[4].y, 200 / 255.0f);
    EXPECT_EQ(colour.data[4].z, 0.0f);

    writeFile("images/white.pgm", std::string("P5\n2 1\n255\n") + char(255) + char(0));
    ImageRect<float> grey;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(grey, "white.pgm"));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(grey.pixelCount(), 2);
    EXPECT_FLOAT_EQ(grey.data[0], 1.0f);
    EXPECT_FLOAT_EQ(grey.data[1], 0.0f);
}

TEST_F(ImageIOTest, EightBitValuesArriveExactlyAsTheirFractionOf255)
{
    // Every byte value, as colour and as grey: b / 255.0f to the last bit,
    // which is what the decoding library's float conversion gives.
    std::string colour = "P6\n256 1\n255\n";
    std::string grey = "P5\n256 1\n255\n";
    for (int b = 0; b < 256; ++b) {
        colour += std::string(3, static_cast<char>(b));
        grey += static_cast<char>(b);
    }
    writeFile("images/colour.ppm", colour);
    writeFile("images/grey.pgm", grey);
    ImageRect<MyAlgebra::vec3> rgb;
    ImageRect<float> luminance;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(rgb, "colour.ppm"));
    ASSERT_TRUE(ImageIO::load(luminance, "grey.pgm"));
    testing::internal::GetCapturedStderr();
    for (int b = 0; b < 256; ++b) {
        const float expected = static_cast<float>(b) / 255.0f;
        ASSERT_EQ(rgb.data[static_cast<std::size_t>(b)].x, expected) << b;
        ASSERT_EQ(rgb.data[static_cast<std::size_t>(b)].z, expected) << b;
        ASSERT_EQ(luminance.data[static_cast<std::size_t>(b)], expected) << b;
    }
}

TEST_F(ImageIOTest, FailedLoadsSayWhyAndKeepThePreviousImage)
{
    writeFile("images/g.ppm", gradientPpm(3, 2));
    writeFile("images/broken.jpg", "this is not a picture");
    writeFile("images/zero.ppm", "P6\n0 0\n255\n");
    ImageRect<MyAlgebra::vec3> image;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(image, "g.ppm"));
    testing::internal::GetCapturedStderr();
    const MyAlgebra::vec3* pixels = image.data.get();

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ImageIO::load(image, "missing.png"));
    const std::string missingErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file not found: missing.png\n");
    EXPECT_NE(missingErr.find("ImageIO::load: cannot open file: missing.png\n"), std::string::npos);

    for (const char* bad : {"broken.jpg", "zero.ppm", "images"}) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(ImageIO::load(image, bad)) << bad;
        const std::string err = testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        EXPECT_NE(err.find(std::string("ImageIO::load: cannot open file: ") + bad), std::string::npos) << err;
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(image.data.get(), pixels);
    }
}

TEST_F(ImageIOTest, AFailedLoadSaysItsOwnReasonAndLeavesNothingForTheNext)
{
    writeFile("images/g.ppm", gradientPpm(3, 2));
    writeFile("images/broken.jpg", "this is not a picture");
    ImageRect<MyAlgebra::vec3> image;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ImageIO::load(image, "broken.jpg"));
    const std::string failed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed,
              "ImageIO::load: cannot open file: broken.jpg\n"
              "ImageIO::load: broken.jpg: not an image file, or a format not supported\n");

    testing::internal::CaptureStderr();
    EXPECT_TRUE(ImageIO::load(image, "g.ppm"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ImageIO::load: file loaded: g.ppm (3x2)\n");
}

TEST_F(ImageIOTest, ControlCharactersInANameNeverReachTheConsoleRaw)
{
    ImageRect<MyAlgebra::vec3> image;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ImageIO::load(image, "forged\nImageIO::load: file loaded: x.png (1x1)\x1b[2J"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "file not found: forged\\nImageIO::load: file loaded: x.png (1x1)\\x1b[2J\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ImageIO::load: cannot open file: forged\\nImageIO::load: file loaded: x.png (1x1)\\x1b[2J\n");
}

TEST_F(ImageIOTest, TheDecoderIsFoundBesideTheProgram)
{
    const std::string path = decoderPath();
    ASSERT_GE(path.size(), std::string("/weathering-decode").size());
    EXPECT_EQ(path.substr(path.rfind('/')), "/weathering-decode");
    EXPECT_EQ(access(path.c_str(), X_OK), 0);
}

TEST_F(ImageIOTest, CmykJpegArrivesInItsTrueColours)
{
    // Made with ImageMagick from rgb(200,40,40) and rgb(40,90,200), stored as
    // CMYK with the Adobe marker (inverted inks).
    const std::string cmyk = std::string(WEATHERING_SOURCE_DIR) + "/tests/data/cmyk-red-over-blue.jpg";
    ImageRect<MyAlgebra::vec3> image;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(image, cmyk.c_str())) << testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 16);
    const MyAlgebra::vec3 bottom = image.data[static_cast<std::size_t>(2 * 16 + 8)];
    const MyAlgebra::vec3 top = image.data[static_cast<std::size_t>(13 * 16 + 8)];
    const float tolerance = 3 / 255.0f;  // JPEG's own loss
    EXPECT_NEAR(top.x, 200 / 255.0f, tolerance);
    EXPECT_NEAR(top.y, 40 / 255.0f, tolerance);
    EXPECT_NEAR(top.z, 40 / 255.0f, tolerance);
    EXPECT_NEAR(bottom.x, 40 / 255.0f, tolerance);
    EXPECT_NEAR(bottom.y, 90 / 255.0f, tolerance);
    EXPECT_NEAR(bottom.z, 200 / 255.0f, tolerance);
}

TEST_F(ImageIOTest, NonFinitePixelsOfAFloatFileBecomeZeroWithTheirCount)
{
    // A 4 x 4 DDS of four-float pixels (A32B32G32R32F): NaN, +Inf and -Inf in
    // the red of pixels 0, 5 and 10 from the top, 0.5 everywhere else.
    std::vector<float> values(64, 0.5f);
    values[0] = std::nanf("");
    values[5 * 4] = HUGE_VALF;
    values[10 * 4] = -HUGE_VALF;
    std::vector<std::uint32_t> header = {0x20534444, 124, 0x1007, 4, 4, 0, 0, 0};
    header.resize(8 + 11);  // the rest of the header, then 11 reserved words
    const std::uint32_t pixelFormat[8] = {32, 0x4, 116, 0, 0, 0, 0, 0};
    header.insert(header.end(), pixelFormat, pixelFormat + 8);
    header.insert(header.end(), {0x1000, 0, 0, 0, 0});
    std::string dds(reinterpret_cast<const char*>(header.data()), header.size() * 4);
    dds.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
    writeFile("images/float.dds", dds);

    ImageRect<MyAlgebra::vec3> image;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(image, "float.dds"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ImageIO::load: 3 pixels of float.dds were not finite numbers; they are 0 now\n"
              "ImageIO::load: file loaded: float.dds (4x4)\n");
    int zeros = 0;
    for (int i = 0; i < image.pixelCount(); ++i) {
        const MyAlgebra::vec3 p = image.data[static_cast<std::size_t>(i)];
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << i;
        zeros += p.x == 0 && p.y == 0 && p.z == 0;
    }
    EXPECT_EQ(zeros, 3);
}

TEST(SampleConversionTest, RgbBytesBecomeEachByteOver255InRowsBottomFirstAndInRunsInAnySplit)
{
    const std::size_t width = 301;
    const std::size_t rows = 7;
    std::vector<std::uint8_t> samples(width * rows * 3);
    for (std::size_t k = 0; k < samples.size(); ++k)
        samples[k] = static_cast<std::uint8_t>(k * 7 + k / 255);
    for (const int smallest : {1, parallel::defaultSmallestShare}) {
        parallel::setSmallestShare(smallest);
        std::vector<MyAlgebra::vec3> rgb(width * rows, MyAlgebra::vec3{-1.0f, -1.0f, -1.0f});
        rowsToRgb(samples.data(), SampleLayout{3, 1}, width, rows, rgb.data() + (rows - 1) * width);
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t* s = &samples[(r * width + x) * 3];
                const MyAlgebra::vec3& p = rgb[(rows - 1 - r) * width + x];
                ASSERT_EQ(p.x, static_cast<float>(s[0]) / 255.0f) << r << " " << x;
                ASSERT_EQ(p.y, static_cast<float>(s[1]) / 255.0f);
                ASSERT_EQ(p.z, static_cast<float>(s[2]) / 255.0f);
            }
        // As one run of pixels, in shares that start part way.
        samplesToRgb(samples.data(), SampleLayout{3, 1}, width * rows, rgb.data());
        for (std::size_t i = 0; i < width * rows; ++i)
            ASSERT_EQ(rgb[i].y, static_cast<float>(samples[3 * i + 1]) / 255.0f) << i;
    }
    parallel::setSmallestShare(parallel::defaultSmallestShare);
}
