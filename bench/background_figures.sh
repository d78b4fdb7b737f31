#!/usr/bin/env bash
# How quickly a path click, a panel change (ticking "Dewethering") and a brush dab show
# while a 12-megapixel load or save runs in the background, against the same inputs with
# nothing in the background: the tool measures each itself (WEATHERING_STATS=1, from the
# callback that receives the input to the end of the frame that shows it), as in
# window_figures.sh. Under Xvfb with software GL, on a generated 4000 x 3000 photograph.
#   bench/background_figures.sh <weathering binary> [X display number, default 43]
# Run it on a quiet machine; the ratios say more than the milliseconds.
set -uo pipefail

binary=$(realpath "$1")
number=${2:-43}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/weathering-background.XXXXXX")

source "$root/bench/bench_display.sh"
start_bench_display "$number"
export WEATHERING_STATS=1

source "$root/tests/gui/e2e/lib.sh" "$binary" "$work"
trap 'cleanup; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

mkdir -p "$work/images" "$work/saved"
convert -size 4000x3000 gradient:'#d8b890'-'#384858' -attenuate 0.2 +noise Gaussian -quality 92 "$work/images/image1.jpg"
convert -size 4000x3000 xc:white "$work/images/image1_mask.jpg"
cp "$work/images/image1.jpg" "$work/second.jpg"

line_count() { wc -l <"$scratch/err"; }
# The last value of a figure in the per-second lines after a line number.
figure_since() {  # figure_since <line number> <name>
  tail -n +"$1" "$scratch/err" | grep '^stats: [0-9]' | sed -n "s/.*$2 \([0-9.]*\) ms.*/\1/p" | tail -n 1
}

# One click, one short brush stroke and one panel change, close together so that they
# fall within the work; sets CLICK PANEL DAB from the per-second lines that follow, and
# RUNNING to whether the work had not finished when the click was made (the optional
# command, run then, succeeds once the work is over).
inputs() {
  local mark y
  RUNNING=-
  mark=$(line_count)
  # The click first: it is the input that needs the processor most, and the one most
  # likely to fall within a save of a second or two.
  click_at $((MAIN_X + MAIN_W / 2)) $((MAIN_Y + MAIN_H / 8))
  if [ $# -gt 0 ]; then
    if "$@"; then RUNNING=no; else RUNNING=yes; fi
  fi
  panel_click "${RADIO_BRUSH[@]}"
  y=$((MAIN_Y + MAIN_H / 2))
  drag 1 $((MAIN_X + MAIN_W / 3)) "$y" $((MAIN_X + MAIN_W / 2)) "$y" 4 0.03
  panel_click "${RADIO_POINTS[@]}"
  panel_click "${DEWETHERING[@]}"
  sleep 1.2
  DAB=$(figure_since "$mark" "dab shown")
  PANEL=$(figure_since "$mark" "panel change applied")
  CLICK=$(figure_since "$mark" "click shown")
  panel_click "${DEWETHERING[@]}"
  sleep 1.2
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "-"; else printf "%.1f", a / b }'; }

report() {  # report <label> <still under way after the inputs: yes/no>
  printf '%-28s click shown %6s ms (x%s) | panel change %6s ms (x%s) | dab shown %6s ms (x%s) | work still running at the click: %s\n' \
    "$1" "${CLICK:--}" "$(ratio "$CLICK" "$BASE_CLICK")" "${PANEL:--}" "$(ratio "$PANEL" "$BASE_PANEL")" \
    "${DAB:--}" "$(ratio "$DAB" "$BASE_DAB")" "$2"
}

dialog_path() {  # dialog_path <title> <path>: answers an open dialog with a path
  wait_until 30 bash -c "xdotool search --name '^$1\$' >/dev/null" || return 1
  xdotool windowfocus --sync "$(xdotool search --name "^$1\$" | head -n 1)" 2>/dev/null || true
  sleep 1
  xdotool key ctrl+l
  sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 10 "$2"
  sleep 0.3
  xdotool key Return
  wait_until 30 bash -c "! xdotool search --name '^$1\$' >/dev/null"
}

echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg)"
E2E_START_DIR=$work start_app

inputs
BASE_CLICK=$CLICK BASE_PANEL=$PANEL BASE_DAB=$DAB
report "nothing in the background" "-"

key_in_main ctrl+s
dialog_path "Save Image" "$work/saved/big.tif"
inputs grep -q "^Saved " "$scratch/out"
report "12-Mpx TIFF save under way" "$RUNNING"
wait_for_line "$scratch/out" "^Saved " 120

panel_click "${LOAD_IMAGE[@]}"
dialog_path "$DIALOG" "$work/second.jpg"
loaded() { tail -n +"$mark" "$scratch/err" | grep -q "file loaded: $work/second.jpg"; }
mark=$(line_count)
inputs loaded
report "12-Mpx JPEG load under way" "$RUNNING"
stop_app
finish
