#include "model/UndoHistory.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Fast, and on these byte planes within a few percent of the higher levels.
constexpr int compressionLevel = 1;

struct TileRect {
    int x0, y0, x1, y1;  // half-open
};

std::size_t arrayBytes(const StateArray& a, int width, int height)
{
    return static_cast<std::size_t>(width) * height * a.elementSize;
}

// Calls visit(offset, row bytes) for the tile's rows of one array.
template <typename Visit>
void forEachRow(const StateArray& a, int width, const TileRect& r, Visit visit)
{
    const std::size_t rowBytes = static_cast<std::size_t>(r.x1 - r.x0) * a.elementSize;
    for (int y = r.y0; y < r.y1; ++y)
        visit((static_cast<std::size_t>(y) * width + r.x0) * a.elementSize, rowBytes);
}

// Groups byte k of every element of an array together: the XOR of two close floats is
// zero in its sign and exponent bytes, and long runs of zeros compress to little.
void groupBytePlanes(const unsigned char* in, unsigned char* out, std::size_t pixels, int elementSize)
{
    for (int k = 0; k < elementSize; ++k)
        for (std::size_t i = 0; i < pixels; ++i)
            out[k * pixels + i] = in[i * elementSize + k];
}

void ungroupBytePlanes(const unsigned char* in, unsigned char* out, std::size_t pixels, int elementSize)
{
    for (int k = 0; k < elementSize; ++k)
        for (std::size_t i = 0; i < pixels; ++i)
            out[i * elementSize + k] = in[k * pixels + i];
}

}  // namespace

struct UndoHistory::Compressor {
    std::unique_ptr<ZSTD_CCtx, std::size_t (*)(ZSTD_CCtx*)> compress{ZSTD_createCCtx(), ZSTD_freeCCtx};
    std::unique_ptr<ZSTD_DCtx, std::size_t (*)(ZSTD_DCtx*)> decompress{ZSTD_createDCtx(), ZSTD_freeDCtx};
    Bytes buffer;

    // False when the library fails (out of memory).
    bool pack(const unsigned char* data, std::size_t n, Bytes& out)
    {
        if (!compress)
            return false;
        buffer.resize(ZSTD_compressBound(n));
        const std::size_t size =
            ZSTD_compressCCtx(compress.get(), buffer.data(), buffer.size(), data, n, compressionLevel);
        if (ZSTD_isError(size))
            return false;
        out.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
        return true;
    }

    bool unpack(const Bytes& packed, unsigned char* out, std::size_t n)
    {
        if (!decompress)
            return false;
        const std::size_t size = ZSTD_decompressDCtx(decompress.get(), out, n, packed.data(), packed.size());
        return !ZSTD_isError(size) && size == n;
    }

    bool unpack(const Bytes& packed, Bytes& out)
    {
        const unsigned long long size = ZSTD_getFrameContentSize(packed.data(), packed.size());
        if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN)
            return false;
        out.resize(static_cast<std::size_t>(size));
        return unpack(packed, out.data(), out.size());
    }
};

UndoHistory::UndoHistory(std::size_t budget) : budgetBytes(budget), compressor(std::make_unique<Compressor>()) {}

UndoHistory::~UndoHistory() = default;

int UndoHistory::tilesAcross() const
{
    return (width + tileSize - 1) / tileSize;
}

int UndoHistory::tileCount() const
{
    return tilesAcross() * ((height + tileSize - 1) / tileSize);
}

namespace {

TileRect tileRectOf(int tile, int across, int width, int height)
{
    const int x0 = (tile % across) * UndoHistory::tileSize;
    const int y0 = (tile / across) * UndoHistory::tileSize;
    return {x0, y0, std::min(width, x0 + UndoHistory::tileSize), std::min(height, y0 + UndoHistory::tileSize)};
}

}  // namespace

void UndoHistory::clear()
{
    forgetSteps();
    arrays.clear();
    copies.clear();
    restCopy.clear();
    marked.clear();
    width = height = 0;
}

bool UndoHistory::reset(const PixelState& state, Bytes rest)
{
    clear();
    if (state.width <= 0 || state.height <= 0)
        return false;
    std::vector<PixelArray<unsigned char>> newCopies;
    for (const StateArray& a : state.arrays) {
        newCopies.push_back(allocatePixelArray<unsigned char>(arrayBytes(a, state.width, state.height)));
        if (!newCopies.back())
            return false;
    }
    width = state.width;
    height = state.height;
    arrays = state.arrays;
    copies = std::move(newCopies);
    copyState();
    restCopy = std::move(rest);
    marked.assign(tileCount(), 0);
    return true;
}

bool UndoHistory::rebind(const PixelState& state)
{
    bool same = state.width == width && state.height == height && state.arrays.size() == arrays.size();
    for (std::size_t i = 0; same && i < arrays.size(); ++i)
        same = state.arrays[i].elementSize == arrays[i].elementSize;
    if (!same) {
        clear();
        return false;
    }
    arrays = state.arrays;
    return true;
}

void UndoHistory::copyState()
{
    for (std::size_t i = 0; i < arrays.size(); ++i)
        std::memcpy(copies[i].get(), arrays[i].bytes, arrayBytes(arrays[i], width, height));
}

std::size_t UndoHistory::copyBytes() const
{
    std::size_t total = 0;
    for (const StateArray& a : arrays)
        total += arrayBytes(a, width, height);
    return total;
}

void UndoHistory::forgetSteps()
{
    steps.clear();
    cursor = 0;
    held = 0;
}

void UndoHistory::willChange(int x0, int y0, int x1, int y1)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (x0 >= x1 || y0 >= y1)
        return;
    const int across = tilesAcross();
    for (int ty = y0 / tileSize; ty <= (y1 - 1) / tileSize; ++ty)
        for (int tx = x0 / tileSize; tx <= (x1 - 1) / tileSize; ++tx)
            marked[ty * across + tx] = 1;
}

void UndoHistory::willChangeAll()
{
    std::fill(marked.begin(), marked.end(), 1);
}

bool UndoHistory::tileDiffers(int tile) const
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        bool differs = false;
        forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
            differs = differs || std::memcmp(arrays[i].bytes + offset, copies[i].get() + offset, n) != 0;
        });
        if (differs)
            return true;
    }
    return false;
}

void UndoHistory::forecastTile(const StateArray& a, const ForecastRect& r, bool fromCopies, Bytes& out) const
{
    std::vector<const unsigned char*> from;
    for (std::size_t i = 0; i < arrays.size(); ++i)
        from.push_back(fromCopies ? copies[i].get() : arrays[i].bytes);
    out.resize(static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0) * a.elementSize);
    a.forecast(from.data(), width, r, out.data());
}

bool UndoHistory::packTile(int tile, TileDelta& out)
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    const ForecastRect area{r.x0, r.y0, r.x1, r.y1};
    const std::size_t pixels = static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0);
    std::size_t total = 0;
    for (const StateArray& a : arrays)
        total += pixels * a.elementSize;
    delta.resize(total);
    planes.resize(total);
    std::size_t at = 0;
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const std::size_t start = at;
        const bool foretold = arrays[i].forecast != nullptr;
        if (foretold) {
            forecastTile(arrays[i], area, false, forecastNow);
            forecastTile(arrays[i], area, true, forecastCopy);
        }
        forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
            const unsigned char* now = arrays[i].bytes + offset;
            const unsigned char* copy = copies[i].get() + offset;
            for (std::size_t k = 0; k < n; ++k)
                delta[at + k] = now[k] ^ copy[k];
            if (foretold)
                for (std::size_t k = 0; k < n; ++k)
                    delta[at + k] ^= forecastNow[at - start + k] ^ forecastCopy[at - start + k];
            at += n;
        });
        groupBytePlanes(delta.data() + start, planes.data() + start, pixels, arrays[i].elementSize);
    }
    // The copy follows the state once every forecast has read it.
    for (std::size_t i = 0; i < arrays.size(); ++i)
        forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
            std::memcpy(copies[i].get() + offset, arrays[i].bytes + offset, n);
        });
    out.tile = tile;
    return compressor->pack(planes.data(), planes.size(), out.packed);
}

void UndoHistory::applyTile(const TileDelta& tileDelta)
{
    const TileRect r = tileRectOf(tileDelta.tile, tilesAcross(), width, height);
    const ForecastRect area{r.x0, r.y0, r.x1, r.y1};
    const std::size_t pixels = static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0);
    std::size_t at = 0;
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        starts.push_back(at);
        ungroupBytePlanes(planes.data() + at, delta.data() + at, pixels, arrays[i].elementSize);
        at += pixels * arrays[i].elementSize;
    }
    // A foretold array's delta is between XORs with forecasts: the forecast from the
    // state as it is comes off, the one from the state put back goes on.
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        if (arrays[i].forecast == nullptr)
            continue;
        forecastTile(arrays[i], area, false, forecastNow);
        for (std::size_t k = 0; k < forecastNow.size(); ++k)
            delta[starts[i] + k] ^= forecastNow[k];
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < arrays.size(); ++i) {
            const bool foretold = arrays[i].forecast != nullptr;
            if (foretold != (pass == 1))
                continue;
            if (foretold) {
                forecastTile(arrays[i], area, false, forecastNow);
                for (std::size_t k = 0; k < forecastNow.size(); ++k)
                    delta[starts[i] + k] ^= forecastNow[k];
            }
            std::size_t in = starts[i];
            forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
                unsigned char* now = arrays[i].bytes + offset;
                for (std::size_t k = 0; k < n; ++k)
                    now[k] ^= delta[in + k];
                std::memcpy(copies[i].get() + offset, now, n);
                in += n;
            });
        }
    }
}

bool UndoHistory::commit(Bytes rest)
{
    if (!active())
        return false;
    Step step;
    bool packed = true;
    for (int tile = 0; tile < tileCount(); ++tile) {
        if (!marked[tile])
            continue;
        marked[tile] = 0;
        if (!tileDiffers(tile))
            continue;
        TileDelta tileDelta;
        packed = packTile(tile, tileDelta) && packed;
        step.tiles.push_back(std::move(tileDelta));
    }
    step.restChanged = rest != restCopy;
    if (step.restChanged) {
        packed = compressor->pack(restCopy.data(), restCopy.size(), step.restBefore) && packed;
        packed = compressor->pack(rest.data(), rest.size(), step.restAfter) && packed;
        restCopy = std::move(rest);
    }
    // Nothing changed: the steps that could be redone still can.
    if (packed && step.tiles.empty() && !step.restChanged)
        return false;
    dropRedoSteps();

    step.bytes = sizeof(Step) + step.restBefore.capacity() + step.restAfter.capacity();
    for (const TileDelta& tileDelta : step.tiles)
        step.bytes += sizeof(TileDelta) + tileDelta.packed.capacity();
    if (!packed || step.bytes > budgetBytes) {
        forgetSteps();
        return false;
    }
    held += step.bytes;
    steps.push_back(std::move(step));
    cursor = static_cast<int>(steps.size());
    keepWithinBudget();
    return true;
}

void UndoHistory::dropRedoSteps()
{
    while (static_cast<int>(steps.size()) > cursor) {
        held -= steps.back().bytes;
        steps.pop_back();
    }
}

void UndoHistory::keepWithinBudget()
{
    while (held > budgetBytes && !steps.empty()) {
        held -= steps.front().bytes;
        steps.pop_front();
        cursor = std::max(0, cursor - 1);
    }
}

bool UndoHistory::stateIsAsSeen(const Bytes& rest) const
{
    if (rest != restCopy)
        return false;
    for (std::size_t i = 0; i < arrays.size(); ++i)
        if (std::memcmp(arrays[i].bytes, copies[i].get(), arrayBytes(arrays[i], width, height)) != 0)
            return false;
    return true;
}

bool UndoHistory::applyStep(const Step& step, bool backwards, Bytes& rest)
{
    if (!stateIsAsSeen(rest)) {
        // Changed behind the history's back: start over from the state as it is.
        forgetSteps();
        copyState();
        restCopy = rest;
        std::fill(marked.begin(), marked.end(), 0);
        return false;
    }
    Bytes restored = rest;
    if (step.restChanged && !compressor->unpack(backwards ? step.restBefore : step.restAfter, restored)) {
        forgetSteps();
        return false;
    }
    for (const TileDelta& tileDelta : step.tiles) {
        const TileRect r = tileRectOf(tileDelta.tile, tilesAcross(), width, height);
        std::size_t total = 0;
        for (const StateArray& a : arrays)
            total += static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0) * a.elementSize;
        planes.resize(total);
        delta.resize(total);
        if (!compressor->unpack(tileDelta.packed, planes.data(), total)) {
            forgetSteps();  // only the library running out of memory gets here
            return false;
        }
        applyTile(tileDelta);
    }
    rest = std::move(restored);
    restCopy = rest;
    return true;
}

bool UndoHistory::undo(Bytes& rest)
{
    if (!active() || cursor == 0)
        return false;
    if (!applyStep(steps[cursor - 1], true, rest))
        return false;
    --cursor;
    return true;
}

bool UndoHistory::redo(Bytes& rest)
{
    if (!active() || cursor == static_cast<int>(steps.size()))
        return false;
    if (!applyStep(steps[cursor], false, rest))
        return false;
    ++cursor;
    return true;
}
