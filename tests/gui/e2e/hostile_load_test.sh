#!/usr/bin/env bash
# Hostile files through "Load Image": one that crashes the decoder, one that
# declares a huge size in 25 bytes and one the tool refuses. Each prints its reason, and the tool goes
# on with the photograph and path it had, pixel for pixel. Then "Load Mask"
# with a mask of another size: scaled to the photograph, with one line.
#   hostile_load_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

# Copies in the scratch folder: the dialog completes typed paths from a folder's
# listing, and the hostile folder is long.
hostile="$scratch/hostile"
mkdir -p "$hostile"
cp "$E2E_ROOT"/tests/data/hostile/jpeg-16385x8-one-too-wide.jpg "$hostile"
cp "$E2E_ROOT"/tests/data/hostile/fuzz-hang-11875108611984855419.pbm "$hostile/huge-header.pbm"
cp "$(ls "$E2E_ROOT"/tests/data/hostile/fuzz-crash-*.ppm | head -n 1)" "$hostile/crasher.ppm"
crasher="$hostile/crasher.ppm"
convert -size 100x100 xc:white -fill black -draw "rectangle 0,0 49,99" "$scratch/mask_100.png"

# Loads a file through the dialog and waits for the line that says how it went.
load_expecting() {  # load_expecting <file> <extended regex of the line> <seconds> [panel dx dy]
  choose_file "$1" "${@:4}" || return 1
  wait_for_line "$scratch/err" "$2" "$3" || fail "no line /$2/ after loading $(basename "$1"): $(tail -n 3 "$scratch/err")"
}

# The tool answers: it is running and redraws the window when asked.
answers() {
  app_running || return 1
  xdotool mousemove "$(main_x 5)" "$(main_y 5)"
  shot answer
}

start_app
click_at 300 420
click_at 330 300
sleep 0.5
shot before
main_selection main

load_expecting "$crasher" "the decoder crashed on .*$(basename "$crasher") \(signal [0-9]+\)" 30
answers || tool_bug "the tool ended after the decoder crashed"
shot after_crash
n=$(count_differing before after_crash main)
[ "$n" -eq 0 ] || fail "$n pixels of the main window changed after a crashed load"

load_expecting "$hostile/jpeg-16385x8-one-too-wide.jpg" \
  "refused .*one-too-wide.jpg: its size 16385x8 is beyond the largest accepted size 16384x16384" 30
shot after_refusal
n=$(count_differing before after_refusal main)
[ "$n" -eq 0 ] || fail "$n pixels of the main window changed after a refused load"

# 25 bytes that once kept the decoder busy for many seconds: refused from the header.
load_expecting "$hostile/huge-header.pbm" "refused .*huge-header.pbm: its size 16116161x22 is beyond the largest accepted size" 30
answers || tool_bug "the tool ended after a huge declared size"
shot after_huge
n=$(count_differing before after_huge main)
[ "$n" -eq 0 ] || fail "$n pixels of the main window changed after a refused huge size"
# Only this tool's own decoders count: another one may run on the machine.
pgrep -P "$app_pid" weathering-decode >/dev/null && fail "a decoder process of the tool is still running"

load_expecting "$scratch/mask_100.png" "mask 100x100 scaled to the photograph's 512x602" 30 "${LOAD_MASK[@]}"
grep -q "^mask has" "$scratch/err" && fail "the mask was applied unscaled: $(grep "^mask has" "$scratch/err")"
answers || tool_bug "the tool ended after a mask of another size"

finish
