#include "session/MemoryBudget.h"

namespace {

// Rounded up, so that a need is never shown smaller than it is.
std::string megabytes(long long bytes)
{
    return std::to_string((bytes + (1LL << 20) - 1) >> 20) + " MB";
}

}  // namespace

long long MemoryBudget::bytesPerPixel() const
{
    return photographBytes + modelBytes + saveBytes + (texture ? textureBytes : 0) + (undoCopy ? undoCopyBytes : 0);
}

long long MemoryBudget::bytesFor(int width, int height) const
{
    return static_cast<long long>(width) * height * bytesPerPixel();
}

std::string MemoryBudget::refusal(int width, int height, long long availableBytes) const
{
    const long long needed = bytesFor(width, height);
    if (availableBytes < 0 || needed <= availableBytes) return std::string();
    const long long pixels = static_cast<long long>(width) * height;
    std::string parts = "photograph " + megabytes(pixels * photographBytes) + ", model " +
                        megabytes(pixels * modelBytes) + ", saving " + megabytes(pixels * saveBytes);
    if (texture) parts += ", texture " + megabytes(pixels * textureBytes);
    if (undoCopy) parts += ", undo copy " + megabytes(pixels * undoCopyBytes);
    return "its size " + std::to_string(width) + "x" + std::to_string(height) + " needs " +
           megabytes(needed) + " (" + parts + "), more than the " +
           std::to_string(availableBytes >> 20) + " MB of memory available";
}
