#include "session/MemoryBudget.h"

namespace {

// Rounded up, so that a need is never shown smaller than it is.
std::string megabytesUp(long long bytes)
{
    return std::to_string((bytes + (1LL << 20) - 1) >> 20) + " MB";
}

std::string megabytesDown(long long bytes)
{
    return std::to_string(bytes >> 20) + " MB";
}

}  // namespace

long long MemoryBudget::bytesPerPixel() const
{
    return modelBytes + passingBytes + (texture ? textureBytes : 0) + (undoCopy ? undoCopyBytes : 0);
}

long long MemoryBudget::bytesFor(int width, int height) const
{
    return static_cast<long long>(width) * height * bytesPerPixel();
}

std::string MemoryBudget::refusal(int width, int height, long long availableBytes) const
{
    const long long needed = bytesFor(width, height);
    if (availableBytes < 0 || needed <= usable(availableBytes))
        return std::string();
    const long long pixels = static_cast<long long>(width) * height;
    std::string parts =
        "model " + megabytesUp(pixels * modelBytes) + ", loading and saving " + megabytesUp(pixels * passingBytes);
    if (texture)
        parts += ", texture " + megabytesUp(pixels * textureBytes);
    if (undoCopy)
        parts += ", undo copy " + megabytesUp(pixels * undoCopyBytes);
    return "its size " + std::to_string(width) + "x" + std::to_string(height) + " needs " + megabytesUp(needed) + " (" +
        parts + "), more than the " + megabytesDown(usable(availableBytes)) + " of the " +
        megabytesDown(availableBytes) + " of memory available a job may take";
}
