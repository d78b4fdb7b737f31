#pragma once

#include <cstddef>

// Room for a copy of every tile of a photograph's state, of which only the slots in
// use take memory: the address space for all of them is reserved at once, and a slot's
// pages come when it is first written. The undo history keeps in them the tiles that
// are about to change, so that a photograph nobody has changed costs no copy at all.
class TileSlots {
public:
    TileSlots() = default;
    ~TileSlots();
    TileSlots(const TileSlots&) = delete;
    TileSlots& operator=(const TileSlots&) = delete;

    // count slots of at least slotBytes each, every one empty; false (and none) when the
    // address space cannot be had.
    bool reserve(int count, std::size_t slotBytes);
    void clear();

    unsigned char* slot(int index) const { return base + static_cast<std::size_t>(index) * bytesPerSlot; }

private:
    unsigned char* base = nullptr;
    std::size_t bytesPerSlot = 0;
    int slotCount = 0;
};
