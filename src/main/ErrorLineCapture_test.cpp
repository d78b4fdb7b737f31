#include "main/ErrorLineCapture.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

TEST(ErrorLineCapture, PassesEverythingOnAndKeepsTheLastLineUntilItEnds)
{
    std::ostringstream console;
    std::streambuf* original = std::cerr.rdbuf(console.rdbuf());
    {
        ErrorLineCapture capture;
        EXPECT_EQ(capture.lastLine(), "");
        std::cerr << "first line" << std::endl;
        std::cerr << "refused x.png: " << 3 << " reasons\n\n";
        std::cerr << "unfinished";
        EXPECT_EQ(capture.lastLine(), "refused x.png: 3 reasons");
        EXPECT_EQ(capture.lastLine("first "), "line");
        EXPECT_EQ(capture.lastLine("refused"), " x.png: 3 reasons");
        EXPECT_EQ(capture.lastLine("none"), "");
    }
    std::cerr << " after\n";
    std::cerr.rdbuf(original);
    EXPECT_EQ(console.str(), "first line\nrefused x.png: 3 reasons\n\nunfinished after\n");
}
