#include "model/StreamingStores.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

bool streamable(const float* to, int count)
{
#if defined(__SSE2__)
    return reinterpret_cast<std::uintptr_t>(to) % 16 == 0 && count % 4 == 0;
#else
    (void)to;
    (void)count;
    return false;
#endif
}

}  // namespace

void streamFloats(const float* from, int count, float* to)
{
    if (!streamable(to, count)) {
        std::copy(from, from + count, to);
        return;
    }
#if defined(__SSE2__)
    for (int k = 0; k < count; k += 4)
        _mm_stream_ps(to + k, _mm_loadu_ps(from + k));
#endif
}

void streamZeros(int count, float* to)
{
    if (!streamable(to, count)) {
        std::fill(to, to + count, 0.0f);
        return;
    }
#if defined(__SSE2__)
    const __m128 zeros = _mm_setzero_ps();
    for (int k = 0; k < count; k += 4)
        _mm_stream_ps(to + k, zeros);
#endif
}

void finishStreaming()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
}
