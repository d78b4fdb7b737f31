#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "model/TileSlots.h"

// The undo and redo history of one photograph's state.
//   - the state:   a list of per-pixel arrays (PixelState), some of them foretold by the
//                  others, and the rest of it (tables, the path) as one byte string that
//                  its owner writes and reads back
//   - recording:   reset on a new photograph; willChange before pixels change; commit
//                  after each change the user can take back
//   - going back:  undo, redo, and the number of steps each way
// The history copies a tile (64 x 64 pixels) when it is marked as about to change, and
// keeps a checksum of every tile as of the last commit: a photograph that has not been
// changed costs no copy. A step holds only what changed: for every marked tile that
// differs from its copy, the XOR of before and after, byte planes grouped and compressed.
// A tile's copy stays for its next change (memory the system has already given is
// filled far faster than fresh pages) until the next reset. The same delta turns the after state into
// the before state and back, so one step serves undo and redo. Steps are kept within a
// memory budget; when a new step would exceed it, the oldest go.
//
// Undo and redo check that the state is still the one the history last saw; if
// anything changed it behind the history's back they refuse, and the history empties,
// rather than writing a wrong picture.

using Bytes = std::vector<unsigned char>;

// The part of a photograph one forecast covers: columns x0 ... x1 - 1, rows y0 ... y1 - 1.
struct ForecastRect {
    int x0, y0, x1, y1;
};

// Foretells an array of the state from its other arrays: writes, row by row, one element
// for every pixel of the rect into out, reading from arrays[k] (the state's arrays in
// their order, whole pictures of the given width) only inside the rect and never the
// foretold array itself or another foretold one.
using Forecast = void (*)(const unsigned char* const* arrays, int width, const ForecastRect& rect, unsigned char* out);

// One per-pixel array of the state: width * height elements of elementSize bytes,
// row-major with row 0 at the bottom, like every pixel array of the model. An array
// with a forecast is kept as the XOR of each element with its forecast, which costs
// next to nothing where the forecast is right.
struct StateArray {
    const char* name;
    unsigned char* bytes;
    int elementSize;
    Forecast forecast = nullptr;
    // An array of the same shape that stays as it is from a reset to the next (the
    // photograph's own colours): where this array's tile equals it, no copy is needed.
    const unsigned char* base = nullptr;
};

// The per-pixel state of one photograph. The arrays must stay where they are from a
// reset until the next reset, rebind or clear.
struct PixelState {
    int width = 0;
    int height = 0;
    std::vector<StateArray> arrays;
};

class UndoHistory {
public:
    static constexpr std::size_t defaultBudget = std::size_t(1) << 30;
    static constexpr int tileSize = 64;

    explicit UndoHistory(std::size_t budgetBytes = defaultBudget);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // A new photograph: forgets every step and starts from `state` and `rest` as they
    // are now. False (and no history) when the copy cannot be held.
    bool reset(const PixelState& state, Bytes rest);
    // The same arrays at new places (an owner that swaps buffers): false, and no
    // history, when their shape is not the one reset saw.
    bool rebind(const PixelState& state);
    // No photograph: no state, no steps.
    void clear();
    bool active() const { return !arrays.empty(); }

    // Must come before the pixels in [x0, x1) x [y0, y1) change (clipped to the
    // photograph): commit compares only the tiles marked since the last commit.
    void willChange(int x0, int y0, int x1, int y1);
    void willChangeAll();
    // Keeps everything that changed since the last commit as one step, with `rest` as
    // it is now, and drops the steps that could have been redone. Returns whether a
    // step was kept: one that changed nothing is not, and neither is one larger than
    // the whole budget (the history then empties: the older steps are out of reach).
    bool commit(Bytes rest);

    int undoSteps() const { return cursor; }
    int redoSteps() const { return static_cast<int>(steps.size()) - cursor; }

    // Turns the state back to how it was before the newest step. `rest` comes in as the
    // rest of the state now and goes out as the rest to put back. False, changing
    // nothing, when there is no step to undo; false, with the history emptied and the
    // state untouched, when the state is not what the history last saw.
    bool undo(Bytes& rest);
    // Repeats the step undone last; the same rules.
    bool redo(Bytes& rest);

    // Bytes held by the kept steps; the copy of the state is not counted.
    std::size_t bytesHeld() const { return held; }
    std::size_t budget() const { return budgetBytes; }
    // Bytes of the tiles' copies: none after a reset, as many as the per-pixel arrays
    // hold once every tile has been marked.
    std::size_t copyBytes() const;

private:
    struct TileDelta {
        int tile;
        Bytes packed;  // the XOR of before and after, byte planes grouped, compressed
    };
    struct Step {
        std::vector<TileDelta> tiles;
        bool restChanged = false;
        Bytes restBefore;  // compressed
        Bytes restAfter;
        std::size_t bytes = 0;
    };
    struct Compressor;

    std::size_t budgetBytes;
    std::deque<Step> steps;
    int cursor = 0;  // the steps before it can be undone, the others redone
    std::size_t held = 0;
    std::unique_ptr<Compressor> compressor;

    int width = 0;
    int height = 0;
    std::vector<StateArray> arrays;
    TileSlots copies;  // per marked tile: its arrays as they were when it was marked, one after another
    std::vector<std::uint64_t> checksums;  // per tile: of its arrays as of the last commit
    Bytes restCopy;
    std::vector<char> marked;  // per tile: may have changed since the last commit; its copy is taken
    // Per tile and array: how its content as of the last commit comes back, and when
    // one value repeated, that value.
    enum class Keeping : unsigned char { copy, uniform, asBase };
    static constexpr std::size_t maxUniformBytes = 16;
    std::vector<Keeping> keeping;
    Bytes uniformValues;
    std::vector<char> copied;  // per tile and array: its slot holds a copy
    Bytes before;              // the tile being committed as it was when marked
    Bytes repeatedRow;
    Bytes delta;
    Bytes planes;
    Bytes forecastNow;  // forecasts of one tile from the state, and from the copy
    Bytes forecastCopy;

    int tilesAcross() const;
    int tileCount() const;
    std::size_t tileBytes(int tile) const;
    void copyTile(int tile);
    void repeatValue(const unsigned char* element, int elementSize, int rowWidth);
    void noteKeeping(int tile);
    void takeBefore(int tile);
    std::uint64_t checksumOf(int tile) const;
    void checksumAll();
    bool tileDiffers(int tile) const;
    void forecastTile(const StateArray& a, int tile, bool fromCopy, Bytes& out) const;
    bool packTile(int tile, TileDelta& out);
    void applyTile(const TileDelta& tileDelta);
    bool stateIsAsSeen(const Bytes& rest) const;
    bool applyStep(const Step& step, bool backwards, Bytes& rest);
    void forgetSteps();
    void dropRedoSteps();
    void keepWithinBudget();
};
