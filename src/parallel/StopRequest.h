#pragma once

// A request, usually from a signal handler, that the long per-pixel passes end early.
// Passes poll it between their shares and rows and return with their work unfinished,
// so a model whose pass was stopped is fit only to be thrown away. Without a request
// nothing changes: the passes compute exactly what they would otherwise.

namespace parallel {

// Safe to call from a signal handler.
void requestStop();
bool stopRequested();
// For a new job in the same process (tests).
void clearStopRequest();

}  // namespace parallel
