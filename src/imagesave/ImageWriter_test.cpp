#include "imagesave/ImageWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "imageopen/ImageIO.h"
#include "support/ScratchFolder.h"

using MyAlgebra::vec3;

namespace {

constexpr int width = 37;  // odd, so that rows carry padding in some formats
constexpr int height = 23;

// Random colours, some outside 0..1 as unclamped L*a*b* conversions give them.
std::vector<vec3> randomColours()
{
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> value(-0.1f, 1.1f);
    std::vector<vec3> rgb(width * height);
    for (vec3& c : rgb) c = {value(rng), value(rng), value(rng)};
    return rgb;
}

// Largest difference, in 8-bit steps, between what was saved and what loads back.
float largestStep(const std::vector<vec3>& saved, const ImageRect<vec3>& loaded)
{
    float largest = 0.0f;
    for (int i = 0; i < width * height; ++i) {
        const float s[3] = {saved[i].x, saved[i].y, saved[i].z};
        const float l[3] = {loaded.data[i].x, loaded.data[i].y, loaded.data[i].z};
        for (int c = 0; c < 3; ++c)
            largest = std::fmax(largest, std::fabs(ImageWriter::channelByte(s[c]) - l[c] * 255.0f));
    }
    return largest;
}

class ImageWriterTest : public ::testing::Test {
protected:
    void SetUp() override { initImageDecoder(); }
    ScratchFolder scratch;
};

TEST(ImageWriterChannel, ClampsRoundsAndMapsNaNToZero)
{
    EXPECT_EQ(ImageWriter::channelByte(0.0f), 0);
    EXPECT_EQ(ImageWriter::channelByte(1.0f), 255);
    EXPECT_EQ(ImageWriter::channelByte(-0.2f), 0);
    EXPECT_EQ(ImageWriter::channelByte(7.0f), 255);
    EXPECT_EQ(ImageWriter::channelByte(0.5f), 128);
    EXPECT_EQ(ImageWriter::channelByte(1.4f / 255.0f), 1);
    EXPECT_EQ(ImageWriter::channelByte(1.6f / 255.0f), 2);
    EXPECT_EQ(ImageWriter::channelByte(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(ImageWriter::channelByte(std::numeric_limits<float>::infinity()), 255);
}

TEST(ImageWriterType, ComesFromTheExtensionInAnyCase)
{
    using ImageWriter::FileType;
    EXPECT_EQ(ImageWriter::fileTypeOf("/a/b.png"), FileType::png);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.JPG"), FileType::jpeg);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.jpeg"), FileType::jpeg);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.Tif"), FileType::tiff);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.tiff"), FileType::tiff);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.bmp"), FileType::bmp);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.tga"), FileType::tga);
    EXPECT_EQ(ImageWriter::fileTypeOf("b.gif"), FileType::unknown);
    EXPECT_EQ(ImageWriter::fileTypeOf("png"), FileType::unknown);
    EXPECT_EQ(ImageWriter::fileTypeOf("dir.png/b"), FileType::unknown);
}

// Lossless formats load back exactly as rounded, and upright: the loader puts the
// file's top row at the top again.
TEST_F(ImageWriterTest, LosslessFormatsLoadBackExactlyThroughTheProjectLoader)
{
    const std::vector<vec3> rgb = randomColours();
    for (const char* name : {"a.png", "a.tif", "a.tiff", "a.bmp", "a.TGA"}) {
        std::string reason;
        ASSERT_TRUE(ImageWriter::saveRgb(scratch.path(name), rgb.data(), width, height, reason)) << name << ": " << reason;
        ImageRect<vec3> loaded;
        ASSERT_TRUE(ImageIO::load(loaded, scratch.path(name).c_str())) << name;
        ASSERT_EQ(loaded.width, width);
        ASSERT_EQ(loaded.height, height);
        EXPECT_LE(largestStep(rgb, loaded), 0.01f) << name;
    }
}

// JPEG loses detail (noise and sharp colour edges are its worst case); a smooth
// picture comes back close, and not upside down.
TEST_F(ImageWriterTest, JpegKeepsASmoothPictureCloseAndUpright)
{
    std::vector<vec3> rgb(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rgb[y * width + x] = {x / float(width), y / float(height - 1), 0.3f};
    for (const char* name : {"smooth.jpg", "smooth.JPEG"}) {
        std::string reason;
        ASSERT_TRUE(ImageWriter::saveRgb(scratch.path(name), rgb.data(), width, height, reason)) << reason;
        ImageRect<vec3> loaded;
        ASSERT_TRUE(ImageIO::load(loaded, scratch.path(name).c_str()));
        float sum = 0.0f;
        for (int i = 0; i < width * height; ++i) sum += std::fabs(loaded.data[i].y - rgb[i].y) * 255.0f;
        EXPECT_LE(sum / (width * height), 1.5f) << name;
        EXPECT_GT(loaded.data[(height - 1) * width].y, 0.95f) << name << ": the top row is not at the top";
    }
}

TEST_F(ImageWriterTest, JpegQualityIs95)
{
    const std::vector<vec3> rgb = randomColours();
    std::string reason;
    ASSERT_TRUE(ImageWriter::saveRgb(scratch.path("q.jpg"), rgb.data(), width, height, reason)) << reason;
    // The luminance quantisation table of quality 95 starts with 2 (libjpeg's
    // scaling of the standard table's 16); quality 75 would give 8.
    const std::string bytes = fileContents(scratch.path("q.jpg"));
    const std::size_t table = bytes.find("\xFF\xDB");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(bytes[table + 5]), 2);
}

TEST_F(ImageWriterTest, Grey16PngKeepsSixteenBitsUpright)
{
    std::vector<std::uint16_t> grey(width * height);
    for (int i = 0; i < width * height; ++i) grey[i] = static_cast<std::uint16_t>(i * 61);
    grey[0] = 65535;
    std::string reason;
    ASSERT_TRUE(ImageWriter::saveGrey16Png(scratch.path("g.png"), grey.data(), width, height, reason)) << reason;
    const std::string bytes = fileContents(scratch.path("g.png"));
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(static_cast<int>(bytes[24]), 16) << "bit depth";
    EXPECT_EQ(static_cast<int>(bytes[25]), 0) << "colour type grey";
    ImageRect<float> loaded;
    ASSERT_TRUE(ImageIO::load(loaded, scratch.path("g.png").c_str()));
    ASSERT_EQ(loaded.pixelCount(), width * height);
    for (int i = 0; i < width * height; ++i)
        ASSERT_NEAR(loaded.data[i] * 65535.0f, grey[i], 0.02f) << "pixel " << i;
}

TEST_F(ImageWriterTest, AnUnknownExtensionWritesNothing)
{
    const std::vector<vec3> rgb = randomColours();
    std::string reason;
    EXPECT_FALSE(ImageWriter::saveRgb(scratch.path("a.gif"), rgb.data(), width, height, reason));
    EXPECT_NE(reason.find(".png, .jpg"), std::string::npos) << reason;
    EXPECT_FALSE(ImageWriter::saveRgb(scratch.path("a"), rgb.data(), width, height, reason));
    EXPECT_TRUE(scratch.entries().empty());
}

TEST_F(ImageWriterTest, AFailedSaveKeepsTheOldFile)
{
    const std::vector<vec3> rgb = randomColours();
    writeContents(scratch.path("a.png"), "old");
    std::string reason;
    EXPECT_FALSE(ImageWriter::saveRgb(scratch.path("a.png"), rgb.data(), 0, height, reason));
    EXPECT_FALSE(ImageWriter::saveRgb(scratch.path("no/a.png"), rgb.data(), width, height, reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(fileContents(scratch.path("a.png")), "old");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"a.png"});
}

}  // namespace
