#include "batch/ProgressLine.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(ProgressLine, ShowsBarPercentRateAndTimeLeft)
{
    EXPECT_EQ(progressText(50, 100, 10.0), "[###############---------------]  50%  5.0 steps/s  0:10 left");
    EXPECT_EQ(progressText(0, 100, 0.0), "[------------------------------]   0%  0.0 steps/s  --:-- left");
    EXPECT_EQ(progressText(100, 100, 4.0), "[##############################] 100%  25.0 steps/s  0:00 left");
    EXPECT_EQ(progressText(1, 1000, 1.0), "[------------------------------]   0%  1.0 steps/s  16:39 left");
    EXPECT_EQ(progressText(0, 0, 0.0), "[##############################] 100%  0.0 steps/s  --:-- left");
}

TEST(ProgressLine, PrintsNothingWhenDisabled)
{
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    ProgressLine line(10, sink, false);
    for (int step = 0; step <= 10; ++step)
        line.update(step);
    line.finish();
    EXPECT_EQ(std::ftell(sink), 0);
    std::fclose(sink);
}

TEST(ProgressLine, RedrawsAtMostTenTimesASecondButAlwaysTheLastStep)
{
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    ProgressLine line(1000, sink, true);
    for (int step = 0; step <= 1000; ++step)
        line.update(step);
    line.finish();
    std::rewind(sink);
    int lines = 0;
    bool sawEnd = false;
    char buffer[256];
    std::string all;
    while (std::fgets(buffer, sizeof buffer, sink))
        all += buffer;
    for (std::size_t at = all.find('\r'); at != std::string::npos; at = all.find('\r', at + 1))
        ++lines;
    sawEnd = all.find("100%") != std::string::npos;
    EXPECT_LE(lines, 4) << "a thousand quick steps are drawn a few times, not a thousand";
    EXPECT_TRUE(sawEnd);
    EXPECT_EQ(all.find('\n'), std::string::npos);
    std::fclose(sink);
}

}  // namespace
