// libFuzzer target over the isolated loader: every input is written to a file
// and loaded through ImageIO::load, as the tool would load it. The decoder
// process may crash, hang or run out of memory (that is what the isolation is
// for); the loader around it must only ever answer true or false.
//
// The first byte picks the file's extension (the decoder's first guess at the
// type) and whether it is loaded as a photograph or as a mask; the rest is the
// file. With WEATHERING_FUZZ_FINDINGS set to a folder, every input on which the
// decoder crashed, hung or ran out of memory is kept there.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

#include "decodereply/DecodeReply.h"
#include "imageopen/ImageIO.h"

namespace {

const char* const extensions[] = {"png", "jpg", "bmp", "tga", "tif", "ico", "psd", "gif",
                                  "xpm", "pbm", "dds", "pcx", "sgi", "ppm", "hdr", "bin"};
constexpr unsigned extensionCount = sizeof extensions / sizeof extensions[0];
constexpr unsigned maskBit = 0x80;

// Short limits: the fuzzer needs many runs a second, and an input that takes
// the decoder 1 s is as interesting as one that takes it 20.
const DecoderSettings fuzzSettings = {1, 1024, ""};

std::string scratch;

void keepFinding(const std::uint8_t* data, std::size_t size, const std::string& lines)
{
    const char* folder = std::getenv("WEATHERING_FUZZ_FINDINGS");
    if (!folder)
        return;
    const char* kind = lines.find("crashed") != std::string::npos ? "crash"
        : lines.find("processor time") != std::string::npos       ? "hang"
        : lines.find("no answer") != std::string::npos            ? "hang"
        : lines.find("needs more") != std::string::npos           ? "memory"
                                                                  : nullptr;
    if (!kind)
        return;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = std::string(folder) + "/" + kind + "-" + std::to_string(std::hash<std::string>()(bytes));
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    initImageDecoder();
    char pattern[] = "/tmp/weathering-fuzz-XXXXXX";
    if (!mkdtemp(pattern))
        std::abort();
    scratch = pattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string path = scratch + "/input." + extensions[data[0] % extensionCount];
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    std::ostringstream lines;
    std::streambuf* console = std::cerr.rdbuf(lines.rdbuf());
    bool loaded = false;
    if (data[0] & maskBit) {
        ImageRect<float> mask;
        loaded = ImageIO::load(mask, path.c_str(), fuzzSettings);
        if (loaded && (mask.empty() || mask.width > largestImageSide || mask.height > largestImageSide))
            std::abort();
    } else {
        ImageRect<MyAlgebra::vec3> photograph;
        loaded = ImageIO::load(photograph, path.c_str(), fuzzSettings);
        if (loaded &&
            (photograph.empty() || photograph.width > largestImageSide || photograph.height > largestImageSide))
            std::abort();
    }
    std::cerr.rdbuf(console);
    if (!loaded)
        keepFinding(data, size, lines.str());
    std::remove(path.c_str());
    return 0;
}
