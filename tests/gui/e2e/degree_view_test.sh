#!/usr/bin/env bash
# "Show Degrees" after a two-point path shows the start point's surroundings dark
# and the end point's bright, pixels outside the mask grey, and a colour bar in
# the panel; a third point changes the view at once. Holding `b` shows the
# photograph as loaded; releasing it shows the degrees again.
#   degree_view_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

SHOW_DEGREES=(28 441)
START=(120 470)  # the door's dark paint
END=(175 330)    # a white scrap of paper

# Mean of (r + g + b) / 3 over the ring 4 to 7 pixels around a point (the point's
# own square is drawn over its pixel and is left out).
ring_brightness() {  # ring_brightness <shot> <x> <y>
  pixels "$1" 15 15 $(($2 - 7)) $(($3 - 7)) |
    awk -v cx="$2" -v cy="$3" '{ d = sqrt(($1 - cx) ^ 2 + ($2 - cy) ^ 2) }
      d >= 4 && d <= 7 { s += ($3 + $4 + $5) / 3; n++ } END { printf "%d\n", s / n }'
}

start_app
main_selection main
shot photograph
click_at "$(main_x "${START[0]}")" "$(main_y "${START[1]}")"
click_at "$(main_x "${END[0]}")" "$(main_y "${END[1]}")"
sleep 0.3
shot path
panel_click "${SHOW_DEGREES[@]}"
xdotool mousemove "$(main_x 300)" "$(main_y 500)"
sleep 0.8
shot degrees
ticked degrees "${SHOW_DEGREES[@]}" || fail "\"Show Degrees\" shows no tick after a click on it"

dark=$(ring_brightness degrees "$(main_x "${START[0]}")" "$(main_y "${START[1]}")")
bright=$(ring_brightness degrees "$(main_x "${END[0]}")" "$(main_y "${END[1]}")")
echo "around the start $dark, around the end $bright"
[ "$dark" -le 70 ] || fail "the start of the path is not dark in the degree view ($dark)"
[ "$bright" -ge 170 ] || fail "the end of the path is not bright in the degree view ($bright)"
# The louvres lie outside the default mask: plain grey.
n=$(count_colour_in_box degrees "$(main_x 60)" "$(main_y 60)" 100 60 128 128 128 2)
[ "$n" -eq 6000 ] || fail "only $n of 6000 pixels outside the mask are grey"
# The colour bar: dark on its left, bright on its right.
read -r left_end right_end <<<"$(pixels degrees 200 1 $((PANEL_X + 20)) $((PANEL_Y + 460)) |
  awk 'NR == 3 { l = $3 + $4 + $5 } { r = $3 + $4 + $5; v[NR] = r } END { print l, v[NR - 2] }')"
[ "$left_end" -lt 150 ] && [ "$right_end" -gt 600 ] ||
  fail "no dark-to-bright colour bar under \"Show Degrees\" (ends $left_end, $right_end)"

# A third point changes the degrees at once.
click_at "$(main_x 400)" "$(main_y 450)"
shot_until 5 three bash -c "[ \$(compare -metric AE '$scratch/degrees.png' '$scratch/three.png' null: 2>&1 | cut -d' ' -f1) -gt 2000 ]" ||
  fail "a third path point did not change the degree view"

# `b` held: the photograph as loaded (the path points drawn over it); released: the degrees.
box_selection away_from_points "$(main_x 0)" "$(main_y 0)" "$(main_x 511)" "$(main_y 300)"
xdotool keydown b
sleep 0.6
shot before_held
n=$(count_differing path before_held away_from_points)
xdotool keyup b
[ "$n" -le 2000 ] || fail "holding b does not show the photograph ($n pixels of the top differ)"
sleep 0.6
shot released
n=$(count_differing three released main)
[ "$n" -le 50 ] || fail "releasing b does not show the degrees again ($n pixels differ)"

finish
