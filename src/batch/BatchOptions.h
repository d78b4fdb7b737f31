#pragma once

#include <string>

// What weathering-batch is asked to do, from its command line.
struct BatchOptions {
    std::string photograph;
    std::string mask;  // empty: no mask, every pixel takes part
    std::string path;  // "X1,Y1 X2,Y2 ...", y counted from the top
    int steps = 100;
    int every = 10;  // steps between two frames
    bool dewethering = false;
    std::string output;      // the final image
    std::string frames;      // folder for frame_00000.png, ...
    std::string degrees;     // the final degree map, a 16-bit PNG
    bool overwrite = false;  // clear the frames an earlier run left in `frames`
    bool natural = false;    // --look natural: the Natural look, else Sampled
    int back = 0;            // steps the other way after the forward ones
};

enum class ParseOutcome {
    run,         // options complete: go on
    done,        // --help or --version: print `text`, exit 0
    usageError,  // print `text`, exit 2
};

// Reads the command line. `text` is the help, the version, or one line saying
// what is wrong ("weathering-batch: ... (try --help)").
ParseOutcome parseBatchOptions(int argc, const char* const* argv, BatchOptions& options, std::string& text);

// The checks that need no file: something to write, known extensions, a path of
// at least two distinct well-formed points. False with the usage line in `text`.
bool checkBatchOptions(const BatchOptions& options, std::string& text);

// "weathering-batch: <what> (try --help)"
std::string usageLine(const std::string& what);
