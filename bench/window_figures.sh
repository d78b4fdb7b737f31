#!/usr/bin/env bash
# The window tool's own figures, under Xvfb with software GL, on generated photographs of
# 1, 4 and 12 megapixels: time to the first picture, steps/s of the simulation, how long
# a path click, an untick of "Enable Simulation" and a brush dab of radius 100 take to
# show, whether the brush circle keeps up with the pointer, and the processor time used
# over 10 s with nothing to do. The tool measures the latencies itself (WEATHERING_STATS=1,
# from the callback that receives the input to the end of the frame that shows it).
#   bench/window_figures.sh <weathering binary> [X display number, default 41] [sizes...]
# Sizes are WxH, default 1000x1000 2048x2048 4000x3000. Run it on a quiet machine.
set -uo pipefail

binary=$(realpath "$1")
number=${2:-41}
shift $(($# < 2 ? $# : 2))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000x1000 2048x2048 4000x3000)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/weathering-figures.XXXXXX")

source "$root/bench/bench_display.sh"
start_bench_display "$number"
export WEATHERING_STATS=1

source "$root/tests/gui/e2e/lib.sh" "$binary" "$work"
trap 'cleanup; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

stat_lines_since() {  # stat_lines_since <line number>: the per-second lines after it
  tail -n +"$1" "$scratch/err" | grep '^stats: [0-9]'
}

# A figure in milliseconds from the per-second lines, by its name.
figure() {  # figure <name>
  sed -n "s/.*$1 \([0-9.]*\) ms.*/\1/p"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }
maximum() { sort -n | tail -n 1; }
line_count() { wc -l <"$scratch/err"; }

measure() {  # measure <width>x<height>
  local w=${1%x*} h=${1#*x} dir="$work/$1" t0 first mark x y i
  make_photograph "$dir" "$w" "$h"
  E2E_ROOT=$dir
  t0=$(date +%s.%N)
  start_app
  first=$(grep -m1 'first picture' "$scratch/err" | sed 's/.*clock \([0-9.]*\)).*/\1/')
  local to_first_picture
  to_first_picture=$(awk -v a="$t0" -v b="$first" 'BEGIN { printf "%.3f", b - a }')

  # Two path points, at the light top and the dark bottom.
  x=$((MAIN_X + MAIN_W / 2))
  mark=$(line_count)
  click_at "$x" $((MAIN_Y + MAIN_H / 8))
  click_at "$x" $((MAIN_Y + MAIN_H * 7 / 8))
  # The statistics line that reports the click comes a second after it is shown, later
  # on a large photograph.
  sleep "$(awk -v p=$((w * h)) 'BEGIN { print 1.5 + p / 8e6 }')"
  local click
  click=$(stat_lines_since "$mark" | figure "click shown" | maximum)

  mark=$(line_count)
  panel_click "${ENABLE_SIMULATION[@]}"
  sleep 10
  local steps refresh frame
  steps=$(stat_lines_since "$mark" | awk '{ print $2 }' | tail -n 7 | median)
  refresh=$(stat_lines_since "$mark" | tail -n 7 | figure "last refresh" | median)
  frame=$(stat_lines_since "$mark" | tail -n 7 | figure "last frame" | median)
  mark=$(line_count)
  panel_click "${ENABLE_SIMULATION[@]}"
  sleep 1.5
  local untick
  untick=$(stat_lines_since "$mark" | figure "panel change applied" | tail -n 1)

  # Brush of radius 100: the slider to its right end, brush mode, a slow drag.
  xdotool mousemove $((PANEL_X + SLIDER_LEFT + 10)) $((PANEL_Y + BRUSH_SLIDER_Y))
  sleep 0.3
  xdotool mousedown 1
  sleep 0.3
  xdotool mousemove $((PANEL_X + SLIDER_RIGHT + 40)) $((PANEL_Y + BRUSH_SLIDER_Y))
  sleep 0.3
  xdotool mouseup 1
  sleep 0.3
  panel_click "${RADIO_BRUSH[@]}"
  mark=$(line_count)
  y=$((MAIN_Y + MAIN_H / 2))
  drag 1 $((MAIN_X + MAIN_W / 5)) "$y" $((MAIN_X + MAIN_W * 4 / 5)) "$y" 30 0.12
  sleep 1.2
  local dabs dab_median dab_max dab_work
  dabs=$(stat_lines_since "$mark" | figure "dab shown")
  dab_median=$(median <<<"$dabs")
  dab_max=$(maximum <<<"$dabs")
  dab_work=$(stat_lines_since "$mark" | figure "dab work" | median)

  # The circle follows a fast drag: when the tool drew it at the last pointer position,
  # after the last move was sent (the tool prints the wall clock of each such frame).
  local start_x end_x since keeps
  start_x=$((MAIN_X + MAIN_W / 4))
  end_x=$((MAIN_X + MAIN_W * 3 / 4))
  xdotool mousemove "$start_x" "$y" mousedown 1
  sleep 0.3
  for i in $(seq 1 60); do xdotool mousemove $((start_x + (end_x - start_x) * i / 60)) "$y"; done
  since=$(date +%s.%N)
  sleep 3
  xdotool mouseup 1
  keeps=$(grep 'brush circle at' "$scratch/err" | tail -n 1 | sed 's/.*clock \([0-9.]*\)).*/\1/' |
    awk -v a="$since" '{ printf "%.0f ms", ($1 - a) * 1000 }')

  # Nothing to do: processor time over 10 s.
  xdotool mousemove 5 5
  sleep 2
  local ticks a b idle
  ticks=$(getconf CLK_TCK)
  a=$(awk '{ print $14 + $15 }' "/proc/$app_pid/stat")
  sleep 10
  b=$(awk '{ print $14 + $15 }' "/proc/$app_pid/stat")
  idle=$(awk -v a="$a" -v b="$b" -v t="$ticks" 'BEGIN { printf "%.1f", (b - a) / t / 10 * 100 }')
  stop_app

  printf '%-10s first picture %s s | %s steps/s (refresh %s ms, frame %s ms) | click shown %s ms | untick applied %s ms | dab r100 shown %s ms (max %s; its work %s ms) | circle at pointer after %s | idle %s %% of a core\n' \
    "$1" "$to_first_picture" "$steps" "$refresh" "$frame" "${click:--}" "${untick:--}" "$dab_median" "$dab_max" "$dab_work" "$keeps" "$idle"
}

echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg), threads: ${OMP_NUM_THREADS:-all $(nproc)}"
for size in "${sizes[@]}"; do measure "$size"; done
finish
