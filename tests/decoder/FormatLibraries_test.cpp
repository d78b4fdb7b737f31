#include <gtest/gtest.h>

#include <tiffio.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "PictureFiles.h"
#include "decoder/PictureDecoder.h"
#include "imageopen/ImageIO.h"
#include "support/ScratchDirectory.h"

// What the formats' own libraries do beyond the old decoding: orientation,
// sizes read from the header before any pixel, failures said by their kind.

namespace {

DecodeStatus decodeFile(const std::string& path, int channels, DecodedPicture& picture)
{
    const std::vector<std::uint8_t> file = fileBytes(path);
    return decodePicture({file.data(), file.size()}, path.c_str(), channels, picture);
}

// 16 x 8 in four flat quadrants, top row first: red, green over blue, white.
TestSamples quadrants()
{
    TestSamples samples;
    samples.width = 16;
    samples.height = 8;
    samples.channels = 3;
    const std::uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* c = colours[(y >= 4 ? 2 : 0) + (x >= 8 ? 1 : 0)];
            samples.bytes.insert(samples.bytes.end(), c, c + 3);
        }
    return samples;
}

// The quadrant colour (0 red, 1 green, 2 blue, 3 white) nearest the picture's
// pixel at (x, y) from the top left.
int colourAt(DecodedPicture& picture, int x, int y)
{
    const int row = picture.bottomRowFirst ? picture.height - 1 - y : y;
    const std::uint8_t* p = picture.row(row) + 3 * x;
    if (p[0] > 128 && p[1] > 128)
        return 3;
    return p[0] > 128 ? 0 : p[1] > 128 ? 1 : 2;
}

class FormatLibrariesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        initImageDecoder();
        scratch = makeScratchDirectory("format-libraries");
        ASSERT_FALSE(scratch.empty());
    }
    void TearDown() override { removeScratchDirectory(scratch); }

    // Each orientation puts the stored top-left (red) and top-right (green)
    // corners where the orientation says, with the sides swapped for 5 to 8.
    void expectOriented(const std::string& what, int orientation, DecodedPicture& picture)
    {
        // Where red and green end up, as (right?, bottom?) of the shown picture.
        const int red[9][2] = {{}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}};
        const int green[9][2] = {{}, {1, 0}, {0, 0}, {0, 1}, {1, 1}, {0, 1}, {1, 1}, {1, 0}, {0, 0}};
        const bool turned = orientation >= 5;
        ASSERT_EQ(picture.width, turned ? 8 : 16) << what << " " << orientation;
        ASSERT_EQ(picture.height, turned ? 16 : 8) << what << " " << orientation;
        const int right = picture.width - 2, bottom = picture.height - 2;
        EXPECT_EQ(colourAt(picture, red[orientation][0] ? right : 1, red[orientation][1] ? bottom : 1), 0)
            << what << " orientation " << orientation;
        EXPECT_EQ(colourAt(picture, green[orientation][0] ? right : 1, green[orientation][1] ? bottom : 1), 1)
            << what << " orientation " << orientation;
    }

    std::string scratch;
};

}  // namespace

// The old decoding ignored the EXIF orientation: a photograph taken upright came
// in on its side.
TEST_F(FormatLibrariesTest, JpegExifAndTiffOrientationsStandThePictureUp)
{
    const TestSamples samples = quadrants();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string jpeg = scratch + "/o" + std::to_string(orientation) + ".jpg";
        const std::string tiff = scratch + "/o" + std::to_string(orientation) + ".tif";
        ASSERT_TRUE(writeJpeg(jpeg, samples, false, false, orientation));
        ASSERT_TRUE(writeTiff(tiff, samples, COMPRESSION_NONE, false, orientation));
        for (const std::string& path : {jpeg, tiff}) {
            DecodedPicture picture;
            ASSERT_EQ(decodeFile(path, 3, picture).outcome, decoded) << path;
            expectOriented(path, orientation, picture);
        }
    }
}

TEST_F(FormatLibrariesTest, LosslessWebpArrivesByteForByte)
{
    for (const int channels : {3, 4}) {
        TestSamples samples = testSamples(29, 13, channels, false, 41);
        // The encoder may change the colour under fully transparent pixels.
        if (channels == 4)
            for (std::size_t i = 3; i < samples.bytes.size(); i += 4)
                samples.bytes[i] |= 1;
        const std::string path = scratch + "/c" + std::to_string(channels) + ".webp";
        ASSERT_TRUE(writeWebp(path, samples, true));
        DecodedPicture picture;
        ASSERT_EQ(decodeFile(path, 3, picture).outcome, decoded);
        ASSERT_EQ(picture.channels, 3);
        for (std::size_t i = 0; i < 29u * 13u; ++i)
            ASSERT_EQ(std::memcmp(&picture.samples[3 * i], &samples.bytes[channels * i], 3), 0) << i;
    }
}

namespace {

// A valid RGB PNG of 20000 x 20000 black pixels in about 1.2 MB: the same
// compressed run of zero rows, repeated (each run ends in a full flush, so it
// stands on its own).
bool writeHugeBlackPng(const std::string& path)
{
    const std::uint32_t side = 20000;
    const std::size_t rowBytes = 1 + 3 * side;  // filter byte, then RGB
    const int rowsARun = 500;
    const std::vector<std::uint8_t> rows(rowBytes * rowsARun, 0);
    z_stream stream = {};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    std::vector<std::uint8_t> run(deflateBound(&stream, rows.size()) + 64);
    stream.next_in = const_cast<std::uint8_t*>(rows.data());
    stream.avail_in = static_cast<uInt>(rows.size());
    stream.next_out = run.data();
    stream.avail_out = static_cast<uInt>(run.size());
    deflate(&stream, Z_FULL_FLUSH);
    run.resize(run.size() - stream.avail_out);
    deflateEnd(&stream);

    std::vector<std::uint8_t> zlib = {0x78, 0xDA};
    uLong adler = adler32(0, nullptr, 0);
    for (std::uint32_t r = 0; r < side / rowsARun; ++r) {
        zlib.insert(zlib.end(), run.begin(), run.end());
        adler = adler32(adler, rows.data(), static_cast<uInt>(rows.size()));
    }
    const std::uint8_t lastBlock[] = {0x03, 0x00};  // an empty final block of fixed codes
    zlib.insert(zlib.end(), lastBlock, lastBlock + 2);
    for (int shift = 24; shift >= 0; shift -= 8)
        zlib.push_back(static_cast<std::uint8_t>(adler >> shift));

    std::ofstream out(path, std::ios::binary);
    auto chunk = [&out](const char* type, const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> bytes(type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        const std::uint32_t length = static_cast<std::uint32_t>(data.size());
        const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
        for (const std::uint32_t word : {length})
            for (int s = 24; s >= 0; s -= 8)
                out.put(static_cast<char>(word >> s));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        for (int s = 24; s >= 0; s -= 8)
            out.put(static_cast<char>(crc >> s));
    };
    out.write("\x89PNG\r\n\x1A\n", 8);
    chunk("IHDR", {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 2, 0, 0, 0});
    chunk("IDAT", zlib);
    chunk("IEND", {});
    return static_cast<bool>(out);
}

}  // namespace

// The size is read from the header and refused before a pixel is decoded: the
// decoder, held to 64 MB and 1 s of processor time, says the size, not that it
// ran out of memory (1.2 GB decoded) or time.
TEST_F(FormatLibrariesTest, AHugeDeclaredSizeIsRefusedFromTheHeader)
{
    const std::string png = scratch + "/black-20000.png";
    ASSERT_TRUE(writeHugeBlackPng(png));
    const long size = static_cast<long>(fileBytes(png).size());
    EXPECT_GT(size, 1000000);
    EXPECT_LT(size, 1500000);
    const std::string jpeg = std::string(WEATHERING_SOURCE_DIR) + "/tests/data/hostile/jpeg-20000x20000.jpg";
    DecoderSettings settings;
    settings.seconds = 1;
    settings.megabytes = 64;
    for (const std::string& path : {png, jpeg}) {
        ImageRect<MyAlgebra::vec3> image;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(ImageIO::load(image, path.c_str(), settings));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "ImageIO::load: refused " + path +
                      ": its size 20000x20000 is beyond the largest accepted size 16384x16384\n");
    }
}

// The same for the formats left to the image library that carry their size up
// front: refused with the declared size, nothing decoded.
TEST_F(FormatLibrariesTest, HeadersOfTheOtherFormatsAreReadFirstToo)
{
    auto le16 = [](unsigned v) { return std::string{static_cast<char>(v & 255), static_cast<char>(v >> 8)}; };
    auto le32 = [&](unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); };
    auto be32 = [](unsigned v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>((v >> 16) & 255),
                           static_cast<char>((v >> 8) & 255), static_cast<char>(v & 255)};
    };
    const std::pair<std::string, std::string> files[] = {
        {"p.ppm", "P6\n# a comment\n20000 30000\n255\n" + std::string(64, '\0')},
        {"b.bmp", "BM" + std::string(12, '\0') + le32(40) + le32(20000) + le32(-30000) + std::string(64, '\0')},
        {"g.gif", "GIF89a" + le16(20000) + le16(30000) + std::string(64, '\0')},
        {"s.psd",
         "8BPS" + std::string(1, '\0') + "\1" + std::string(6, '\0') + std::string(1, '\0') + "\3" + be32(30000) +
             be32(20000) + std::string(64, '\0')},
        {"t.tga",
         std::string("\0\0\2", 3) + std::string(9, '\0') + le16(20000) + le16(30000) + "\x18\0" +
             std::string(64, '\0')},
    };
    for (const auto& [name, bytes] : files) {
        DecodedPicture picture;
        const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        EXPECT_EQ(decodePicture({data, bytes.size()}, name.c_str(), 3, picture).outcome, sizeRefused) << name;
        EXPECT_EQ(picture.width, 20000) << name;
        EXPECT_EQ(picture.height, 30000) << name;
    }
}

TEST_F(FormatLibrariesTest, FailuresAreSaidByTheirKind)
{
    const std::string png = scratch + "/cut.png";
    ASSERT_TRUE(writePng(png, testSamples(64, 64, 3, false, 5), 2, 8, false, false));
    std::vector<std::uint8_t> bytes = fileBytes(png);
    std::ofstream(png, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size() / 2));
    const std::string jpeg = scratch + "/cut.jpg";
    ASSERT_TRUE(writeJpeg(jpeg, testSamples(64, 64, 3, false, 5), true, false));
    bytes = fileBytes(jpeg);
    std::ofstream(jpeg, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size() / 2));
    // Cut after many bands of rows have already crossed to the tool.
    const std::string wide = scratch + "/cut-wide.jpg";
    ASSERT_TRUE(writeJpeg(wide, testSamples(3001, 97, 3, false, 5), true, false));
    bytes = fileBytes(wide);
    std::ofstream(wide, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size() * 3 / 4));
    const std::string text = scratch + "/notes.png";
    std::ofstream(text) << "shopping list: bread, milk";
    const std::string broken = scratch + "/broken.png";
    bytes = fileBytes(png);
    bytes[20] ^= 0xFF;  // inside the header chunk: its checksum no longer holds
    std::ofstream(broken, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    const std::pair<std::string, std::string> cases[] = {{png, "truncated file"},
                                                         {jpeg, "truncated file"},
                                                         {wide, "truncated file"},
                                                         {text, "not an image file, or a format not supported"},
                                                         {broken, "damaged file: its data does not follow its format"}};
    for (const auto& [path, words] : cases) {
        ImageRect<float> mask;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(ImageIO::load(mask, path.c_str()));
        // Every line on the one stream, none naming a source file.
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "ImageIO::load: cannot open file: " + path + "\nImageIO::load: " + path + ": " + words + "\n");
    }
}
