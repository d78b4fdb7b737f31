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

// A checksum of bytes, four words at a time in four lanes: every lane's step is a
// bijection of its value, so a change to a single word always changes the sum.
class Checksum {
public:
    void add(const unsigned char* bytes, std::size_t n)
    {
        std::size_t k = 0;
        for (; k + 32 <= n; k += 32)
            for (int l = 0; l < 4; ++l)
                lane[l] = mix(lane[l], wordAt(bytes + k + 8 * l));
        for (; k + 8 <= n; k += 8)
            lane[0] = mix(lane[0], wordAt(bytes + k));
        for (; k < n; ++k)
            lane[1] = mix(lane[1], bytes[k]);
    }
    std::uint64_t value() const { return mix(mix(mix(lane[0], lane[1]), lane[2]), lane[3]); }

private:
    std::uint64_t lane[4] = {1, 2, 3, 4};

    static std::uint64_t wordAt(const unsigned char* p)
    {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    }
    static std::uint64_t mix(std::uint64_t h, std::uint64_t w)
    {
        h = (h ^ w) * 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 29);
    }
};

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
    checksums.clear();
    restCopy.clear();
    marked.clear();
    keeping.clear();
    uniformValues.clear();
    copied.clear();
    width = height = 0;
}

bool UndoHistory::reset(const PixelState& state, Bytes rest)
{
    clear();
    if (state.width <= 0 || state.height <= 0 || state.arrays.empty())
        return false;
    width = state.width;
    height = state.height;
    arrays = state.arrays;
    std::size_t fullTileBytes = 0;
    for (const StateArray& a : arrays)
        fullTileBytes += static_cast<std::size_t>(tileSize) * tileSize * a.elementSize;
    if (!copies.reserve(tileCount(), fullTileBytes)) {
        clear();
        return false;
    }
    const std::size_t entries = static_cast<std::size_t>(tileCount()) * arrays.size();
    checksums.resize(tileCount());
    keeping.resize(entries);
    uniformValues.resize(entries * maxUniformBytes);
    copied.assign(entries, 0);
    checksumAll();
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

std::size_t UndoHistory::tileBytes(int tile) const
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    std::size_t total = 0;
    for (const StateArray& a : arrays)
        total += static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0) * a.elementSize;
    return total;
}

// The tile's arrays into its slot, each as a picture of the tile's own width; an array
// whose tile is one value repeated, or its base, needs no copy.
void UndoHistory::copyTile(int tile)
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    unsigned char* to = copies.slot(tile);
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const std::size_t entry = static_cast<std::size_t>(tile) * arrays.size() + i;
        const bool needed = keeping[entry] == Keeping::copy;
        copied[entry] = needed;
        forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
            if (needed)
                std::memcpy(to, arrays[i].bytes + offset, n);
            to += n;
        });
    }
}

// One element repeated along a row of the given width, into repeatedRow.
void UndoHistory::repeatValue(const unsigned char* element, int elementSize, int rowWidth)
{
    repeatedRow.resize(static_cast<std::size_t>(rowWidth) * elementSize);
    for (int x = 0; x < rowWidth; ++x)
        std::memcpy(&repeatedRow[static_cast<std::size_t>(x) * elementSize], element, elementSize);
}

// How each array of the tile can be had back as it is now: one value repeated, equal
// to its base, or only from a copy.
void UndoHistory::noteKeeping(int tile)
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const StateArray& a = arrays[i];
        const std::size_t entry = static_cast<std::size_t>(tile) * arrays.size() + i;
        const unsigned char* first = a.bytes + (static_cast<std::size_t>(r.y0) * width + r.x0) * a.elementSize;
        bool uniform = static_cast<std::size_t>(a.elementSize) <= maxUniformBytes;
        if (uniform) {
            repeatValue(first, a.elementSize, r.x1 - r.x0);
            forEachRow(a, width, r, [&](std::size_t offset, std::size_t n) {
                uniform = uniform && std::memcmp(a.bytes + offset, repeatedRow.data(), n) == 0;
            });
        }
        bool asBase = !uniform && a.base != nullptr;
        if (asBase)
            forEachRow(a, width, r, [&](std::size_t offset, std::size_t n) {
                asBase = asBase && std::memcmp(a.bytes + offset, a.base + offset, n) == 0;
            });
        keeping[entry] = uniform ? Keeping::uniform : asBase ? Keeping::asBase : Keeping::copy;
        if (uniform)
            std::memcpy(&uniformValues[entry * maxUniformBytes], first, a.elementSize);
    }
}

// The tile as it was when it was marked, into `before`, in the order of its copy.
void UndoHistory::takeBefore(int tile)
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    before.resize(tileBytes(tile));
    const unsigned char* copy = copies.slot(tile);
    std::size_t at = 0;
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const StateArray& a = arrays[i];
        const std::size_t entry = static_cast<std::size_t>(tile) * arrays.size() + i;
        if (keeping[entry] == Keeping::uniform)
            repeatValue(&uniformValues[entry * maxUniformBytes], a.elementSize, r.x1 - r.x0);
        forEachRow(a, width, r, [&](std::size_t offset, std::size_t n) {
            const unsigned char* from = keeping[entry] == Keeping::copy ? copy + at
                : keeping[entry] == Keeping::asBase                     ? a.base + offset
                                                                        : repeatedRow.data();
            std::memcpy(&before[at], from, n);
            at += n;
        });
    }
}

std::uint64_t UndoHistory::checksumOf(int tile) const
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    Checksum sum;
    for (const StateArray& a : arrays)
        forEachRow(a, width, r, [&](std::size_t offset, std::size_t n) { sum.add(a.bytes + offset, n); });
    return sum.value();
}

void UndoHistory::checksumAll()
{
    for (int tile = 0; tile < tileCount(); ++tile) {
        checksums[tile] = checksumOf(tile);
        noteKeeping(tile);
    }
}

std::size_t UndoHistory::copyBytes() const
{
    std::size_t total = 0;
    for (int tile = 0; tile < tileCount(); ++tile) {
        const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
        for (std::size_t i = 0; i < arrays.size(); ++i)
            if (copied[static_cast<std::size_t>(tile) * arrays.size() + i])
                total += static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0) * arrays[i].elementSize;
    }
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
        for (int tx = x0 / tileSize; tx <= (x1 - 1) / tileSize; ++tx) {
            const int tile = ty * across + tx;
            if (!marked[tile])
                copyTile(tile);
            marked[tile] = 1;
        }
}

void UndoHistory::willChangeAll()
{
    willChange(0, 0, width, height);
}

bool UndoHistory::tileDiffers(int tile) const
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    const unsigned char* copy = before.data();
    bool differs = false;
    for (const StateArray& a : arrays)
        forEachRow(a, width, r, [&](std::size_t offset, std::size_t n) {
            differs = differs || std::memcmp(a.bytes + offset, copy, n) != 0;
            copy += n;
        });
    return differs;
}

void UndoHistory::forecastTile(const StateArray& a, int tile, bool fromCopy, Bytes& out) const
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    const int tileWidth = r.x1 - r.x0;
    const std::size_t pixels = static_cast<std::size_t>(tileWidth) * (r.y1 - r.y0);
    std::vector<const unsigned char*> from;
    // The copy holds each array of the tile as a picture of the tile's width.
    const unsigned char* copy = before.data();
    for (const StateArray& b : arrays) {
        from.push_back(fromCopy ? copy : b.bytes);
        copy += pixels * b.elementSize;
    }
    out.resize(pixels * a.elementSize);
    if (fromCopy)
        a.forecast(from.data(), tileWidth, ForecastRect{0, 0, tileWidth, r.y1 - r.y0}, out.data());
    else
        a.forecast(from.data(), width, ForecastRect{r.x0, r.y0, r.x1, r.y1}, out.data());
}

bool UndoHistory::packTile(int tile, TileDelta& out)
{
    const TileRect r = tileRectOf(tile, tilesAcross(), width, height);
    const std::size_t pixels = static_cast<std::size_t>(r.x1 - r.x0) * (r.y1 - r.y0);
    const std::size_t total = tileBytes(tile);
    delta.resize(total);
    planes.resize(total);
    // The copy lies in the same order as the delta: array after array, row after row.
    const unsigned char* copy = before.data();
    std::size_t at = 0;
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        const std::size_t start = at;
        const bool foretold = arrays[i].forecast != nullptr;
        if (foretold) {
            forecastTile(arrays[i], tile, false, forecastNow);
            forecastTile(arrays[i], tile, true, forecastCopy);
        }
        forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
            const unsigned char* now = arrays[i].bytes + offset;
            for (std::size_t k = 0; k < n; ++k)
                delta[at + k] = now[k] ^ copy[at + k];
            if (foretold)
                for (std::size_t k = 0; k < n; ++k)
                    delta[at + k] ^= forecastNow[at - start + k] ^ forecastCopy[at - start + k];
            at += n;
        });
        groupBytePlanes(delta.data() + start, planes.data() + start, pixels, arrays[i].elementSize);
    }
    checksums[tile] = checksumOf(tile);
    noteKeeping(tile);
    out.tile = tile;
    return compressor->pack(planes.data(), planes.size(), out.packed);
}

void UndoHistory::applyTile(const TileDelta& tileDelta)
{
    const TileRect r = tileRectOf(tileDelta.tile, tilesAcross(), width, height);
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
        forecastTile(arrays[i], tileDelta.tile, false, forecastNow);
        for (std::size_t k = 0; k < forecastNow.size(); ++k)
            delta[starts[i] + k] ^= forecastNow[k];
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < arrays.size(); ++i) {
            const bool foretold = arrays[i].forecast != nullptr;
            if (foretold != (pass == 1))
                continue;
            if (foretold) {
                forecastTile(arrays[i], tileDelta.tile, false, forecastNow);
                for (std::size_t k = 0; k < forecastNow.size(); ++k)
                    delta[starts[i] + k] ^= forecastNow[k];
            }
            std::size_t in = starts[i];
            forEachRow(arrays[i], width, r, [&](std::size_t offset, std::size_t n) {
                unsigned char* now = arrays[i].bytes + offset;
                for (std::size_t k = 0; k < n; ++k)
                    now[k] ^= delta[in + k];
                in += n;
            });
        }
    }
    checksums[tileDelta.tile] = checksumOf(tileDelta.tile);
    noteKeeping(tileDelta.tile);
    // A tile marked before the undo or redo compares with what it is now.
    if (marked[tileDelta.tile])
        copyTile(tileDelta.tile);
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
        takeBefore(tile);
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
    for (int tile = 0; tile < tileCount(); ++tile)
        if (checksumOf(tile) != checksums[tile])
            return false;
    return true;
}

bool UndoHistory::applyStep(const Step& step, bool backwards, Bytes& rest)
{
    if (!stateIsAsSeen(rest)) {
        // Changed behind the history's back: start over from the state as it is.
        forgetSteps();
        checksumAll();
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
