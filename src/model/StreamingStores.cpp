#include "model/StreamingStores.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Floats before `to` reaches a 16-byte boundary (all of them where it never can).
int floatsBeforeAlignment(const float* to, int count)
{
    const std::uintptr_t misalignment = reinterpret_cast<std::uintptr_t>(to) % 16;
    if (misalignment % sizeof(float) != 0)
        return count;
    const int head = misalignment == 0 ? 0 : static_cast<int>((16 - misalignment) / sizeof(float));
    return std::min(head, count);
}

}  // namespace

void streamFloats(const float* from, int count, float* to)
{
#if defined(__SSE2__)
    const int head = floatsBeforeAlignment(to, count);
    std::copy(from, from + head, to);
    int k = head;
    for (; k + 4 <= count; k += 4)
        _mm_stream_ps(to + k, _mm_loadu_ps(from + k));
    std::copy(from + k, from + count, to + k);
#else
    std::copy(from, from + count, to);
#endif
}

void streamZeros(int count, float* to)
{
#if defined(__SSE2__)
    const int head = floatsBeforeAlignment(to, count);
    std::fill(to, to + head, 0.0f);
    int k = head;
    const __m128 zeros = _mm_setzero_ps();
    for (; k + 4 <= count; k += 4)
        _mm_stream_ps(to + k, zeros);
    std::fill(to + k, to + count, 0.0f);
#else
    std::fill(to, to + count, 0.0f);
#endif
}

void finishStreaming()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}
