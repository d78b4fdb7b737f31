#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

// The per-pixel arrays of a photograph, in memory the kernel may back with 2 MB pages: a
// photograph's arrays take hundreds of megabytes, and touching a fresh 4 KB page for the
// first time is slow (in a virtual machine some 3 ms a megabyte, against 0.1 with 2 MB
// pages). For element types without constructors (float, vec3, integers).

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

template <typename T>
using PixelArray = std::unique_ptr<T[], FreeDeleter>;

// bytes of memory, uninitialised; null when they cannot be had.
void* allocatePixelMemory(std::size_t bytes);

// count elements, uninitialised; null when the memory cannot be had.
template <typename T>
PixelArray<T> allocatePixelArray(std::size_t count)
{
    if (count > static_cast<std::size_t>(-1) / sizeof(T))
        return nullptr;
    return PixelArray<T>(static_cast<T*>(allocatePixelMemory(count * sizeof(T))));
}
