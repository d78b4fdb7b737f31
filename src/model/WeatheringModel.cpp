#include "model/WeatheringModel.h"

#include "colour/CieLab.h"
#include "colour/Rgba8.h"
#include "model/ModelIndexing.h"
#include "model/StreamingStores.h"
#include "parallel/ParallelShares.h"

#include <algorithm>
#include <climits>
#include <iostream>

using MyAlgebra::vec3;
using namespace modelIndexing;

namespace {

// Pixels a whole-image pass works through in turn, while they are in cache.
constexpr int chunkSize = 16384;

}  // namespace

Point2f chromaPlanePosition(const vec3& lab)
{
    // Sum and product in double from the float components and constants, rounded once.
    const double x = (static_cast<double>(lab.y) + 134.0) * static_cast<double>(1.422f);
    const double y = (static_cast<double>(lab.z) + 140.0) * static_cast<double>(1.954f);
    return {static_cast<float>(x), static_cast<float>(y)};
}

bool WeatheringModel::hasImage() const
{
    return rgb != nullptr && width == heldWidth && height == heldHeight;
}

bool WeatheringModel::initFromImage(const vec3* pixels, int newWidth, int newHeight)
{
    const long long count = static_cast<long long>(newWidth) * newHeight;
    const bool sizeUsable = pixels != nullptr && newWidth > 0 && newHeight > 0 && count <= INT_MAX;
    PixelArray<vec3> newRgb, newLab, newReference;
    PixelArray<float> newDegree, newRate, newMask, newDetail, newPending, newNext;
    PixelArray<std::uint32_t> newRgba;
    if (sizeUsable) {
        const int n = static_cast<int>(count);
        newRgb = allocatePixelArray<vec3>(n);
        newLab = allocatePixelArray<vec3>(n);
        newReference = allocatePixelArray<vec3>(n);
        newDegree = allocatePixelArray<float>(n);
        newRate = allocatePixelArray<float>(n);
        newMask = allocatePixelArray<float>(n);
        newDetail = allocatePixelArray<float>(n);
        newPending = allocatePixelArray<float>(n);
        newNext = allocatePixelArray<float>(n);
        newRgba = allocatePixelArray<std::uint32_t>(n);
    }
    if (!newRgb || !newLab || !newReference || !newDegree || !newRate || !newMask || !newDetail || !newPending ||
        !newNext || !newRgba) {
        std::cerr << "weathering model: cannot hold a photograph of " << newWidth << " x " << newHeight << " pixels\n";
        return false;
    }

    rgb = std::move(newRgb);
    lab = std::move(newLab);
    labReference = std::move(newReference);
    degree = std::move(newDegree);
    rate = std::move(newRate);
    mask = std::move(newMask);
    detail = std::move(newDetail);
    pendingPaint = std::move(newPending);
    nextDegree = std::move(newNext);
    rgba = std::move(newRgba);
    width = displayWidth = heldWidth = newWidth;
    height = displayHeight = heldHeight = newHeight;

    startFromPhotograph(pixels, true, true, false);
    resetDegreeTables();
    imagePoints.clear();
    chromaPoints.clear();
    pathColours.clear();
    natural.release();
    return true;
}

// lab from the pixels, nothing pending, and unless the caller sets them itself degrees,
// rates and detail 0. A new photograph also gets rgb (the pixels themselves), its mask
// reset, its labReference and its 8-bit copy. A restart either converts its colours for
// display here, while they are still in the cache (`shows`), or leaves rgb to the refresh
// that ends it.
void WeatheringModel::startFromPhotograph(const vec3* pixels, bool newPhotograph, bool clearDegrees, bool shows)
{
    parallel::forEachShare(pixelCount(), 1, [&](int, int begin, int end) {
        for (int first = begin; first < end; first += chunkSize) {
            const int last = std::min(end, first + chunkSize);
            if (clearDegrees) {
                streamFill(0.0f, last - first, degree.get() + first);
                streamFill(0.0f, last - first, rate.get() + first);
                streamFill(0.0f, last - first, detail.get() + first);
            }
            streamFill(nothingPending, last - first, pendingPaint.get() + first);
            // Kept colours are shown from labReference, so that lab, far larger than the
            // caches, can be written past them.
            const vec3* colours = pixels != nullptr ? lab.get() : labReference.get();
            if (pixels != nullptr)
                rgbToLab(pixels + first, lab.get() + first, last - first);
            else
                streamFloats(&labReference[first].x, 3 * (last - first), &lab[first].x);
            if (shows)
                showColours(colours + first, first, last - first);
            if (newPhotograph) {
                std::copy(pixels + first, pixels + last, rgb.get() + first);
                std::fill(mask.get() + first, mask.get() + last, 1.0f);
                std::copy(lab.get() + first, lab.get() + last, labReference.get() + first);
                rgbToRgba8(rgb.get() + first, rgba.get() + first, last - first);
            }
        }
        finishStreaming();
    });
    pendingFirstRow = pendingEndRow = 0;
}

void WeatheringModel::resetDegreeTables()
{
    // Fine bins start without a sample, so that steps and dabs leave colours alone until
    // a path of positive length has filled them.
    std::fill(std::begin(degreeBins), std::end(degreeBins), DegreeBin{0.0f, emptyChroma, emptyChroma, 0.0f});
    std::fill(std::begin(binDistance), std::end(binDistance), -1.0f);
    std::fill(std::begin(meanLightness), std::end(meanLightness), 0.0f);
    maxDegree = 0.0f;
}

void WeatheringModel::applyMaskImage(const float* values, int count)
{
    if (!hasImage() || values == nullptr)
        return;
    // Pending colours belong to the pixels masked in now.
    bringColoursUpToDate();
    const int n = pixelCount();
    if (count != n)
        std::cerr << "mask has " << count << " pixels, the photograph " << n << "; using the first "
                  << std::max(0, std::min(count, n)) << "\n";
    const int written = std::min(count, n);
    for (int i = 0; i < written; ++i)
        mask[i] = values[i] > 0.5f ? 1.0f : 0.0f;
}

void WeatheringModel::addPathPoint(float x, float y)
{
    if (!hasImage())
        return;
    if (!(x >= 0.0f && x < static_cast<float>(width) && y >= 0.0f && y < static_cast<float>(height)))
        return;
    // Exact in double for whole positions; a fractional one could round past the end.
    const long long index = static_cast<long long>(static_cast<double>(width) * y + x);
    if (index >= pixelCount())
        return;
    // The Natural look picks the colour around the click, so one noisy pixel does not
    // set the path.
    const vec3 picked = look == Look::natural ? NaturalLook::pathSample(*this, static_cast<int>(x), static_cast<int>(y))
                                              : currentLab(static_cast<int>(index));
    imagePoints.push_back({x, y});
    chromaPoints.push_back(chromaPlanePosition(picked));
    pathColours.push_back(picked);
}

void WeatheringModel::removeLastPathPoint()
{
    if (!hasImage() || imagePoints.empty() || chromaPoints.empty())
        return;
    imagePoints.pop_back();
    chromaPoints.pop_back();
    if (!pathColours.empty())
        pathColours.pop_back();
}

void WeatheringModel::reinitialise(const vec3* pixels, const ModelSettings& s)
{
    if (!hasImage())
        return;
    // The degree pass of a path writes every pixel's degree, rate and detail itself.
    const bool degreesFollow = look == Look::sampled && chromaPoints.size() >= 2;
    // The Sampled look's degrees and rates leave lab as the restart set it, so it is
    // shown straight away; the Natural look's may change it.
    const bool labStays = look == Look::sampled;
    startFromPhotograph(pixels, false, !degreesFollow, labStays);
    resetDegreeTables();
    if (degreesFollow) {
        placeAllOnPath(true);
        detailAndRates(s);
    } else {
        computeDegrees();
        computeRates(s);
    }
    if (labStays)
        uploadRect({0, 0, width, height});
    else
        refreshTexture();
}

void WeatheringModel::setLook(Look chosen, const vec3* pixels, const ModelSettings& s)
{
    look = chosen;
    if (look == Look::sampled)
        natural.release();
    reinitialise(pixels, s);
}
