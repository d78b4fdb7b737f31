#include "imagesave/ImageWriter.h"

#include <IL/il.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "background/JobProgress.h"
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
    for (vec3& c : rgb)
        c = {value(rng), value(rng), value(rng)};
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
    void SetUp() override
    {
        initImageDecoder();
        ilInit();  // the former writer, for comparison: loading no longer starts it
    }
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
        ASSERT_TRUE(ImageWriter::saveRgb(scratch.path(name), rgb.data(), width, height, reason))
            << name << ": " << reason;
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
        for (int i = 0; i < width * height; ++i)
            sum += std::fabs(loaded.data[i].y - rgb[i].y) * 255.0f;
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
    for (int i = 0; i < width * height; ++i)
        grey[i] = static_cast<std::uint16_t>(i * 61);
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

// A save in the background that was cancelled leaves no file, new or replaced, in
// every format; the formats written row by row report their rows as they go.
TEST_F(ImageWriterTest, ACancelledSaveLeavesNoFileAndARunningOneReportsProgress)
{
    const std::vector<vec3> rgb = randomColours();
    const std::vector<std::uint16_t> grey(width * height, 1000);
    writeContents(scratch.path("old.png"), "old");
    std::string reason;
    for (const char* name : {"a.png", "a.jpg", "a.tif", "a.bmp", "a.tga", "old.png"}) {
        JobProgress cancelled;
        cancelled.cancel();
        EXPECT_FALSE(ImageWriter::saveRgb(scratch.path(name), rgb.data(), width, height, reason, "", &cancelled))
            << name;
        EXPECT_EQ(reason, "cancelled") << name;
    }
    JobProgress cancelled;
    cancelled.cancel();
    EXPECT_FALSE(
        ImageWriter::saveGrey16Png(scratch.path("old.png"), grey.data(), width, height, reason, "", &cancelled));
    EXPECT_EQ(reason, "cancelled");
    EXPECT_EQ(fileContents(scratch.path("old.png")), "old");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"old.png"});

    for (const char* name : {"b.png", "b.jpg", "b.tif"}) {
        JobProgress running;
        EXPECT_TRUE(ImageWriter::saveRgb(scratch.path(name), rgb.data(), width, height, reason, "", &running)) << name;
        EXPECT_GE(running.fraction(), (height - 1.0f) / height) << name;
    }
}

// The image library that wrote every format before, as the reference of what a
// saved file decodes to.
bool saveWithFormerWriter(const std::string& path, ILenum type, const std::vector<std::uint8_t>& bytes)
{
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool saved = ilTexImage(width, height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, const_cast<std::uint8_t*>(bytes.data()));
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    ilSetInteger(IL_JPG_QUALITY, 95);
    ilEnable(IL_FILE_OVERWRITE);
    saved = saved && ilSave(type, path.c_str());
    ilDeleteImages(1, &image);
    return saved;
}

TEST_F(ImageWriterTest, EveryFormatDecodesToWhatTheFormerWriterGave)
{
    const std::vector<vec3> rgb = randomColours();
    std::vector<std::uint8_t> bytes;
    for (const vec3& c : rgb)
        for (float channel : {c.x, c.y, c.z})
            bytes.push_back(ImageWriter::channelByte(channel));
    const struct {
        const char* extension;
        ILenum type;
    } formats[] = {{"png", IL_PNG}, {"jpg", IL_JPG}, {"tif", IL_TIF}, {"bmp", IL_BMP}, {"tga", IL_TGA}};
    for (const auto& format : formats) {
        const std::string ours = scratch.path(std::string("ours.") + format.extension);
        const std::string former = scratch.path(std::string("former.") + format.extension);
        std::string reason;
        ASSERT_TRUE(ImageWriter::saveRgb(ours, rgb.data(), width, height, reason, "made by a test")) << reason;
        ASSERT_TRUE(saveWithFormerWriter(former, format.type, bytes)) << format.extension;
        ImageRect<vec3> a, b;
        ASSERT_TRUE(ImageIO::load(a, ours.c_str()));
        ASSERT_TRUE(ImageIO::load(b, former.c_str()));
        ASSERT_EQ(a.width, b.width);
        ASSERT_EQ(a.height, b.height);
        EXPECT_EQ(std::memcmp(a.data.get(), b.data.get(), sizeof(vec3) * width * height), 0) << format.extension;
    }
}

// A degree map has long runs of black and of full degrees beside fine gradients:
// the content on which the former writer failed.
TEST_F(ImageWriterTest, Grey16PngTakesEveryValueFromBlackToWhite)
{
    constexpr int w = 512, h = 602;
    std::vector<std::uint16_t> grey(w * h, 0);
    for (int i = 0; i < w * h; ++i) {
        const int y = i / w;
        if (y > 200)
            grey[i] = y > 400 ? 65535 : static_cast<std::uint16_t>((i * 2654435761u) >> 16);
    }
    std::string reason;
    ASSERT_TRUE(ImageWriter::saveGrey16Png(scratch.path("d.png"), grey.data(), w, h, reason)) << reason;
    ImageRect<float> loaded;
    ASSERT_TRUE(ImageIO::load(loaded, scratch.path("d.png").c_str()));
    ASSERT_EQ(loaded.pixelCount(), w * h);
    for (int i = 0; i < w * h; ++i)
        ASSERT_EQ(std::lround(loaded.data[i] * 65535.0f), grey[i]) << "pixel " << i;
}

TEST_F(ImageWriterTest, FilesCarryTheDescriptionOfWhatMadeThem)
{
    const std::vector<vec3> rgb = randomColours();
    const std::string description = "weathering-batch door.jpg --path \"1,2 3,4\" --steps 100";
    for (const char* name : {"a.png", "a.jpg", "a.tga"}) {
        std::string reason;
        ASSERT_TRUE(ImageWriter::saveRgb(scratch.path(name), rgb.data(), width, height, reason, description));
        EXPECT_NE(fileContents(scratch.path(name)).find(description), std::string::npos) << name;
    }
    const std::string png = fileContents(scratch.path("a.png"));
    EXPECT_NE(png.find(std::string("tEXtDescription\0", 16) + description), std::string::npos);
    EXPECT_NE(png.find("tEXtSoftware"), std::string::npos);

    std::string reason;
    ASSERT_TRUE(ImageWriter::saveRgb(scratch.path("a.tif"), rgb.data(), width, height, reason, description));
    TIFF* tiff = TIFFOpen(scratch.path("a.tif").c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    const char* text = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &text));
    EXPECT_EQ(std::string(text), description);
    TIFFClose(tiff);
}

// A full disk shows in the middle of the encoding or only at the final flush;
// either way every format reports it and the old file stays.
TEST_F(ImageWriterTest, AFullDiskFailsEveryFormatAndKeepsTheOldFile)
{
    const std::vector<vec3> rgb = randomColours();
    for (const char* name : {"f.png", "f.jpg", "f.tif", "f.bmp", "f.tga"}) {
        for (const rlim_t room : {rlim_t(0), rlim_t(100), rlim_t(1500)}) {
            const std::string target = scratch.path(name);
            writeContents(target, "old");
            int channel[2];
            ASSERT_EQ(pipe(channel), 0);
            const pid_t child = fork();
            if (child == 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{room, room};
                setrlimit(RLIMIT_FSIZE, &limit);
                std::string reason;
                const bool saved = ImageWriter::saveRgb(target, rgb.data(), width, height, reason);
                (void)!write(channel[1], reason.data(), reason.size());
                _exit(saved ? 0 : 1);
            }
            close(channel[1]);
            char buffer[256] = {};
            const ssize_t n = read(channel[0], buffer, sizeof buffer - 1);
            close(channel[0]);
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << name << " with room for " << room;
            EXPECT_GT(n, 0) << name << ": no reason given";
            EXPECT_EQ(fileContents(target), "old") << name;
            EXPECT_EQ(scratch.entries().size(), 1u) << name;
            std::remove(target.c_str());
        }
    }
}

}  // namespace
