#include <gtest/gtest.h>

#include <IL/il.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "imageopen/ImageIO.h"

namespace {

// Each test runs in a fresh scratch directory, so that the relative search
// directories point at files the test made.
class ImageIOTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        initImageDecoder();
        char pattern[] = "/tmp/imageio-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
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
        const std::string command = "rm -rf '" + root + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
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

    // An absolute name is tried behind every directory first, then as it is.
    const std::string absolute = work + "/x.ppm";
    EXPECT_EQ(findFile(absolute), absolute);
    // Every candidate formed from an empty name is a directory: not found.
    testing::internal::CaptureStdout();
    EXPECT_EQ(findFile(""), "");
    EXPECT_EQ(findFile("images"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file not found: \nfile not found: images\n");
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
        EXPECT_NE(err.find(std::string("ImageIO::load: cannot open file: ") + bad), std::string::npos)
            << err;
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(image.data.get(), pixels);
    }
}

TEST_F(ImageIOTest, StaleDecoderErrorsAreReportedOnceNotByEveryLaterLoad)
{
    writeFile("images/g.ppm", gradientPpm(3, 2));
    ImageRect<MyAlgebra::vec3> image;
    // A directory leaves many error codes behind in the decoder.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ImageIO::load(image, "images"));
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();

    auto devilLinesOfLoad = [&]() {
        testing::internal::CaptureStderr();
        EXPECT_TRUE(ImageIO::load(image, "g.ppm"));
        const std::string err = testing::internal::GetCapturedStderr();
        int lines = 0;
        for (size_t at = err.find("DevIL Error: "); at != std::string::npos;
             at = err.find("DevIL Error: ", at + 1))
            ++lines;
        return lines;
    };
    EXPECT_LE(devilLinesOfLoad(), 1);
    EXPECT_EQ(devilLinesOfLoad(), 0);
    EXPECT_EQ(ilGetError(), static_cast<ILenum>(IL_NO_ERROR));
}
