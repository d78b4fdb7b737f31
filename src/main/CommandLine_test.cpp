#include "main/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandLine read(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "weathering");
    return readCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

using Action = CommandLine::Action;

TEST(CommandLine, NamesThePhotographAndTheMaskPastGlutsOptions)
{
    CommandLine command = read({});
    EXPECT_EQ(command.action, Action::run);
    EXPECT_TRUE(command.photograph.empty());

    command = read({"-display", ":3", "-geometry", "600x400", "-sync", "door.jpg", "-iconic", "mask.png"});
    EXPECT_EQ(command.action, Action::run);
    EXPECT_EQ(command.photograph, "door.jpg");
    EXPECT_EQ(command.mask, "mask.png");

    command = read({"--", "-odd name.jpg"});
    EXPECT_EQ(command.photograph, "-odd name.jpg");
    EXPECT_TRUE(command.mask.empty());
}

TEST(CommandLine, HelpAndVersionWinWhereverTheyStand)
{
    EXPECT_EQ(read({"door.jpg", "--help"}).action, Action::help);
    EXPECT_EQ(read({"--version", "door.jpg"}).action, Action::version);
    EXPECT_EQ(read({"--", "--help"}).photograph, "--help");
    EXPECT_NE(usageText().find("[PHOTO [MASK]]"), std::string::npos);
}

TEST(CommandLine, UsageErrorsAreOneLine)
{
    for (const auto& arguments :
         std::vector<std::vector<const char*>>{{"--colour"}, {"-x"}, {"a.jpg", "b.jpg", "c.jpg"}, {"-display"}}) {
        const CommandLine command = read(arguments);
        EXPECT_EQ(command.action, Action::usageError) << arguments.front();
        EXPECT_EQ(command.error.rfind("weathering: ", 0), 0u) << command.error;
        EXPECT_NE(command.error.find("(try --help)"), std::string::npos) << command.error;
    }
}

}  // namespace
