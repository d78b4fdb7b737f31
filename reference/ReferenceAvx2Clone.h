#pragma once

// Frozen copy, for the tests only: the model and colour code as they were before their
// passes were rewritten for speed. The model must keep giving exactly these results.
// Do not change it.

// Marks a function whose lane loops vectorise: on x86-64 GCC also builds an AVX2 copy and
// picks it at load time where the processor has AVX2. Both copies run the same IEEE
// operations in the same order (AVX2 brings no fused multiply-add), so results are equal
// bit for bit; only the number of lanes differs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define REFERENCE_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#else
#define REFERENCE_AVX2_CLONE
#endif
