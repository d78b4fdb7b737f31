#!/usr/bin/env bash
# The wheel zooms about the pointer and shows the photograph's pixels as squares;
# a path point clicked at high zoom lands on the photograph pixel that was under
# the pointer, as seen back at the fit ("0"); "+" and the arrow keys and a
# space + left drag move the view; the fit shows exactly the first picture again.
#   zoom_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

GREEN=(0 255 51)
TOL=12
WHEEL_STEPS=10
# Window positions (from the main window's top-left corner): where the wheel
# turns, and where the point is clicked once zoomed in.
P1=(256 300)
P2=(301 327)

start_app
shot fit_before
# The default photograph is shown at its own size (one window pixel a pixel).
[ "$MAIN_W" -eq 512 ] && [ "$MAIN_H" -eq 602 ] || fail "main window is ${MAIN_W}x${MAIN_H}, not 512x602"

xdotool mousemove "$(main_x "${P1[0]}")" "$(main_y "${P1[1]}")"
sleep 0.3
for _ in $(seq 1 $WHEEL_STEPS); do xdotool click 4; sleep 0.05; done
sleep 0.5
shot zoomed
# Zoomed ~9.3x: a row of the window runs in steps of the same colour.
runs=$(pixels zoomed 200 1 $((MAIN_X + 150)) $((MAIN_Y + 100)) |
  awk 'NR > 1 && ($3 != r || $4 != g || $5 != b) { changes++ } { r = $3; g = $4; b = $5 } END { print changes + 0 }')
[ "$runs" -le 30 ] || fail "a zoomed row changes colour $runs times in 200 pixels: not shown as squares"
main_selection main
n=$(count_differing fit_before zoomed main)
[ "$n" -gt 100000 ] || fail "the wheel did not zoom: only $n pixels changed"

# The photograph pixel under P2 at zoom s about P1 (fit scale 1, rows counted up
# from the window's height), and where the fit draws a point clicked there.
read -r EX EY <<<"$(awk -v s="$(awk -v n=$WHEEL_STEPS 'BEGIN { print 1.25 ^ n }')" \
  -v x1="${P1[0]}" -v y1="${P1[1]}" -v x2="${P2[0]}" -v y2="${P2[1]}" -v h="$MAIN_H" 'BEGIN {
    u = (x1 + 0.5) + (x2 - x1) / s; v = (h - y1 - 0.5) - (y2 - y1) / s
    printf "%d %d\n", int(u), h - int(v) }')"
click_at "$(main_x "${P2[0]}")" "$(main_y "${P2[1]}")"
sleep 0.3
shot zoomed_point
n=$(count_colour_near zoomed_point "$(main_x "${P2[0]}")" "$(main_y "${P2[1]}")" 6 "${GREEN[@]}" $TOL)
[ "$n" -ge 64 ] || fail "the point clicked at zoom is drawn with $n pixels, not a zoomed pixel's square"

key_in_main 0
sleep 0.5
shot fit_point
n=$(count_colour_near fit_point "$(main_x "$EX")" "$(main_y "$EY")" 3 "${GREEN[@]}" $TOL)
[ "$n" -ge 20 ] || fail "at the fit no point at window ($EX, $EY), the pixel clicked at zoom ($n green pixels)"
n=$(count_colour_near fit_point "$(main_x "${P2[0]}")" "$(main_y "${P2[1]}")" 3 "${GREEN[@]}" $TOL)
[ "$n" -eq 0 ] || fail "the point is where the click would land without zoom"

# Right click removes it; the fit then shows the first picture exactly.
click_at "$(main_x 100)" "$(main_y 100)" 3
sleep 0.3
shot fit_after
n=$(count_differing fit_before fit_after main)
[ "$n" -eq 0 ] || fail "$n pixels of the fit differ after zooming in and out"

# "+" zooms about the centre; an arrow key and a space + drag move the picture.
key_in_main plus
sleep 0.4
shot plus
n=$(count_differing fit_before plus main)
[ "$n" -gt 100000 ] || fail "\"+\" did not zoom ($n pixels changed)"
key_in_main Right
sleep 0.4
shot arrow
n=$(count_differing plus arrow main)
[ "$n" -gt 100000 ] || fail "the right arrow did not pan ($n pixels changed)"
xdotool mousemove "$(main_x 300)" "$(main_y 300)"
sleep 0.2
xdotool keydown space
drag 1 "$(main_x 300)" "$(main_y 300)" "$(main_x 340)" "$(main_y 300)" 4 0.05
xdotool keyup space
sleep 0.4
shot dragged
# The picture followed the pointer 40 pixels to the right.
box_selection left_part "$(main_x 50)" "$(main_y 50)" "$(main_x 250)" "$(main_y 500)"
convert "$scratch/arrow.png" -roll +40+0 "$scratch/arrow_moved.png"
n=$(count_differing arrow_moved dragged left_part)
[ "$n" -le 2000 ] || fail "a space + drag did not move the picture with the pointer ($n pixels off)"
n=$(count_colour_in_main dragged "${GREEN[@]}" $TOL)
[ "$n" -eq 0 ] || fail "the space + drag added a path point"

finish
