#pragma once

#include "model/UndoHistory.h"
#include "model/WeatheringModel.h"

// The model as its undo history sees it. Everything that changes after a load is
// kept: the working colours, degrees, rates, mask and detail as pixel arrays, and the
// degree tables, their clamp, the path with the colours its clicks picked and the look
// as the rest. Left out are the photograph's own colours (never change after a load),
// `rgb`, the display form of `lab`, which a full refresh remakes after an undo or redo,
// and what the Natural look derives from photograph, mask and path, which a restore
// rebuilds.

PixelState undoablePixels(WeatheringModel& model);
Bytes undoableRest(const WeatheringModel& model);
// Puts back a rest that undoableRest wrote for a model of the same size; false, changing
// nothing, for bytes of any other shape.
bool restoreUndoableRest(WeatheringModel& model, const Bytes& rest);

// The history's steps on a model whose colours may be pending: each brings `lab` up to
// date first, and shows the history where the arrays are now (a simulation step swaps
// buffers), so that the history compares and restores the state as it is. After
// an undo or a redo the display form is stale: refresh the texture.
bool startUndoHistory(UndoHistory& history, WeatheringModel& model);
bool commitUndoStep(UndoHistory& history, WeatheringModel& model);
bool undoModelStep(UndoHistory& history, WeatheringModel& model);
bool redoModelStep(UndoHistory& history, WeatheringModel& model);

// The pixels one brush dab at (x, y) can change, as a half-open rectangle for
// UndoHistory::willChange (a margin of a pixel beyond the radius).
struct DabBounds {
    int x0, y0, x1, y1;
};
DabBounds dabBounds(float x, float y, float radius);
