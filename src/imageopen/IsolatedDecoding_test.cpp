#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include <thread>

#include "background/BackgroundJob.h"
#include "decodereply/DecodeReply.h"
#include "imageopen/ImageIO.h"
#include "support/ScratchDirectory.h"

// Whatever the decoder process does, a load ends in time with true or false
// and one line of reason, and a failed load leaves both images bit for bit as
// they were.

namespace {

std::string directoryOfThisProgram()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return ".";
    const std::string self(buffer, static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/'));
}

// A photograph and a mask loaded before the hostile load, with copies of their
// pixels to compare against.
class IsolatedDecodingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        initImageDecoder();
        scratch = makeScratchDirectory("isolated-decoding");
        ASSERT_FALSE(scratch.empty());
        const std::string good = scratch + "/good.ppm";
        std::ofstream(good, std::ios::binary) << "P6\n3 2\n255\n" << std::string(18, '\x40');
        testing::internal::CaptureStderr();
        ASSERT_TRUE(ImageIO::load(photograph, good.c_str()));
        ASSERT_TRUE(ImageIO::load(mask, good.c_str()));
        testing::internal::GetCapturedStderr();
        keptPhotograph.assign(bytesOf(photograph), bytesOf(photograph) + 3 * 2 * 12);
        keptMask.assign(bytesOf(mask), bytesOf(mask) + 3 * 2 * 4);
    }

    void TearDown() override { ASSERT_TRUE(removeScratchDirectory(scratch)); }

    template <typename T>
    static const char* bytesOf(const ImageRect<T>& image)
    {
        return reinterpret_cast<const char*>(image.data.get());
    }

    void expectUnchanged(const std::string& what)
    {
        ASSERT_EQ(photograph.width, 3) << what;
        ASSERT_EQ(photograph.height, 2) << what;
        ASSERT_EQ(mask.width, 3) << what;
        EXPECT_EQ(std::memcmp(bytesOf(photograph), keptPhotograph.data(), keptPhotograph.size()), 0) << what;
        EXPECT_EQ(std::memcmp(bytesOf(mask), keptMask.data(), keptMask.size()), 0) << what;
    }

    // Loads `file` as a photograph and as a mask; returns what both printed.
    std::string loadBoth(const std::string& file, const DecoderSettings& settings, bool& anyLoaded)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        anyLoaded = ImageIO::load(photograph, file.c_str(), settings);
        anyLoaded = ImageIO::load(mask, file.c_str(), settings) || anyLoaded;
        testing::internal::GetCapturedStdout();
        return testing::internal::GetCapturedStderr();
    }

    std::string scratch;
    ImageRect<MyAlgebra::vec3> photograph;
    ImageRect<float> mask;
    std::vector<char> keptPhotograph;
    std::vector<char> keptMask;
};

struct Misdeed {
    const char* name;
    const char* line;  // what the load must say, for the photograph and again for the mask
};

}  // namespace

TEST_F(IsolatedDecodingTest, EveryMisdeedOfTheDecoderIsAFailedLoadWithItsReason)
{
    const Misdeed misdeeds[] = {
        {"crash", "the decoder crashed on FILE (signal 11)"},
        {"sleep", "the decoder gave no answer within 5 s on FILE, and was stopped"},
        {"closeAndSpin", "the decoder used more than its 1 s of processor time on FILE"},
        {"outOfMemory", "the decoder needs more than 64 MB for FILE"},
        {"exitWithoutReply", "the decoder failed on FILE without a reply"},
        {"badMagic", "refused FILE: the decoder sent a malformed reply"},
        {"unknownOutcome", "refused FILE: the decoder sent a malformed reply"},
        {"unknownFailure",
         "cannot open file: FILE\nImageIO::load: FILE: the decoder gave an unknown reason (3735928559)"},
        {"truncated", "cannot open file: FILE\nImageIO::load: FILE: truncated file"},
        {"impossibleSize", "refused FILE: its size -1x-2147483648 is not a size a picture can have"},
        {"trailingBytes", "refused FILE: the decoder sent more than its reply"},
        {"wrongChannels", "refused FILE: the decoder sent a malformed reply"},
        {"negativeSize", "refused FILE: the decoder sent a malformed reply"},
        {"zeroSize", "refused FILE: the decoder sent a malformed reply"},
        {"hugeSize", "refused FILE: its size 2000000000x2000000000 is beyond the largest accepted size 16384x16384"},
        {"overLargestSide", "refused FILE: its size 16385x1 is beyond the largest accepted size 16384x16384"},
        {"shortPixels", "refused FILE: the decoder's reply ended early"},
        {"moreRowsThanHeight", "refused FILE: the decoder sent a malformed reply"},
        {"endBeforeLastRow", "refused FILE: the decoder sent a malformed reply"},
        {"noEndBand", "refused FILE: the decoder's reply ended early"},
        {"failureAfterRows", "cannot open file: FILE\nImageIO::load: FILE: truncated file"},
        {"unknownFailureAfterRows",
         "cannot open file: FILE\nImageIO::load: FILE: the decoder gave an unknown reason (3735928559)"},
        {"replyThenCrash", "the decoder crashed on FILE (signal 11)"},
        {"replyThenHang", "the decoder gave no answer within 5 s on FILE, and was stopped"},
        {"endlessReply", "the decoder crashed on FILE (signal 13)"},
    };
    DecoderSettings settings;
    settings.seconds = 1;
    // Well above the second of processor time, which a busy machine may stretch.
    settings.stalledSeconds = 5;
    settings.megabytes = 64;
    settings.executable = directoryOfThisProgram() + "/hostile_decoder";
    for (const Misdeed& misdeed : misdeeds) {
        const std::string file = scratch + "/" + misdeed.name + ".png";
        std::ofstream(file) << misdeed.name;
        bool anyLoaded = true;
        const auto started = std::chrono::steady_clock::now();
        const std::string lines = loadBoth(file, settings, anyLoaded);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_FALSE(anyLoaded) << misdeed.name;
        std::string expected = "ImageIO::load: " + std::string(misdeed.line);
        for (std::size_t at = expected.find("FILE"); at != std::string::npos; at = expected.find("FILE", at))
            expected.replace(at, 4, file);
        // The same lines for the photograph and for the mask, nothing else.
        const std::size_t half = lines.size() / 2;
        EXPECT_EQ(lines.substr(0, half), lines.substr(half)) << misdeed.name;
        EXPECT_EQ(lines.substr(0, half).rfind(expected, 0), 0u) << misdeed.name << ": " << lines;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'),
                  2 * (1 + std::count(expected.begin(), expected.end(), '\n')))
            << misdeed.name;
        EXPECT_LT(seconds, 2 * (settings.stalledSeconds + 1.0)) << misdeed.name;
        expectUnchanged(misdeed.name);
    }
    // And the stand-in, behaving, is believed.
    const std::string file = scratch + "/good.png";
    std::ofstream(file) << "good";
    bool anyLoaded = false;
    EXPECT_EQ(loadBoth(file, settings, anyLoaded),
              "ImageIO::load: file loaded: " + file + " (2x2)\n" + "ImageIO::load: file loaded: " + file + " (2x2)\n");
    EXPECT_TRUE(anyLoaded);
    EXPECT_EQ(mask.data[3], 0.25f);
}

// A load on another thread, cancelled while the decoder works (before its reply, and
// after it while the decoder does not exit), ends as cancelled, not at the deadline,
// with the decoder killed and reaped and the image untouched.
TEST_F(IsolatedDecodingTest, ACancelledLoadKillsTheDecoderAndChangesNothing)
{
    DecoderSettings settings;
    settings.seconds = 60;
    settings.executable = directoryOfThisProgram() + "/hostile_decoder";
    for (const char* misdeed : {"sleep", "replyThenHang"}) {
        const std::string file = scratch + "/" + misdeed + ".png";
        std::ofstream(file) << misdeed;
        BackgroundJob job;
        bool loaded = true;
        std::string reason;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(job.start([&](JobProgress& progress) {
            DecoderSettings cancellable = settings;
            cancellable.job = &progress;
            loaded = ImageIO::load(photograph, file.c_str(), reason, cancellable);
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        job.cancelAndWait();
        const std::string lines = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(loaded) << misdeed;
        EXPECT_EQ(reason, "cancelled loading " + file) << misdeed;
        EXPECT_EQ(lines, "ImageIO::load: cancelled loading " + file + "\n") << misdeed;
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << misdeed << ": a decoder is left over";
        expectUnchanged(misdeed);
    }
}

TEST_F(IsolatedDecodingTest, NonFinitePixelsFromTheDecoderAreCountedAndZeroed)
{
    DecoderSettings settings;
    settings.executable = directoryOfThisProgram() + "/hostile_decoder";
    const std::string file = scratch + "/nan.png";
    std::ofstream(file) << "notFinite";
    testing::internal::CaptureStderr();
    ASSERT_TRUE(ImageIO::load(mask, file.c_str(), settings));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ImageIO::load: 3 pixels of " + file + " were not finite numbers; they are 0 now\n" +
                  "ImageIO::load: file loaded: " + file + " (2x2)\n");
    const std::vector<float> expected = {0.0f, 0.5f, 0.0f, 0.0f};
    EXPECT_EQ(std::vector<float>(mask.data.get(), mask.data.get() + 4), expected);
}

namespace {

std::string hostileFolder()
{
    return std::string(WEATHERING_SOURCE_DIR) + "/tests/data/hostile";
}

// The files of tests/data/hostile, without the notes and the script that made some.
std::vector<std::string> hostileFiles()
{
    std::vector<std::string> names;
    if (DIR* directory = opendir(hostileFolder().c_str())) {
        while (const dirent* entry = readdir(directory)) {
            const std::string name = entry->d_name;
            if (name[0] != '.' && name != "README.md" && name != "make_hostile.py")
                names.push_back(name);
        }
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class HostileFileTest : public IsolatedDecodingTest, public ::testing::WithParamInterface<std::string> {};

}  // namespace

TEST(HostileFiles, AreThere)
{
    EXPECT_GE(hostileFiles().size(), 6u);
}

// Every file that ever crashed, hung or exhausted the decoder is a clean failure
// within the limits (or, see below, a whole picture), loaded as it was found: as
// a mask when its name says so. The time limit is short so that the hangs end soon.
TEST_P(HostileFileTest, FailsCleanlyWithinTheLimits)
{
    const std::string& name = GetParam();
    const std::string file = hostileFolder() + "/" + name;
    DecoderSettings settings;
    settings.seconds = 1;
    settings.stalledSeconds = 4;
    settings.megabytes = 1024;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    const bool loaded = name.find("-mask.") != std::string::npos ? ImageIO::load(mask, file.c_str(), settings)
                                                                 : ImageIO::load(photograph, file.c_str(), settings);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    testing::internal::GetCapturedStdout();
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_LT(seconds, settings.stalledSeconds + 1.0);
    if (loaded) {
        // Some of the decoder's faults depend on the memory it happens to
        // read: such a file may decode in one run and crash it in the next.
        // A picture that comes through is a whole one.
        EXPECT_EQ(lines.rfind("ImageIO::load: file loaded: " + file + " (", 0), 0u) << lines;
        return;
    }
    const char* const reasons[] = {"the decoder crashed on ",
                                   "the decoder used more than its 1 s of processor time on ",
                                   "the decoder gave no answer within ",
                                   "the decoder needs more than 1024 MB for ",
                                   "cannot open file: ",
                                   "refused ",
                                   "cannot convert file: "};
    bool explained = false;
    for (const char* reason : reasons)
        explained = explained || lines.rfind(std::string("ImageIO::load: ") + reason, 0) == 0;
    EXPECT_TRUE(explained) << lines;
    expectUnchanged(name);
}

INSTANTIATE_TEST_SUITE_P(Replay, HostileFileTest, ::testing::ValuesIn(hostileFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
