#!/usr/bin/env bash
# "Weaterhing Brush": a red circle of radius BrushSize (10) follows a left
# drag, and the drag changes pixels only within the brush discs around the
# drag positions; with "Dewethering" ticked the circle turns (0.2, 1, 0).
#   brush_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

RED=(255 0 0)
DEWETHER=(51 255 0)
TOL=40
Y=480
X0=150
X1=350
STEPS=20

# The circle, radius 10, line 1 to 2 pixels wide: its pixels lie 8 to 12 from
# the centre, none nearer or farther. The centre sits half a pixel up and left
# of the pointer's pixel.
circle_at() {  # circle_at <shot> <x> <y> <min pixels> <r> <g> <b>
  local cx cy ring inner outer
  cx=$(awk -v v="$2" 'BEGIN { print v - 0.5 }')
  cy=$(awk -v v="$3" 'BEGIN { print v - 0.5 }')
  ring=$(count_colour_in_ring "$1" "$cx" "$cy" 8 12 "$5" "$6" "$7" $TOL)
  inner=$(count_colour_in_ring "$1" "$cx" "$cy" 0 7 "$5" "$6" "$7" $TOL)
  outer=$(count_colour_in_ring "$1" "$cx" "$cy" 13 18 "$5" "$6" "$7" $TOL)
  [ "$ring" -ge "$4" ] && [ "$inner" -eq 0 ] && [ "$outer" -eq 0 ]
}

start_app
# A path of two points gives the brush colours to paint with.
click_at 300 420
click_at 330 300
panel_click "${RADIO_BRUSH[@]}"

# Before any drag the circle sits at the photograph's origin (bottom left),
# so only a quarter of it shows.
origin_x=$(main_x 0)
origin_y=$(main_y "$MAIN_H")
shot_until 10 before circle_at before "$origin_x" "$origin_y" 10 "${RED[@]}" ||
  fail "no red circle of radius 10 at the photograph's origin in brush mode"

# The drag, with pauses longer than the refresh interval so that the
# picture is refreshed along the way.
dabs=()
xdotool mousemove $X0 $Y
sleep 0.2
xdotool mousedown 1
sleep 0.2
for i in $(seq 1 $STEPS); do
  x=$((X0 + (X1 - X0) * i / STEPS))
  xdotool mousemove $x $Y
  dabs+=("$x,$Y")
  sleep 0.1
  if [ "$i" -eq $((STEPS / 2)) ]; then
    shot_until 10 halfway circle_at halfway $x $Y 60 "${RED[@]}" ||
      fail "the circle is not at the pointer half way through the drag"
  fi
done
sleep 0.2
xdotool mouseup 1
sleep 0.3

shot_until 10 after circle_at after $X1 $Y 60 "${RED[@]}" ||
  fail "no red circle of radius 10 where the drag ended"
circle_at after "$origin_x" "$origin_y" 1 "${RED[@]}" && fail "the circle is still drawn at the origin too"

# Changed pixels: some within the discs, none outside them (the discs get a
# margin of 3 pixels; the circle's old place at the origin is left out).
main_selection outside_discs
punch_discs outside_discs 13 "$X0,$Y" "${dabs[@]}" "$origin_x,$origin_y"
main_selection main
selection_minus main outside_discs inside_discs
punch_discs inside_discs 13 "$origin_x,$origin_y"
n=$(count_differing before after outside_discs)
[ "$n" -eq 0 ] || fail "$n pixels changed outside the brush discs"
n=$(count_differing before after inside_discs)
[ "$n" -ge 50 ] || fail "only $n pixels changed within the brush discs"

# "Dewethering" recolours the circle.
panel_click "${DEWETHERING[@]}"
shot_until 10 dewethering circle_at dewethering $X1 $Y 60 "${DEWETHER[@]}" ||
  fail "with Dewethering the circle is not (0.2, 1, 0)"
[ "$(count_colour_in_ring dewethering $((X1 - 1)) $((Y - 1)) 0 18 "${RED[@]}" $TOL)" -eq 0 ] ||
  fail "with Dewethering red circle pixels remain"

finish
