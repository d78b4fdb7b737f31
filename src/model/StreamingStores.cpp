#include "model/StreamingStores.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>

namespace {

// Lines are either streamed whole or stored plainly: a streaming store to a line that
// plain stores have brought into the cache is slow.
constexpr std::uintptr_t lineBytes = 64;
constexpr int lineFloats = static_cast<int>(lineBytes / sizeof(float));

// Floats before `to` reaches a line boundary (all of them where it never can).
int floatsBeforeLine(const float* to, int count)
{
    const std::uintptr_t misalignment = reinterpret_cast<std::uintptr_t>(to) % lineBytes;
    if (misalignment % sizeof(float) != 0)
        return count;
    const int head = misalignment == 0 ? 0 : static_cast<int>((lineBytes - misalignment) / sizeof(float));
    return std::min(head, count);
}

// The end of the whole lines from `head` on.
int endOfWholeLines(int head, int count)
{
    return head + (count - head) / lineFloats * lineFloats;
}

}  // namespace
#endif

void streamFloats(const float* from, int count, float* to)
{
#if defined(__SSE2__)
    const int head = floatsBeforeLine(to, count);
    const int body = endOfWholeLines(head, count);
    std::copy(from, from + head, to);
    for (int k = head; k < body; k += 4)
        _mm_stream_ps(to + k, _mm_loadu_ps(from + k));
    std::copy(from + body, from + count, to + body);
#else
    std::copy(from, from + count, to);
#endif
}

void streamFill(float value, int count, float* to)
{
#if defined(__SSE2__)
    const int head = floatsBeforeLine(to, count);
    const int body = endOfWholeLines(head, count);
    std::fill(to, to + head, value);
    const __m128 values = _mm_set1_ps(value);
    for (int k = head; k < body; k += 4)
        _mm_stream_ps(to + k, values);
    std::fill(to + body, to + count, value);
#else
    std::fill(to, to + count, value);
#endif
}

void finishStreaming()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}
