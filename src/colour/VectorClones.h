#pragma once

// Marks a function whose lane loops vectorise: on x86-64 GCC also builds AVX-512 and AVX2
// copies and picks one at load time by what the processor has. Every copy runs the same
// IEEE operations in the same order (no fused multiply-adds: -ffp-contract=off), so
// results are equal bit for bit; only the number of lanes differs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define WEATHERING_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define WEATHERING_VECTOR_CLONES
#endif
