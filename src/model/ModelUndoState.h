#pragma once

#include "model/UndoHistory.h"
#include "model/WeatheringModel.h"

// The model as its undo history sees it. Everything that changes after a load is
// kept: the working colours, degrees, rates, mask and detail as pixel arrays, and the
// degree tables, their clamp and the path as the rest. Left out are the photograph's
// own colours (never change after a load) and `rgb`, the display form of `lab`, which
// a full refresh remakes after an undo or redo.

PixelState undoablePixels(WeatheringModel& model);
Bytes undoableRest(const WeatheringModel& model);
// Puts back a rest that undoableRest wrote for a model of the same size; false, changing
// nothing, for bytes of any other shape.
bool restoreUndoableRest(WeatheringModel& model, const Bytes& rest);

// The pixels one brush dab at (x, y) can change, as a half-open rectangle for
// UndoHistory::willChange (a margin of a pixel beyond the radius).
struct DabBounds {
    int x0, y0, x1, y1;
};
DabBounds dabBounds(float x, float y, float radius);
