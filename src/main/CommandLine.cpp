#include "main/CommandLine.h"

#include <cstring>

namespace {

// freeglut's options: the first two take a value.
bool isGlutOptionWithValue(const std::string& argument)
{
    return argument == "-display" || argument == "-geometry";
}

bool isGlutFlag(const std::string& argument)
{
    return argument == "-direct" || argument == "-indirect" || argument == "-iconic" || argument == "-gldebug" ||
        argument == "-sync";
}

CommandLine usageError(const std::string& what)
{
    CommandLine command;
    command.action = CommandLine::Action::usageError;
    command.error = "weathering: " + what + " (try --help)";
    return command;
}

}  // namespace

CommandLine readCommandLine(int argc, const char* const* argv)
{
    CommandLine command;
    int names = 0;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--help") {
            command.action = CommandLine::Action::help;
            return command;
        } else if (!optionsEnded && argument == "--version") {
            command.action = CommandLine::Action::version;
            return command;
        } else if (!optionsEnded && isGlutOptionWithValue(argument)) {
            if (++i == argc)
                return usageError(argument + " needs a value");
        } else if (!optionsEnded && isGlutFlag(argument)) {
            continue;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            return usageError("unknown option " + argument);
        } else if (names == 0) {
            command.photograph = argument;
            ++names;
        } else if (names == 1) {
            command.mask = argument;
            ++names;
        } else {
            return usageError("too many files: " + argument);
        }
    }
    return command;
}

std::string usageText()
{
    return "Usage: weathering [GLUT options] [PHOTO [MASK]]\n"
           "Makes the surface in a photograph look older or younger.\n"
           "\n"
           "  PHOTO      the photograph to open instead of the default door\n"
           "  MASK       white where the surface may weather, black where it stays\n"
           "  --help     show this and exit\n"
           "  --version  show the version and exit\n"
           "\n"
           "GLUT options such as -display DISPLAY and -geometry WxH+X+Y come first.\n"
           "A photograph or mask that cannot be loaded ends the tool with status 2.";
}
