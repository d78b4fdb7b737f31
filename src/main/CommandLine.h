#pragma once

#include <string>

// `weathering [PHOTO [MASK]]`, read before GLUT starts (so that --help works
// without a display). GLUT's own options are passed over; glutInit takes them.
struct CommandLine {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    std::string photograph;  // empty: the default photograph and mask
    std::string mask;
    std::string error;  // for usageError: one line saying what is wrong
};

CommandLine readCommandLine(int argc, const char* const* argv);

// The text --help prints.
std::string usageText();
