#pragma once

#include "model/UndoHistory.h"
#include "model/WeatheringModel.h"

// The model as its undo history sees it. Everything that changes after a load is
// kept: the working colours, degrees, rates, mask and detail as pixel arrays, the
// degrees that colours are still to be painted from, and the degree tables, their
// clamp, the path with the colours its clicks picked and the look as the rest. Left out are the photograph's own colours (never
// change after a load) and `rgb`, the display form of `lab`, which a full refresh
// remakes after an undo or redo; where `lab` is still the photograph's, the history
// needs no copy of it. What the Natural look derives from photograph, mask
// and path is left out too: a restore rebuilds it.
//
// Colours still to be painted stay so: a run or an Init changes the degrees and what is
// to be painted, not `lab`, and the rates are foretold from those degrees, so such a
// step costs about what its degrees cost. Nothing may paint the model's colours
// between two steps without the history knowing (readers use currentLabOf).

PixelState undoablePixels(WeatheringModel& model);
Bytes undoableRest(const WeatheringModel& model);
// Puts back a rest that undoableRest wrote for a model of the same size; false, changing
// nothing, for bytes of any other shape.
bool restoreUndoableRest(WeatheringModel& model, const Bytes& rest);

// The history's steps on a model whose colours may be pending: each shows the history
// where the arrays are now (a simulation step swaps buffers), so that the history
// compares and restores the state as it is. After an undo or a redo the display form
// is stale: refresh the texture.
bool startUndoHistory(UndoHistory& history, WeatheringModel& model);
// Marks the whole model, or the pixels one brush dab can change (see dabBounds), as about
// to change: the history copies them as they are now, so call it before the change.
void willChangeModel(UndoHistory& history, WeatheringModel& model);
void willChangeModel(UndoHistory& history, WeatheringModel& model, int x0, int y0, int x1, int y1);
bool commitUndoStep(UndoHistory& history, WeatheringModel& model);
bool undoModelStep(UndoHistory& history, WeatheringModel& model);
bool redoModelStep(UndoHistory& history, WeatheringModel& model);

// The pixels one brush dab at (x, y) can change, as a half-open rectangle for
// UndoHistory::willChange (a margin of a pixel beyond the radius).
struct DabBounds {
    int x0, y0, x1, y1;
};
DabBounds dabBounds(float x, float y, float radius);
