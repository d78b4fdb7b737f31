#include "model/WeatheringModel.h"

#include "colour/CieLab.h"
#include "colour/Rgba8.h"
#include "colour/VectorClones.h"
#include "model/ModelIndexing.h"
#include "model/StreamingStores.h"
#include "parallel/ParallelShares.h"

#include <algorithm>
#include <cmath>

using MyAlgebra::vec3;
using namespace modelIndexing;

namespace {

// The colours pending for a run of pixels, as a step or dab would have painted them
// (the paintedColour rule): in one loop that vectorises, gathering from the tables.
// The same run length as the header's paintRunLength, which currentLabOf hands over.
constexpr int paintRunSize = 256;

struct PaintRun {
    float lightness[paintRunSize];
    float a[paintRunSize];
    float b[paintRunSize];
    std::uint32_t painted[paintRunSize];  // 1: the pixel's colour is painted
};

WEATHERING_VECTOR_CLONES void paintedColours(const float* __restrict pending, const float* __restrict masks,
                                             const float* __restrict details, const float* __restrict bins,
                                             const float* __restrict means, int count, PaintRun& run)
{
    for (int k = 0; k < count; ++k) {
        bool inside;
        const float d = pending[k];
        const int fine = fineIndexOrZero(d, inside);
        const int coarse = static_cast<int>(inside ? d * 150.0f : 0.0f);
        const float a = bins[binStride * fine + aInBin];
        run.painted[k] = isMasked(masks[k]) & inside & (a > emptyChroma) ? 1u : 0u;
        run.lightness[k] = means[coarse] * details[k];
        run.a[k] = a;
        run.b[k] = bins[binStride * fine + bInBin];
    }
}

}  // namespace

bool WeatheringModel::hasSample(float d) const
{
    return hasSampleIn(binFloats(degreeBins), d);
}

// The colour a step or dab paints pixel i with at degree d, which has a sample.
vec3 WeatheringModel::paintedColour(float d, int i) const
{
    const DegreeBin& bin = degreeBins[fineIndex(d)];
    return {meanLightness[coarseIndex(d)] * detail[i], bin.a, bin.b};
}

vec3 WeatheringModel::currentLab(int i) const
{
    const float pending = pendingPaint[i];
    return isMasked(mask[i]) && hasSample(pending) ? paintedColour(pending, i) : lab[i];
}

// The colours of pixels start ... start + count - 1 (at most paintRunSize) as they are
// now: painted where a colour is pending, from lab elsewhere.
void WeatheringModel::currentColours(int start, int count, vec3* colours) const
{
    PaintRun run;
    paintedColours(pendingPaint.get() + start, mask.get() + start, detail.get() + start, binFloats(degreeBins),
                   meanLightness, count, run);
    // Without a branch: masks and bins mix painted and unpainted pixels at random.
    const vec3* kept = lab.get() + start;
    for (int k = 0; k < count; ++k) {
        const bool painted = run.painted[k] != 0;
        colours[k] = {painted ? run.lightness[k] : kept[k].x, painted ? run.a[k] : kept[k].y,
                      painted ? run.b[k] : kept[k].z};
    }
}

void WeatheringModel::paintPendingIn(int first, int last)
{
    for (int start = first; start < last; start += paintRunSize) {
        const int count = std::min(paintRunSize, last - start);
        currentColours(start, count, lab.get() + start);
        std::fill(pendingPaint.get() + start, pendingPaint.get() + start + count, nothingPending);
    }
}

void WeatheringModel::paintPendingInRect(const PixelRect& rect)
{
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        paintPendingIn(y * width + rect.x, y * width + rect.x + rect.width);
}

void WeatheringModel::markPendingRows(int first, int end)
{
    if (pendingFirstRow == pendingEndRow) {
        pendingFirstRow = first;
        pendingEndRow = end;
        return;
    }
    pendingFirstRow = std::min(pendingFirstRow, first);
    pendingEndRow = std::max(pendingEndRow, end);
}

void WeatheringModel::bringColoursUpToDate()
{
    if (!hasImage() || pendingFirstRow == pendingEndRow)
        return;
    const int first = pendingFirstRow * width;
    parallel::forEachShare(pendingEndRow - pendingFirstRow, width, [&](int, int begin, int end) {
        paintPendingIn(first + begin * width, first + end * width);
    });
    pendingFirstRow = pendingEndRow = 0;
}

void WeatheringModel::uploadRect(const PixelRect& changed)
{
    if (uploader)
        uploader(rgba.get(), width, height, changed);
}

// The colours of pixels first ... first + count - 1 into rgb and its 8-bit copy, in runs
// converted on the stack and then streamed out: nothing reads rgb back soon. The caller
// calls finishStreaming after its last.
void WeatheringModel::showColours(const vec3* colours, int first, int count)
{
    vec3 converted[paintRunSize];
    for (int done = 0; done < count; done += paintRunSize) {
        const int run = std::min(paintRunSize, count - done);
        labToRgb(colours + done, converted, run);
        rgbToRgba8(converted, rgba.get() + first + done, run);
        streamFloats(&converted[0].x, 3 * run, &rgb[first + done].x);
    }
}

void WeatheringModel::refreshTexture()
{
    if (!hasImage())
        return;
    // Converts the colours as they are now without painting them into lab: the pending
    // ones stay pending, so that a refresh writes only rgb and its 8-bit copy.
    const int pendingFirst = pendingFirstRow * width;
    const int pendingEnd = pendingEndRow * width;
    parallel::forEachShare(pixelCount(), 1, [&](int, int begin, int end) {
        vec3 current[paintRunSize];
        for (int first = begin; first < end; first += paintRunSize) {
            const int count = std::min(paintRunSize, end - first);
            const vec3* colours = lab.get() + first;
            if (first < pendingEnd && first + count > pendingFirst) {
                currentColours(first, count, current);
                colours = current;
            }
            showColours(colours, first, count);
        }
        finishStreaming();
    });
    uploadRect({0, 0, width, height});
}

void WeatheringModel::refreshTextureInBrush(float x, float y, const ModelSettings& s)
{
    if (!hasImage())
        return;
    // The pixels labToRgbInDisc may convert: the disc's square for a whole centre; for
    // a fractional one (the index then rounds across rows) the rows its indices reach.
    const float r = s.brushSize;
    const double reach = std::floor(static_cast<double>(r));
    PixelRect rect{0, 0, 0, 0};
    if (!(r >= 0.0f && r <= 1.0e9f && std::fabs(x) <= 1.0e9f && std::fabs(y) <= 1.0e9f)) {
        // labToRgbInDisc converts nothing then.
    } else if (std::floor(x) == x && std::floor(y) == y) {
        const double x0 = std::max(0.0, x - reach), x1 = std::min(static_cast<double>(width), x + reach + 1.0);
        const double y0 = std::max(0.0, y - reach), y1 = std::min(static_cast<double>(height), y + reach + 1.0);
        rect = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::max(0.0, x1 - x0)),
                static_cast<int>(std::max(0.0, y1 - y0))};
    } else {
        const double y0 = std::max(0.0, std::floor(y - reach) - 2.0);
        const double y1 = std::min(static_cast<double>(height), std::ceil(y + reach) + 3.0);
        rect = {0, static_cast<int>(y0), width, static_cast<int>(std::max(0.0, y1 - y0))};
    }
    paintPendingInRect(rect);
    labToRgbInDisc(lab.get(), rgb.get(), width, height, r, mask.get(), x, y);
    for (int row = rect.y; row < rect.y + rect.height; ++row) {
        const int start = row * width + rect.x;
        rgbToRgba8(rgb.get() + start, rgba.get() + start, rect.width);
    }
    uploadRect(rect);
}
