#include "model/PixelArray.h"

#include <sys/mman.h>

namespace {
constexpr std::size_t largePage = std::size_t{2} << 20;
}  // namespace

void* allocatePixelMemory(std::size_t bytes)
{
    if (bytes > static_cast<std::size_t>(-1) - largePage)
        return nullptr;
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t rounded = (bytes + largePage - 1) / largePage * largePage;
    void* memory = std::aligned_alloc(largePage, rounded == 0 ? largePage : rounded);
    // Only advice: where large pages are off, the memory is as good.
    if (memory != nullptr)
        madvise(memory, rounded, MADV_HUGEPAGE);
    return memory;
}
