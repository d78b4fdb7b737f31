#include "imageopen/ImageIO.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <sstream>
#include <system_error>

#include "decodereply/DecodeReply.h"
#include "platform/AvailableMemory.h"
#include "platform/InstalledImages.h"

std::vector<std::string> searchDirectories;

namespace {

static_assert(sizeof(MyAlgebra::vec3) == 3 * sizeof(float), "vec3 pixels travel as packed floats");

// The decoder's own reason for a failed read, in the decoder error form; the
// code comes from the decoder process, so an unknown one is said as a number.
#define REPORT_DEVIL_ERROR(code) reportDevilError(code, __FILE__, __LINE__)

void reportDevilError(std::uint32_t code, const char* file, int line)
{
    if (code == IL_NO_ERROR) return;
    const bool known = (code >= IL_INVALID_ENUM && code <= IL_FILE_READ_ERROR) ||
                       (code >= IL_LIB_GIF_ERROR && code <= IL_LIB_MNG_ERROR) || code == IL_UNKNOWN_ERROR;
    const char* text = known ? iluErrorString(code) : nullptr;
    std::cerr << "DevIL Error: ";
    if (text)
        std::cerr << text;
    else
        std::cerr << "error code " << code;
    std::cerr << " (File: " << file << ", line " << line << ")" << std::endl;
}

bool isReadableRegularFile(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// Closes the file it holds when the load ends, whichever way.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile()
    {
        if (fd >= 0) close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    const int fd;
};

template <typename T>
constexpr std::uint32_t channelsOf()
{
    return sizeof(T) / sizeof(float);
}

// Prints the loader's reason for a failed load and keeps it for the caller.
void fail(std::string& reason, const std::string& why)
{
    reason = why;
    std::cerr << "ImageIO::load: " << why << std::endl;
}

void refuse(const char* name, const std::string& why, std::string& reason)
{
    fail(reason, std::string("refused ") + name + ": " + why);
}

void cannotOpen(const char* name, std::string& reason)
{
    fail(reason, std::string("cannot open file: ") + name);
}

std::string sizeText(long long width, long long height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// Says why a decoder that did not end cleanly gave no picture.
void reportAbnormalEnd(DecoderEnd end, const DecoderProcess& decoder, const DecoderSettings& settings, const char* name,
                       std::string& reason)
{
    std::ostringstream why;
    why << "the decoder ";
    switch (end) {
    case DecoderEnd::crashed:
        why << "crashed on " << name << " (signal " << decoder.signal() << ")";
        break;
    case DecoderEnd::timedOut:
        why << "took longer than " << settings.seconds << " s on " << name;
        break;
    case DecoderEnd::outOfMemory:
        why << "needs more than " << settings.megabytes << " MB for " << name;
        break;
    default:
        why << "failed on " << name << " without a reply";
        break;
    }
    fail(reason, why.str());
}

// Whether the system can give the arrays of a picture this size, saying so when not.
bool fitsInAvailableMemory(const DecodeReply& reply, std::size_t bytesPerPixel, const char* name, std::string& reason)
{
    const long long available = availableMemoryBytes();
    const long long bytes = static_cast<long long>(reply.width) * reply.height * static_cast<long long>(bytesPerPixel);
    if (available < 0 || bytes <= available) return true;
    refuse(name, "its " + sizeText(reply.width, reply.height) + " pixels need " + std::to_string(bytes >> 20) +
                     " MB, more than the " + std::to_string(available >> 20) + " MB of memory available",
           reason);
    return false;
}

// Non-finite pixels (a broken reader can hand back stray memory) become black.
template <typename T>
void zeroNonFinitePixels(T* pixels, std::size_t count, const char* name)
{
    float* values = reinterpret_cast<float*>(pixels);
    std::size_t replaced = 0;
    for (std::size_t i = 0; i < count; ++i) {
        bool finite = true;
        for (std::uint32_t c = 0; c < channelsOf<T>(); ++c) finite = finite && std::isfinite(values[i * channelsOf<T>() + c]);
        if (finite) continue;
        for (std::uint32_t c = 0; c < channelsOf<T>(); ++c) values[i * channelsOf<T>() + c] = 0.0f;
        ++replaced;
    }
    if (replaced > 0)
        std::cerr << "ImageIO::load: " << replaced << " pixels of " << name << " were not finite numbers; they are 0 now"
                  << std::endl;
}

// Reads the pixels of a `decoded` reply, checking first everything the
// decoder said about them. Null (with the reason printed) when they cannot be had.
template <typename T>
std::unique_ptr<T[]> receivePixels(DecoderProcess& decoder, const DecodeReply& reply, const char* name,
                                   std::string& reason)
{
    if (reply.channels != channelsOf<T>() || reply.width <= 0 || reply.height <= 0) {
        refuse(name, "the decoder sent a malformed reply", reason);
        return nullptr;
    }
    if (reply.width > largestImageSide || reply.height > largestImageSide) {
        refuse(name, "its size " + sizeText(reply.width, reply.height) + " is beyond the largest accepted size " +
                         sizeText(largestImageSide, largestImageSide),
               reason);
        return nullptr;
    }
    if (!fitsInAvailableMemory(reply, sizeof(T), name, reason)) return nullptr;
    const std::size_t count = static_cast<std::size_t>(reply.width) * static_cast<std::size_t>(reply.height);
    std::unique_ptr<T[]> pixels(new (std::nothrow) T[count]);
    if (!pixels) {
        refuse(name, "cannot allocate memory for its " + sizeText(reply.width, reply.height) + " pixels", reason);
        return nullptr;
    }
    if (!decoder.read(pixels.get(), count * sizeof(T))) return nullptr;
    return pixels;
}

// Everything after the reply's header, up to the decoder's end. True when the
// pixels were received and the decoder ended cleanly.
template <typename T>
bool receiveReply(DecoderProcess& decoder, const DecodeReply& reply, std::unique_ptr<T[]>& pixels, const char* name,
                  std::string& reason)
{
    if (reply.magic != decodeReplyMagic) {
        refuse(name, "the decoder sent a malformed reply", reason);
        return false;
    }
    switch (reply.outcome) {
    case decoded:
        pixels = receivePixels<T>(decoder, reply, name, reason);
        return pixels != nullptr;
    case decodeFailed:
        cannotOpen(name, reason);
        REPORT_DEVIL_ERROR(reply.devilError);
        return false;
    case conversionFailed:
        fail(reason, std::string("cannot convert file: ") + name);
        return false;
    case sizeRefused:
        refuse(name, "its size " + sizeText(reply.width, reply.height) + " is beyond the largest accepted size " +
                         sizeText(largestImageSide, largestImageSide),
               reason);
        return false;
    default:
        refuse(name, "the decoder sent a malformed reply", reason);
        return false;
    }
}

template <typename T>
bool loadImage(ImageRect<T>& image, const char* name, const DecoderSettings& settings, std::string& reason)
{
    reason.clear();
    const std::string path = findFile(name);
    const OpenFile file(path);
    if (path.empty() || file.fd < 0) {
        cannotOpen(name, reason);
        return false;
    }
    DecoderProcess decoder(settings);
    if (!decoder.start(file.fd, path, static_cast<int>(channelsOf<T>()))) {
        fail(reason, std::string("cannot start the decoder (weathering-decode) for ") + name);
        return false;
    }
    DecodeReply reply = {};
    std::unique_ptr<T[]> pixels;
    const bool received = decoder.read(&reply, sizeof reply) && receiveReply(decoder, reply, pixels, name, reason);
    // How the decoder ended outranks what it said: a reply followed by a crash
    // may be a partial or forged one.
    const DecoderEnd end = decoder.finish();
    if (end != DecoderEnd::exited) {
        reportAbnormalEnd(end, decoder, settings, name, reason);
        return false;
    }
    if (!received) {
        if (decoder.replyCutShort()) refuse(name, "the decoder's reply ended early", reason);
        return false;
    }

    const std::size_t count = static_cast<std::size_t>(reply.width) * static_cast<std::size_t>(reply.height);
    zeroNonFinitePixels(pixels.get(), count, name);
    image.adopt(reply.width, reply.height, std::move(pixels));
    std::cerr << "ImageIO::load" << ": file loaded: " << name << " (" << image.width << "x" << image.height << ")"
              << std::endl;
    REPORT_DEVIL_ERROR(reply.devilError);  // read, but not without complaint
    return true;
}

}  // namespace

namespace {

// The installed share folder or, for a program run from its build folder, the
// source tree: tried after everything else.
std::vector<std::string>& foldersBesideProgram()
{
    static std::vector<std::string> folders;
    return folders;
}

}  // namespace

void initImageDecoder()
{
    static bool started = false;
    if (started) return;
    started = true;
    ilInit();
    iluInit();
    searchDirectories = {"..", "../..", "../../..", "images", "../images", "../../images"};
    foldersBesideProgram() = installedImageFolders();
}

std::string fromHere(const std::string& name)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name : absolute.string();
}

std::string findFile(const std::string& name)
{
    // The search directories are for the tool's own relative names; a path
    // chosen in the dialog names exactly one file.
    const bool absolute = !name.empty() && name[0] == '/';
    if (!absolute)
        for (const std::string& directory : searchDirectories) {
            const std::string candidate = directory + "/" + name;
            if (isReadableRegularFile(candidate)) return candidate;
        }
    if (isReadableRegularFile(name)) return name;
    // Last, the program's own images, so that its defaults are found wherever it
    // is started, and a file of the same name here still wins.
    if (!absolute)
        for (const std::string& folder : foldersBesideProgram()) {
            const std::string candidate = folder + "/" + name;
            if (isReadableRegularFile(candidate)) return candidate;
        }
    std::printf("file not found: %s\n", name.c_str());
    std::fflush(stdout);
    return std::string();
}

namespace ImageIO {

bool load(ImageRect<MyAlgebra::vec3>& image, const char* name, const DecoderSettings& settings)
{
    std::string reason;
    return loadImage(image, name, settings, reason);
}

bool load(ImageRect<float>& image, const char* name, const DecoderSettings& settings)
{
    std::string reason;
    return loadImage(image, name, settings, reason);
}

bool load(ImageRect<MyAlgebra::vec3>& image, const char* name, std::string& reason, const DecoderSettings& settings)
{
    return loadImage(image, name, settings, reason);
}

bool load(ImageRect<float>& image, const char* name, std::string& reason, const DecoderSettings& settings)
{
    return loadImage(image, name, settings, reason);
}

}  // namespace ImageIO
