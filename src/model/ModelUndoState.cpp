#include "model/ModelUndoState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

template <typename T>
StateArray stateArray(const char* name, const PixelArray<T>& values, Forecast forecast = nullptr)
{
    return {name, reinterpret_cast<unsigned char*>(values.get()), static_cast<int>(sizeof(T)), forecast};
}

// Where each array sits in the state.
enum StateIndex { labAt, degreeAt, rateAt, maskAt, detailAt, toPaintAt };

const float* floatsOf(const unsigned char* const* arrays, int index)
{
    return reinterpret_cast<const float*>(arrays[index]);
}

// The rates a forward step gives, from the degrees of the step before it: those the
// colours are still to be painted from, else the degrees as they are (as after a
// restart, which computes the rates from them). Only neighbours inside the rect count,
// so that a rect of the state foretells itself; the rule and its order of sums are the
// model's, so that the forecast is right for every pixel away from the rect's edges
// after a run or an Init. Unmasked pixels are foretold 0.
void forecastRates(const unsigned char* const* arrays, int width, const ForecastRect& r, unsigned char* out)
{
    const float* degree = floatsOf(arrays, degreeAt);
    const float* mask = floatsOf(arrays, maskAt);
    const float* toPaint = floatsOf(arrays, toPaintAt);
    const auto source = [&](std::size_t j) { return std::isnan(toPaint[j]) ? degree[j] : toPaint[j]; };
    float* rates = reinterpret_cast<float*>(out);
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            float sum = 0.0f;
            float count = 0.0f;
            for (int nx = std::max(x - 1, r.x0); nx <= std::min(x + 1, r.x1 - 1); ++nx) {
                for (int ny = std::max(y - 1, r.y0); ny <= std::min(y + 1, r.y1 - 1); ++ny) {
                    const std::size_t j = static_cast<std::size_t>(ny) * width + nx;
                    if (mask[j] >= 1.0f) {
                        sum += source(j);
                        count += 1.0f;
                    }
                }
            }
            *rates++ = mask[i] >= 1.0f ? sum / count : 0.0f;
        }
    }
}

template <typename T>
void append(Bytes& out, const T* values, std::size_t count)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(values);
    out.insert(out.end(), bytes, bytes + count * sizeof(T));
}

// Reads from a byte string, failing once it would read past the end.
struct Reader {
    const Bytes& bytes;
    std::size_t at = 0;

    template <typename T>
    bool read(T* values, std::size_t count)
    {
        const std::size_t n = count * sizeof(T);
        if (bytes.size() - at < n)
            return false;
        if (n > 0)
            std::memcpy(values, bytes.data() + at, n);  // an empty path has no storage
        at += n;
        return true;
    }
};

// The tables as they are read back, before any of them is put in place.
struct Tables {
    DegreeBin degreeBins[fineBinCount];
    float binDistance[fineBinCount];
    float meanLightness[coarseBinCount];
};

}  // namespace

PixelState undoablePixels(WeatheringModel& model)
{
    PixelState state;
    if (!model.hasImage())
        return state;
    state.width = model.width;
    state.height = model.height;
    StateArray lab = stateArray("lab", model.lab);
    lab.base = reinterpret_cast<const unsigned char*>(model.labReference.get());  // the photograph, as loaded
    state.arrays = {lab,
                    stateArray("degree", model.degree),
                    stateArray("rate", model.rate, forecastRates),
                    stateArray("mask", model.mask),
                    stateArray("detail", model.detail),
                    stateArray("toPaint", model.degreesToPaint())};
    return state;
}

Bytes undoableRest(const WeatheringModel& model)
{
    Bytes rest;
    append(rest, model.degreeBins, std::size(model.degreeBins));
    append(rest, model.binDistance, std::size(model.binDistance));
    append(rest, model.meanLightness, std::size(model.meanLightness));
    append(rest, &model.maxDegree, 1);
    const std::uint64_t points = model.imagePoints.size();
    append(rest, &points, 1);
    append(rest, model.imagePoints.data(), model.imagePoints.size());
    append(rest, model.chromaPoints.data(), model.chromaPoints.size());
    append(rest, model.pathColours.data(), model.pathColours.size());
    const std::uint8_t look = model.look == Look::natural ? 1 : 0;
    append(rest, &look, 1);
    return rest;
}

bool restoreUndoableRest(WeatheringModel& model, const Bytes& rest)
{
    // Read into a copy first: a malformed rest leaves the model as it was.
    auto tables = std::make_unique<Tables>();
    Reader reader{rest};
    std::uint64_t points = 0;
    float maxDegree = 0.0f;
    bool ok = reader.read(tables->degreeBins, std::size(tables->degreeBins)) &&
        reader.read(tables->binDistance, std::size(tables->binDistance)) &&
        reader.read(tables->meanLightness, std::size(tables->meanLightness)) && reader.read(&maxDegree, 1) &&
        reader.read(&points, 1);
    const std::size_t pointBytes = 2 * sizeof(Point2f) + sizeof(MyAlgebra::vec3);
    const std::size_t remaining = rest.size() - reader.at;
    ok = ok && remaining >= 1 && points <= (remaining - 1) / pointBytes && remaining == points * pointBytes + 1;
    if (!ok)
        return false;
    std::vector<Point2f> imagePoints(points), chromaPoints(points);
    std::vector<MyAlgebra::vec3> pathColours(points);
    std::uint8_t look = 0;
    reader.read(imagePoints.data(), points);
    reader.read(chromaPoints.data(), points);
    reader.read(pathColours.data(), points);
    reader.read(&look, 1);
    if (look > 1)
        return false;

    std::memcpy(model.degreeBins, tables->degreeBins, sizeof(model.degreeBins));
    std::memcpy(model.binDistance, tables->binDistance, sizeof(model.binDistance));
    std::memcpy(model.meanLightness, tables->meanLightness, sizeof(model.meanLightness));
    model.maxDegree = maxDegree;
    model.imagePoints = std::move(imagePoints);
    model.chromaPoints = std::move(chromaPoints);
    model.pathColours = std::move(pathColours);
    model.look = look == 1 ? Look::natural : Look::sampled;
    // The Natural look's targets and tables follow from the photograph, mask and path.
    if (model.look == Look::natural)
        model.natural.prepare(model);
    else
        model.natural.release();
    return true;
}

bool startUndoHistory(UndoHistory& history, WeatheringModel& model)
{
    if (!model.hasImage()) {
        history.clear();
        return false;
    }
    return history.reset(undoablePixels(model), undoableRest(model));
}

namespace {

// The model as the history last saw it, where its arrays are now; false when the
// history cannot follow it.
bool readyForHistory(UndoHistory& history, WeatheringModel& model)
{
    if (!history.active())
        return false;
    return history.rebind(undoablePixels(model));  // a step swaps its degree buffers
}

bool moveModelStep(UndoHistory& history, WeatheringModel& model, bool back)
{
    if (!readyForHistory(history, model))
        return false;
    Bytes rest = undoableRest(model);
    const bool moved = (back ? history.undo(rest) : history.redo(rest)) && restoreUndoableRest(model, rest);
    if (moved)
        model.degreesToPaintRestored();
    return moved;
}

}  // namespace

void willChangeModel(UndoHistory& history, WeatheringModel& model)
{
    if (readyForHistory(history, model))
        history.willChangeAll();
}

void willChangeModel(UndoHistory& history, WeatheringModel& model, int x0, int y0, int x1, int y1)
{
    if (readyForHistory(history, model))
        history.willChange(x0, y0, x1, y1);
}

bool commitUndoStep(UndoHistory& history, WeatheringModel& model)
{
    return readyForHistory(history, model) && history.commit(undoableRest(model));
}

bool undoModelStep(UndoHistory& history, WeatheringModel& model)
{
    return moveModelStep(history, model, true);
}

bool redoModelStep(UndoHistory& history, WeatheringModel& model)
{
    return moveModelStep(history, model, false);
}

DabBounds dabBounds(float x, float y, float radius)
{
    // Beyond any photograph, and keeps the conversions to int defined.
    const float r = std::fmin(std::fabs(radius), 1e7f) + 1.0f;
    return {static_cast<int>(std::floor(x - r)), static_cast<int>(std::floor(y - r)),
            static_cast<int>(std::ceil(x + r)) + 1, static_cast<int>(std::ceil(y + r)) + 1};
}
