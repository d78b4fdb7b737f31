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

Xvfb ":$number" -screen 0 4400x1300x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$number"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

source "$root/tests/gui/e2e/lib.sh" "${binaries[0]}" "$work"
trap 'cleanup; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

w=${size%x*}
h=${size#*x}
mkdir -p "$work/images"
convert -size "${w}x${h}" gradient:'#d8b890'-'#384858' -attenuate 0.2 +noise Gaussian -quality 92 "$work/images/image1.jpg"
convert -size "${w}x${h}" xc:white -fill black -draw "rectangle 0,0 $((w / 10)),$h" "$work/images/image1_mask.jpg"

for binary in "${binaries[@]}"; do
  E2E_BINARY=$binary
  start_app
  x=$((MAIN_X + MAIN_W / 2))
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
  while [ -d "/proc/$app_pid" ] && ! grep -q '^State:.*Z' "/proc/$app_pid/status" 2>/dev/null; do sleep 0.005; done
  t1=$(date +%s.%N)
  wait "$app_pid"
  status=$?
  app_pid=""
  echo "$binary: q to exit $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }') s at ${size} (status $status), machine load $(cut -d' ' -f1 /proc/loadavg)"
done
finish
