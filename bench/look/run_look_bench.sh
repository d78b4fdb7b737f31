#!/usr/bin/env bash
# The look benchmark over every material of materials.txt, with contact sheets.
#   bench/look/run_look_bench.sh <build folder> [folder for the sheets, default look-sheets]
set -euo pipefail
build=$(realpath "$1")
sheets=${2:-look-sheets}
here=$(cd "$(dirname "$0")" && pwd)
cmake --build "$build" -j2 --target look_bench weathering-decode
mkdir -p "$sheets"
"$build/bin/look_bench" "$here/materials.txt" --sheets "$sheets" 2> >(grep -v "file loaded" >&2)
