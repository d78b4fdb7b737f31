#include "batch/BatchOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ParseOutcome parse(std::vector<const char*> arguments, BatchOptions& options, std::string& text)
{
    arguments.insert(arguments.begin(), "weathering-batch");
    return parseBatchOptions(static_cast<int>(arguments.size()), arguments.data(), options, text);
}

TEST(BatchOptions, ReadsEveryOption)
{
    BatchOptions options;
    std::string text;
    ASSERT_EQ(parse({"door.jpg", "--path", "1,2 3,4", "--mask", "m.jpg", "--steps", "7", "--every", "3",
                     "--dewethering", "--frames", "out", "--degrees", "d.png"},
                    options, text),
              ParseOutcome::run)
        << text;
    EXPECT_EQ(options.photograph, "door.jpg");
    EXPECT_EQ(options.path, "1,2 3,4");
    EXPECT_EQ(options.mask, "m.jpg");
    EXPECT_EQ(options.steps, 7);
    EXPECT_EQ(options.every, 3);
    EXPECT_TRUE(options.dewethering);
    EXPECT_EQ(options.frames, "out");
    EXPECT_EQ(options.degrees, "d.png");
    EXPECT_FALSE(options.overwrite);
    EXPECT_TRUE(checkBatchOptions(options, text)) << text;
    EXPECT_FALSE(options.natural);
    EXPECT_EQ(options.back, 0);
    ASSERT_EQ(parse({"door.jpg", "--path", "1,2 3,4", "--frames", "out", "--overwrite", "--steps", "+0", "--look",
                     "natural", "--back", "12"},
                    options, text),
              ParseOutcome::run)
        << text;
    EXPECT_TRUE(options.overwrite);
    EXPECT_EQ(options.steps, 0);
    EXPECT_TRUE(options.natural);
    EXPECT_EQ(options.back, 12);
    ASSERT_EQ(parse({"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--look", "sampled"}, options, text),
              ParseOutcome::run);
    EXPECT_FALSE(options.natural);
}

TEST(BatchOptions, DefaultsAreAHundredStepsAndAFrameEveryTen)
{
    BatchOptions options;
    std::string text;
    ASSERT_EQ(parse({"door.jpg", "--path", "1,2 3,4", "--output", "o.png"}, options, text), ParseOutcome::run);
    EXPECT_EQ(options.steps, 100);
    EXPECT_EQ(options.every, 10);
    EXPECT_FALSE(options.dewethering);
}

TEST(BatchOptions, HelpAndVersionEndTheRunSuccessfully)
{
    BatchOptions options;
    std::string text;
    EXPECT_EQ(parse({"--help"}, options, text), ParseOutcome::done);
    EXPECT_NE(text.find("--path"), std::string::npos);
    EXPECT_NE(text.find("--frames"), std::string::npos);
    EXPECT_EQ(parse({"--version"}, options, text), ParseOutcome::done);
    EXPECT_EQ(text, std::string("weathering-batch ") + WEATHERING_VERSION);
}

// Every usage error is one line naming what is wrong, ending in "(try --help)".
TEST(BatchOptions, UsageErrorsSayWhatIsWrong)
{
    const struct {
        std::vector<const char*> arguments;
        const char* mentions;
    } cases[] = {
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--colour"}, "--colour"},
        {{"--path", "1,2 3,4", "--output", "o.png"}, "PHOTO"},
        {{"door.jpg", "--output", "o.png"}, "--path"},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--steps", "many"},
         "--steps must be a whole number, not \"many\""},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--steps", "-1"}, "--steps must be at least 0"},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--steps"}, "--steps needs a value"},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--steps", "99999999999"},
         "--steps must be at most 2147483647"},
        {{"door.jpg", "--path", "1,2 3,4", "--frames", "f", "--every", "0"}, "--every must be at least 1"},
        {{"door.jpg", "--path", "1,2 3,4", "--frames", "f", "--every", "-2"}, "--every must be at least 1"},
        {{"door.jpg", "--path", "1,2 3,4", "--frames", "f", "--every", "1e400"},
         "--every must be a whole number, not \"1e400\""},
        {{"door.jpg", "--path", "1,2 3,4", "--frames", "f", "--every", "2.5"},
         "--every must be a whole number, not \"2.5\""},
        {{"door.jpg", "--path", "1,2 3,4", "--frames", "f", "--every", "100000000000000000000000000000000000000000"},
         "--every must be at most 2147483647"},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--frames", "f"}, "excludes"},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--look", "Natural"},
         "--look must be sampled or natural, not \"Natural\""},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--look"}, "--look needs a value"},
        {{"door.jpg", "--path", "1,2 3,4", "--output", "o.png", "--back", "-5"}, "--back must be at least 0"},
    };
    for (const auto& c : cases) {
        BatchOptions options;
        std::string text;
        EXPECT_EQ(parse(c.arguments, options, text), ParseOutcome::usageError) << c.mentions;
        EXPECT_EQ(text.rfind("weathering-batch: ", 0), 0u) << text;
        EXPECT_NE(text.find(c.mentions), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        EXPECT_NE(text.find("(try --help)"), std::string::npos) << text;
        EXPECT_LT(text.size(), 120u) << text;
    }
}

TEST(BatchOptions, ChecksWhatCanBeToldWithoutFiles)
{
    const struct {
        BatchOptions options;
        const char* mentions;
    } cases[] = {
        {{"p.jpg", "", "1,2 3,4", 10, 1, false, "", "", ""}, "nothing to write"},
        {{"p.jpg", "", "1,2 3,4", 10, 1, false, "o.gif", "", ""}, "unknown file type"},
        {{"p.jpg", "", "1,2 3,4", 10, 1, false, "", "", "d.tif"}, "use .png"},
        {{"p.jpg", "", "1,2 x", 10, 1, false, "o.png", "", ""}, "bad point \"x\""},
        {{"p.jpg", "", "1,2", 10, 1, false, "o.png", "", ""}, "two distinct points"},
        {{"p.jpg", "", "1,2 1,2 1,2", 10, 1, false, "o.png", "", ""}, "two distinct points"},
        {{"p.jpg", "", "", 10, 1, false, "o.png", "", ""}, "two distinct points"},
    };
    for (const auto& c : cases) {
        std::string text;
        EXPECT_FALSE(checkBatchOptions(c.options, text)) << c.mentions;
        EXPECT_NE(text.find(c.mentions), std::string::npos) << text;
        EXPECT_NE(text.find("(try --help)"), std::string::npos) << text;
    }
}

// A path of n points along the top row, each distinct.
std::string pathOf(int n)
{
    std::string path;
    for (int i = 0; i < n; ++i)
        path += std::to_string(i) + ",0 ";
    return path;
}

TEST(BatchOptions, APathOfAThousandPointsIsTakenAndOneMoreRefused)
{
    BatchOptions options{"p.jpg", "", pathOf(1000), 10, 1, false, "o.png", "", ""};
    std::string text;
    EXPECT_TRUE(checkBatchOptions(options, text)) << text;
    options.path = pathOf(1001);
    EXPECT_FALSE(checkBatchOptions(options, text));
    EXPECT_NE(text.find("--path has 1001 points, more than the 1000 a path may have"), std::string::npos) << text;
}

}  // namespace
