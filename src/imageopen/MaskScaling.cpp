#include "imageopen/MaskScaling.h"

#include <new>
#include <vector>

namespace {

// Source index of each target index along one side: the source pixel whose
// centre is nearest to the target pixel's centre, in exact integer arithmetic.
std::vector<int> nearestIndices(int targetLength, int sourceLength)
{
    std::vector<int> indices(static_cast<std::size_t>(targetLength));
    for (int i = 0; i < targetLength; ++i)
        indices[static_cast<std::size_t>(i)] =
            static_cast<int>((2LL * i + 1) * sourceLength / (2LL * targetLength));
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
    if (!pixels) return false;
    const std::vector<int> columns = nearestIndices(width, mask.width);
    const std::vector<int> rows = nearestIndices(height, mask.height);
    float* out = pixels.get();
    for (int y = 0; y < height; ++y) {
        const float* sourceRow = mask.data.get() + static_cast<std::size_t>(rows[static_cast<std::size_t>(y)]) * mask.width;
        for (int x = 0; x < width; ++x) *out++ = sourceRow[columns[static_cast<std::size_t>(x)]];
    }
    scaled.adopt(width, height, std::move(pixels));
    return true;
}
