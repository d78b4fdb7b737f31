#include "model/TileSlots.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

std::size_t roundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

}  // namespace

TileSlots::~TileSlots()
{
    clear();
}

bool TileSlots::reserve(int count, std::size_t slotBytes)
{
    clear();
    if (count <= 0 || slotBytes == 0)
        return false;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t perSlot = roundUp(slotBytes, page);
    if (perSlot > static_cast<std::size_t>(-1) / static_cast<std::size_t>(count))
        return false;
    const std::size_t total = perSlot * static_cast<std::size_t>(count);
    void* memory = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    base = static_cast<unsigned char*>(memory);
    bytesPerSlot = perSlot;
    slotCount = count;
    return true;
}

void TileSlots::clear()
{
    if (base != nullptr)
        munmap(base, bytesPerSlot * static_cast<std::size_t>(slotCount));
    base = nullptr;
    bytesPerSlot = 0;
    slotCount = 0;
}
