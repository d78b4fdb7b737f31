#pragma once

// Stores that go past the caches, for passes that write whole arrays far larger than
// them: a plain store first reads the line it writes to, a streaming one does not. Where
// the destination is not aligned to 16 bytes, or the processor has no such stores, these
// are plain copies. finishStreaming orders the streamed stores before what follows.

void streamFloats(const float* from, int count, float* to);
void streamZeros(int count, float* to);
void finishStreaming();
