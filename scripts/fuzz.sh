#!/usr/bin/env bash
# Fuzzes the isolated image loader (libFuzzer, clang, ASan + UBSan) for a while:
#   scripts/fuzz.sh [seconds]   (default 600)
# Builds into build-fuzz/, keeps the corpus in build-fuzz/corpus between runs.
# Fails when the loader itself crashes, hangs or leaks (libFuzzer's artifacts
# go to build-fuzz/artifacts/). Inputs on which the decoder process crashed,
# hung or ran out of memory are contained, so they are no failure; they are
# kept in build-fuzz/findings/, and new ones belong in tests/data/hostile/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

scripts/setup.sh --packages-only
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DWEATHERING_SANITIZE=ON -DWEATHERING_FUZZ=ON -DWEATHERING_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target loader_fuzzer weathering-decode

mkdir -p build-fuzz/corpus build-fuzz/findings build-fuzz/artifacts
rm -rf build-fuzz/seeds
bash tests/fuzz/make_seeds.sh . build-fuzz/seeds

# The decoder's own limit (1 s in the target) is well inside libFuzzer's.
WEATHERING_FUZZ_FINDINGS=build-fuzz/findings build-fuzz/bin/loader_fuzzer \
  -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/artifacts/ build-fuzz/corpus build-fuzz/seeds 2>&1 |
  grep -v '^#[0-9]*.*\(NEW\|REDUCE\|pulse\)' | tail -n 25

echo "decoder findings contained: $(ls build-fuzz/findings | wc -l)" \
  "(tests/fuzz/keep_findings.sh keeps those of a new kind in tests/data/hostile)"
