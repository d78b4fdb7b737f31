#pragma once

// Stores that go past the caches, for passes that write whole arrays far larger than
// them: a plain store first reads the line it writes to, a streaming one does not. Only
// whole 64-byte lines are streamed; the floats before the first and after the last are
// plain stores, and without streaming stores in the processor all are. finishStreaming orders the streamed stores
// before what the thread does next (and before other threads see the pass as done).

void streamFloats(const float* from, int count, float* to);
void streamFill(float value, int count, float* to);
void finishStreaming();
