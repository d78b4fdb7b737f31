#include "imageopen/MaskScaling.h"

#include <iostream>
#include <new>
#include <vector>

namespace {

// Source index of each target index along one side: the source pixel whose
// centre is nearest to the target pixel's centre, in exact integer arithmetic.
std::vector<int> nearestIndices(int targetLength, int sourceLength)
{
    std::vector<int> indices(static_cast<std::size_t>(targetLength));
    for (int i = 0; i < targetLength; ++i)
        indices[static_cast<std::size_t>(i)] = static_cast<int>((2LL * i + 1) * sourceLength / (2LL * targetLength));
    return indices;
}

}  // namespace

bool scaleMaskToSize(const ImageRect<float>& mask, int width, int height, ImageRect<float>& scaled)
{
    if (mask.empty() || !ImageRect<float>::sizeIsUsable(mask.width, mask.height) ||
        !ImageRect<float>::sizeIsUsable(width, height))
        return false;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<float[]> pixels(new (std::nothrow) float[count]);
    if (!pixels)
        return false;
    const std::vector<int> columns = nearestIndices(width, mask.width);
    const std::vector<int> rows = nearestIndices(height, mask.height);
    float* out = pixels.get();
    for (int y = 0; y < height; ++y) {
        const float* sourceRow =
            mask.data.get() + static_cast<std::size_t>(rows[static_cast<std::size_t>(y)]) * mask.width;
        for (int x = 0; x < width; ++x)
            *out++ = sourceRow[columns[static_cast<std::size_t>(x)]];
    }
    scaled.adopt(width, height, std::move(pixels));
    return true;
}

bool fitMaskToPhotograph(ImageRect<float>& mask, int width, int height)
{
    if (mask.width == width && mask.height == height)
        return true;
    ImageRect<float> scaled;
    if (!scaleMaskToSize(mask, width, height, scaled)) {
        std::cerr << "mask refused: cannot scale it to the photograph's size" << std::endl;
        return false;
    }
    std::cerr << "mask " << mask.width << "x" << mask.height << " scaled to the photograph's " << width << "x" << height
              << std::endl;
    mask.adopt(scaled.width, scaled.height, std::move(scaled.data));
    return true;
}
