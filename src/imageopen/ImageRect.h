#pragma once

#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

// A width x height picture stored row-major, row 0 at the bottom: pixel (x, y)
// is data[y * width + x]. Row 0 first is also OpenGL's texture row order, so an
// image goes to a texture without reordering.
template <typename T>
class ImageRect {
public:
    int width = 0;
    int height = 0;
    std::unique_ptr<T[]> data;

    ImageRect() = default;
    ImageRect(const ImageRect&) = delete;
    ImageRect& operator=(const ImageRect&) = delete;

    // Whether a picture of this size can be held: both sides positive, and the
    // pixel count small enough to index with an int and to count in bytes.
    static bool sizeIsUsable(int w, int h)
    {
        if (w <= 0 || h <= 0)
            return false;
        const long long count = static_cast<long long>(w) * h;
        return count <= INT_MAX && static_cast<unsigned long long>(count) <= SIZE_MAX / sizeof(T);
    }

    // Replaces the pixels with a copy of width x height values from source.
    // The new array is allocated before the old one is released, so an unusable
    // size or a failed allocation returns false and leaves the image whole.
    bool assign(int newWidth, int newHeight, const T* source)
    {
        if (!sizeIsUsable(newWidth, newHeight))
            return false;
        const std::size_t count = static_cast<std::size_t>(newWidth) * newHeight;
        std::unique_ptr<T[]> pixels(new (std::nothrow) T[count]);
        if (!pixels)
            return false;
        std::memcpy(pixels.get(), source, count * sizeof(T));
        data = std::move(pixels);
        height = newHeight;
        width = newWidth;
        return true;
    }

    // Takes over a width x height array the caller has filled.
    void adopt(int newWidth, int newHeight, std::unique_ptr<T[]> pixels)
    {
        data = std::move(pixels);
        height = newHeight;
        width = newWidth;
    }

    int pixelCount() const { return width * height; }
    bool empty() const { return data == nullptr; }
};
