// weathering-decode: decodes one image file in a process of its own, so that a
// file that crashes, hangs or takes over a decoding library harms only this
// process. The tool starts it for every load:
//   weathering-decode <channels: 1 or 3> <memory limit in MB> <cpu seconds> <file name>
// with the open file on standard input; the reply (DecodeReply.h) goes to
// standard output. The file is read whole before any of it is parsed, and the
// process is confined (DecoderSandbox.h) in between.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "decoder/DecoderSandbox.h"
#include "decoder/DevilDecoder.h"
#include "decoder/PictureDecoder.h"
#include "decodereply/DecodeReply.h"

namespace {

constexpr int inputFd = 0;
constexpr int replyFd = 1;

bool writeAll(const void* data, std::size_t bytes)
{
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = write(replyFd, next, bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

// Reads the whole of standard input, at most `largest` bytes; false when it
// is larger or cannot be read.
bool readWholeInput(std::size_t largest, SampleBuffer& bytes)
{
    struct stat info;
    if (fstat(inputFd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        if (static_cast<unsigned long long>(info.st_size) > largest)
            return false;
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    if (lseek(inputFd, 0, SEEK_SET) < 0 && errno != ESPIPE)
        return false;
    std::uint8_t block[65536];
    for (;;) {
        const ssize_t got = read(inputFd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (bytes.size() + static_cast<std::size_t>(got) > largest)
            return false;
        bytes.insert(bytes.end(), block, block + got);
    }
}

int reply(DecodeStatus status, const DecodedPicture& picture)
{
    const DecodeReply header = {decodeReplyMagic,
                                status.outcome,
                                picture.width,
                                picture.height,
                                static_cast<std::uint32_t>(picture.channels),
                                static_cast<std::uint32_t>(picture.sampleBytes),
                                status.failure};
    return writeAll(&header, sizeof header) ? 0 : 1;
}

bool sendBand(std::uint32_t rows, DecodeFailure failure = noFailure)
{
    const DecodeBand band = {rows, failure};
    return writeAll(&band, sizeof band);
}

// The header, then the rows top first as one band, then the end.
int replyWithPixels(const DecodedPicture& picture)
{
    if (reply(DecodeStatus(), picture) != 0 || !sendBand(static_cast<std::uint32_t>(picture.height)))
        return 1;
    if (picture.bottomRowFirst) {
        for (int y = picture.height - 1; y >= 0; --y)
            if (!writeAll(picture.samples.data() + picture.rowBytes() * static_cast<std::size_t>(y),
                          picture.rowBytes()))
                return 1;
    } else if (!writeAll(picture.samples.data(), picture.samples.size())) {
        return 1;
    }
    return sendBand(0) ? 0 : 1;
}

// Rows straight from the decoding library to the reply, a band at a time.
class ReplyStream : public RowStream {
public:
    bool begin(int width, int height, int channels, int sampleBytes) override
    {
        shape.width = width;
        shape.height = height;
        shape.channels = channels;
        shape.sampleBytes = sampleBytes;
        started = true;
        writable = reply(DecodeStatus(), shape) == 0;
        return writable;
    }
    bool send(const std::uint8_t* rows, int count) override
    {
        writable = writable && sendBand(static_cast<std::uint32_t>(count)) &&
            writeAll(rows, shape.rowBytes() * static_cast<std::size_t>(count));
        return writable;
    }
    // The end of a streamed reply: whole, or what failed after the rows began.
    int finish(DecodeStatus status) const
    {
        if (!writable)
            return 1;
        return sendBand(0, status.outcome == decoded ? noFailure : status.failure) ? 0 : 1;
    }
    bool started = false;

private:
    DecodedPicture shape;
    bool writable = false;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: weathering-decode <1|3> <megabytes> <cpu seconds> <file name>\n");
        return 2;
    }
    const int channels = std::atoi(argv[1]);
    const long megabytes = std::atol(argv[2]);
    if ((channels != 1 && channels != 3) || megabytes <= 0 || !limitResources(megabytes, std::atol(argv[3])))
        return 2;
    SampleBuffer file;
    // The file shares the memory limit with its pixels; half of it is plenty.
    if (!readWholeInput(static_cast<std::size_t>(megabytes) * 1024 * 1024 / 2, file)) {
        confineToDecoding(replyFd);
        return reply(DecodeStatus::failed(fileTooLarge), DecodedPicture());
    }
    initDevil();
    hideFileSystem();
    if (!confineToDecoding(replyFd))
        return 1;

    DecodedPicture picture;
    ReplyStream stream;
    const DecodeStatus status = decodePicture({file.data(), file.size()}, argv[4], channels, picture, &stream);
    if (stream.started)
        return stream.finish(status);
    if (status.outcome != decoded)
        return reply(status, picture);
    return replyWithPixels(picture);
}
