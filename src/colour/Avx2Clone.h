#pragma once

// Marks a function whose lane loops vectorise: on x86-64 GCC also builds an AVX2 copy and
// picks it at load time where the processor has AVX2. Both copies run the same IEEE
// operations in the same order (AVX2 brings no fused multiply-add), so results are equal
// bit for bit; only the number of lanes differs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define WEATHERING_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#else
#define WEATHERING_AVX2_CLONE
#endif
