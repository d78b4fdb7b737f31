#!/usr/bin/env bash
# How long q takes to end the window tool with a large photograph open, a path clicked
# and a few seconds of weathering kept for undo: from the key to the end of the process.
# Give several binaries to compare them (an older build, say).
#   bench/quit_time.sh <weathering binary>... [-- X display number, default 43] [size WxH]
# Default size 4000x3000 (12 Mpx). Run it on a quiet machine.
set -uo pipefail

binaries=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do binaries+=("$(realpath "$1")"); shift; done
[ "${1:-}" = -- ] && shift
number=${1:-43}
size=${2:-4000x3000}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/weathering-quit.XXXXXX")

source "$root/bench/bench_display.sh"
start_bench_display "$number"

source "$root/tests/gui/e2e/lib.sh" "${binaries[0]}" "$work"
trap 'cleanup; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

# Seconds from q to the end of the process, once.
quit_once() {  # quit_once <binary> <folder>
  E2E_BINARY=$1
  E2E_ROOT=$2
  start_app
  local x=$((MAIN_X + MAIN_W / 2)) t0 t1
  click_at "$x" $((MAIN_Y + MAIN_H / 8))
  click_at "$x" $((MAIN_Y + MAIN_H * 7 / 8))
  panel_click "${ENABLE_SIMULATION[@]}"
  sleep 4
  panel_click "${ENABLE_SIMULATION[@]}"
  sleep 2
  xdotool mousemove "$x" $((MAIN_Y + MAIN_H / 2))
  sleep 0.3
  t0=$(date +%s.%N)
  xdotool key q
  # The tool is this shell's child: it stays a zombie until waited for.
  while [ -d "/proc/$app_pid" ] && ! grep -q '^State:.*Z' "/proc/$app_pid/status" 2>/dev/null; do sleep 0.005; done
  t1=$(date +%s.%N)
  wait "$app_pid" || echo "exit status $? from $1" >&2
  app_pid=""
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A small photograph shows what the key's way to the tool and a process exit cost at
# all; the large one adds what its size costs.
make_photograph "$work/small" 512 512
make_photograph "$work/large" "${size%x*}" "${size#*x}"
for binary in "${binaries[@]}"; do
  small=$(for _ in 1 2 3; do quit_once "$binary" "$work/small"; done | median)
  large=$(for _ in 1 2 3; do quit_once "$binary" "$work/large"; done | median)
  echo "$binary: q to exit, median of 3: $small s at 512x512, $large s at $size (machine load $(cut -d' ' -f1 /proc/loadavg))"
done
finish
