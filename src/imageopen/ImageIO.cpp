#include "imageopen/ImageIO.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <sstream>
#include <system_error>
#include <thread>

#include "background/JobProgress.h"
#include "decodereply/DecodeReply.h"
#include "imageopen/SampleConversion.h"
#include "platform/AvailableMemory.h"
#include "platform/InstalledImages.h"

std::vector<std::string> searchDirectories;

namespace {

static_assert(sizeof(MyAlgebra::vec3) == 3 * sizeof(float), "vec3 pixels travel as packed floats");

bool isReadableRegularFile(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

// Closes the file it holds when the load ends, whichever way.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile()
    {
        if (fd >= 0)
            close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    const int fd;
};

template <typename T>
constexpr int channelsOf()
{
    return static_cast<int>(sizeof(T) / sizeof(float));
}

// The loader's lines, all on the standard error stream, a file name always
// through printableName. Prints one and keeps it as the reason for the caller.
void fail(std::string& reason, const std::string& why)
{
    reason = why;
    std::cerr << "ImageIO::load: " << why << std::endl;
}

void refuse(const std::string& name, const std::string& why, std::string& reason)
{
    fail(reason, "refused " + name + ": " + why);
}

void cannotOpen(const std::string& name, std::string& reason)
{
    fail(reason, "cannot open file: " + name);
}

const char* failureWords(std::uint32_t failure)
{
    switch (failure) {
    case notAnImage:
        return "not an image file, or a format not supported";
    case truncatedFile:
        return "truncated file";
    case damagedFile:
        return "damaged file: its data does not follow its format";
    case unsupportedKind:
        return "a kind of its format that is not supported";
    case fileTooLarge:
        return "the file is larger than the decoder may hold";
    default:
        return nullptr;
    }
}

// The second line of a file that could not be decoded: what was wrong with it.
void sayWhatFailed(const std::string& name, std::uint32_t failure, std::string& reason)
{
    const char* words = failureWords(failure);
    fail(reason,
         name + ": " +
             (words ? std::string(words) : "the decoder gave an unknown reason (" + std::to_string(failure) + ")"));
}

std::string sizeText(long long width, long long height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

void refuseSize(const std::string& name, const DecodeReply& reply, std::string& reason)
{
    if (reply.width <= 0 || reply.height <= 0)
        refuse(name, "its size " + sizeText(reply.width, reply.height) + " is not a size a picture can have", reason);
    else
        refuse(name,
               "its size " + sizeText(reply.width, reply.height) + " is beyond the largest accepted size " +
                   sizeText(largestImageSide, largestImageSide),
               reason);
}

// Says why a decoder that did not end cleanly gave no picture, and which limit ended it.
void reportAbnormalEnd(DecoderEnd end, const DecoderProcess& decoder, const DecoderSettings& settings,
                       const std::string& name, std::string& reason)
{
    std::ostringstream why;
    why << "the decoder ";
    switch (end) {
    case DecoderEnd::crashed:
        why << "crashed on " << name << " (signal " << decoder.signal() << ")";
        break;
    case DecoderEnd::outOfTime:
        why << "used more than its " << settings.seconds << " s of processor time on " << name;
        break;
    case DecoderEnd::stalled:
        why << "gave no answer within "
            << (settings.stalledSeconds > 0 ? settings.stalledSeconds : stalledSecondsFor(settings.seconds)) << " s on "
            << name << ", and was stopped";
        break;
    case DecoderEnd::outOfMemory:
        why << "needs more than " << settings.megabytes << " MB for " << name;
        break;
    case DecoderEnd::cancelled:
        fail(reason, "cancelled loading " + name);
        return;
    default:
        why << "failed on " << name << " without a reply";
        break;
    }
    fail(reason, why.str());
}

// Whether the system can give the arrays of a picture this size, saying so when not.
bool fitsInAvailableMemory(const DecodeReply& reply, std::size_t bytesPerPixel, const std::string& name,
                           std::string& reason)
{
    const long long available = availableMemoryBytes();
    const long long bytes = static_cast<long long>(reply.width) * reply.height * static_cast<long long>(bytesPerPixel);
    if (available < 0 || bytes <= available)
        return true;
    refuse(name,
           "its " + sizeText(reply.width, reply.height) + " pixels need " + std::to_string(bytes >> 20) +
               " MB, more than the " + std::to_string(available >> 20) + " MB of memory available",
           reason);
    return false;
}

// Non-finite pixels (a broken reader can hand back stray memory) become black.
template <typename T>
void zeroNonFinitePixels(T* pixels, std::size_t count, const std::string& name)
{
    float* values = reinterpret_cast<float*>(pixels);
    std::size_t replaced = 0;
    for (std::size_t i = 0; i < count; ++i) {
        bool finite = true;
        for (int c = 0; c < channelsOf<T>(); ++c)
            finite = finite && std::isfinite(values[i * channelsOf<T>() + c]);
        if (finite)
            continue;
        for (int c = 0; c < channelsOf<T>(); ++c)
            values[i * channelsOf<T>() + c] = 0.0f;
        ++replaced;
    }
    if (replaced > 0)
        std::cerr << "ImageIO::load: " << replaced << " pixels of " << name
                  << " were not finite numbers; they are 0 now" << std::endl;
}

void convertRows(const std::uint8_t* samples, SampleLayout layout, std::size_t width, std::size_t rows,
                 MyAlgebra::vec3* topRow)
{
    rowsToRgb(samples, layout, width, rows, topRow);
}

void convertRows(const std::uint8_t* samples, SampleLayout layout, std::size_t width, std::size_t rows, float* topRow)
{
    rowsToGrey(samples, layout, width, rows, topRow);
}

// The rows of a `decoded` reply, band by band, each turned into floats as it
// arrives, into its place in `pixels` (bottom row first). False, with the reason
// given, when the bands do not add up to the picture or the decoder failed after all.
template <typename T>
bool receiveBands(DecoderProcess& decoder, const DecodeReply& reply, T* pixels, const std::string& name,
                  std::string& reason)
{
    const SampleLayout layout = {static_cast<int>(reply.channels), static_cast<int>(reply.sampleBytes)};
    const std::size_t width = static_cast<std::size_t>(reply.width);
    const std::size_t height = static_cast<std::size_t>(reply.height);
    const std::size_t rowBytes = width * reply.channels * reply.sampleBytes;
    // Read a block at a time: small enough to stay in the cache.
    const std::size_t blockRows = std::max<std::size_t>(1, (std::size_t(1) << 20) / rowBytes);
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[blockRows * rowBytes]);
    if (!block) {
        refuse(name, "cannot allocate memory for its " + sizeText(reply.width, reply.height) + " pixels", reason);
        return false;
    }
    std::size_t row = 0;
    for (;;) {
        DecodeBand band = {};
        if (!decoder.read(&band, sizeof band))
            return false;
        if (band.rows == 0 && band.failure != noFailure) {
            cannotOpen(name, reason);
            sayWhatFailed(name, band.failure, reason);
            return false;
        }
        if (band.rows == 0 && row == height)
            return true;
        if (band.rows == 0 || band.rows > height - row) {
            refuse(name, "the decoder sent a malformed reply", reason);
            return false;
        }
        for (const std::size_t end = row + band.rows; row < end;) {
            const std::size_t rows = std::min(blockRows, end - row);
            if (!decoder.read(block.get(), rows * rowBytes))
                return false;
            convertRows(block.get(), layout, width, rows, pixels + (height - 1 - row) * width);
            row += rows;
        }
        if (decoder.job() != nullptr) {
            decoder.job()->report(static_cast<float>(row) / static_cast<float>(height));
            decoder.job()->giveWay();  // the decoder waits on the full pipe meanwhile
        }
    }
}

// Asks for 2 MB pages in the part of an array that whole ones cover: a 12-Mpx
// photograph's floats are 144 MB, and one fault a 2 MB page instead of one a 4 KB
// page halved the tool's processor time for a load (loader_bench). Only advice:
// where they are off, nothing changes.
void adviseLargePages(void* array, std::size_t bytes)
{
    constexpr std::uintptr_t largePage = std::uintptr_t(2) << 20;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(array);
    const std::uintptr_t first = (start + largePage - 1) / largePage * largePage;
    const std::uintptr_t end = (start + bytes) / largePage * largePage;
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

// Makes the pages of a new pixel array present on a thread of its own while
// the rows are still being decoded, from the end (where the top rows go) down,
// so that turning a band into floats seldom waits on the kernel for a page.
// One call faults in a whole block, far cheaper than a fault a page. Stops
// and joins when destroyed, whatever it reached.
class PagesAhead {
public:
    PagesAhead(void* array, std::size_t bytes)
    {
        adviseLargePages(array, bytes);
        const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(array);
        first = (start + page - 1) / page * page;
        end = (start + bytes) / page * page;
        if (end > first)
            worker = std::thread([this] { populate(); });
    }
    ~PagesAhead()
    {
        stop = true;
        if (worker.joinable())
            worker.join();
    }
    PagesAhead(const PagesAhead&) = delete;
    PagesAhead& operator=(const PagesAhead&) = delete;

private:
    void populate()
    {
        // Only ahead of the conversion, never in the decoder's way: on a machine of few
        // cores the decoder is what the load waits for, and a page not made present
        // here is made present by the conversion's own write.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        constexpr std::uintptr_t block = 4 << 20;
        for (std::uintptr_t top = end; top > first && !stop;) {
            const std::uintptr_t bottom = top - first > block ? top - block : first;
            // A kernel without it says EINVAL: the conversion's own faults do the work then.
            if (madvise(reinterpret_cast<void*>(bottom), top - bottom, MADV_POPULATE_WRITE) != 0)
                return;
            top = bottom;
        }
    }

    std::uintptr_t first = 0;
    std::uintptr_t end = 0;
    std::atomic<bool> stop{false};
    std::thread worker;
};

// Reads the pixels of a `decoded` reply, checking first everything the
// decoder said about them. Null (with the reason printed) when they cannot be had.
template <typename T>
std::unique_ptr<T[]> receivePixels(DecoderProcess& decoder, const DecodeReply& reply, const std::string& name,
                                   const DecoderSettings& settings, std::string& reason)
{
    const SampleLayout layout = {static_cast<int>(reply.channels), static_cast<int>(reply.sampleBytes)};
    if (reply.channels > 4 || reply.sampleBytes > 4 || !convertible(layout, channelsOf<T>()) || reply.width <= 0 ||
        reply.height <= 0) {
        refuse(name, "the decoder sent a malformed reply", reason);
        return nullptr;
    }
    if (reply.width > largestImageSide || reply.height > largestImageSide) {
        refuseSize(name, reply, reason);
        return nullptr;
    }
    const std::string refusal = settings.sizeCheck ? settings.sizeCheck(reply.width, reply.height) : std::string();
    if (!refusal.empty()) {
        refuse(name, refusal, reason);
        return nullptr;
    }
    if (!fitsInAvailableMemory(reply, sizeof(T), name, reason))
        return nullptr;
    const std::size_t count = static_cast<std::size_t>(reply.width) * static_cast<std::size_t>(reply.height);
    std::unique_ptr<T[]> pixels(new (std::nothrow) T[count]);
    if (!pixels) {
        refuse(name, "cannot allocate memory for its " + sizeText(reply.width, reply.height) + " pixels", reason);
        return nullptr;
    }
    {
        const PagesAhead ahead(pixels.get(), count * sizeof(T));
        if (!receiveBands(decoder, reply, pixels.get(), name, reason))
            return nullptr;
    }
    if (reply.sampleBytes == sizeof(float))
        zeroNonFinitePixels(pixels.get(), count, name);
    return pixels;
}

// Everything after the reply's header, up to the decoder's end. True when the
// pixels were received and the decoder ended cleanly.
template <typename T>
bool receiveReply(DecoderProcess& decoder, const DecodeReply& reply, std::unique_ptr<T[]>& pixels,
                  const std::string& name, const DecoderSettings& settings, std::string& reason)
{
    if (reply.magic != decodeReplyMagic) {
        refuse(name, "the decoder sent a malformed reply", reason);
        return false;
    }
    switch (reply.outcome) {
    case decoded:
        pixels = receivePixels<T>(decoder, reply, name, settings, reason);
        return pixels != nullptr;
    case decodeFailed:
        cannotOpen(name, reason);
        sayWhatFailed(name, reply.failure, reason);
        return false;
    case conversionFailed:
        fail(reason, "cannot convert file: " + name);
        return false;
    case sizeRefused:
        refuseSize(name, reply, reason);
        return false;
    default:
        refuse(name, "the decoder sent a malformed reply", reason);
        return false;
    }
}

template <typename T>
bool loadImage(ImageRect<T>& image, const char* rawName, const DecoderSettings& settings, std::string& reason)
{
    reason.clear();
    const std::string name = printableName(rawName);
    const std::string path = findFile(rawName);
    const OpenFile file(path);
    if (path.empty() || file.fd < 0) {
        cannotOpen(name, reason);
        return false;
    }
    DecoderProcess decoder(settings);
    if (!decoder.start(file.fd, path, channelsOf<T>())) {
        fail(reason, "cannot start the decoder (weathering-decode) for " + name);
        return false;
    }
    DecodeReply reply = {};
    std::unique_ptr<T[]> pixels;
    // A size the caller refuses ends the reply unread: the decoder then meets a closed
    // pipe, and how it ended says nothing.
    bool callerRefused = false;
    DecoderSettings checked = settings;
    if (settings.sizeCheck)
        checked.sizeCheck = [&](int width, int height) {
            std::string refusal = settings.sizeCheck(width, height);
            callerRefused = !refusal.empty();
            return refusal;
        };
    const bool received =
        decoder.read(&reply, sizeof reply) && receiveReply(decoder, reply, pixels, name, checked, reason);
    const bool trailing = received && !decoder.atEndOfReply() && !decoder.replyCutShort();
    // How the decoder ended outranks what it said: a reply followed by a crash
    // may be a partial or forged one.
    const DecoderEnd end = decoder.finish();
    if (callerRefused)
        return false;
    // A reply refused part way leaves the decoder writing into a closed pipe;
    // the refusal has said why, and the broken pipe is ours.
    const bool refusedPartWay = !received && !reason.empty() && !decoder.replyCutShort();
    const bool endedByRefusal = refusedPartWay && end == DecoderEnd::crashed && decoder.signal() == SIGPIPE;
    if (end != DecoderEnd::exited && !endedByRefusal) {
        reportAbnormalEnd(end, decoder, settings, name, reason);
        return false;
    }
    if (trailing) {
        refuse(name, "the decoder sent more than its reply", reason);
        return false;
    }
    if (!received) {
        if (decoder.replyCutShort())
            refuse(name, "the decoder's reply ended early", reason);
        return false;
    }

    image.adopt(reply.width, reply.height, std::move(pixels));
    std::cerr << "ImageIO::load: file loaded: " << name << " (" << image.width << "x" << image.height << ")"
              << std::endl;
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
    if (started)
        return;
    started = true;
    searchDirectories = {"..", "../..", "../../..", "images", "../images", "../../images"};
    foldersBesideProgram() = installedImageFolders();
}

std::string printableName(const std::string& name)
{
    std::string shown;
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else if (c == '\n') {
            shown += "\\n";
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return shown;
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
            if (isReadableRegularFile(candidate))
                return candidate;
        }
    if (isReadableRegularFile(name))
        return name;
    // Last, the program's own images, so that its defaults are found wherever it
    // is started, and a file of the same name here still wins.
    if (!absolute)
        for (const std::string& folder : foldersBesideProgram()) {
            const std::string candidate = folder + "/" + name;
            if (isReadableRegularFile(candidate))
                return candidate;
        }
    std::printf("file not found: %s\n", printableName(name).c_str());
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
