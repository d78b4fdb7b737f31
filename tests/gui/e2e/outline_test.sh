#!/usr/bin/env bash
# A middle-button drag draws a green outline along the drag that stays after
# the button is released; a later drag starts a stroke of its own, not joined
# to the old one; `c` clears the outline.
#   outline_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

GREEN=(0 255 0)
TOL=30
X0=100
Y0=500
X1=400
Y1=350
Y2=520  # the second press, straight below the first stroke's end

# Green within a pixel or two of every tenth point of a segment.
green_along() {  # green_along <shot> <x0> <y0> <x1> <y1>
  local i x y missing=0
  for i in 1 2 3 4 5 6 7 8 9; do
    x=$(($2 + ($4 - $2) * i / 10))
    y=$(($3 + ($5 - $3) * i / 10))
    [ "$(count_colour_near "$1" $x $y 2 "${GREEN[@]}" $TOL)" -gt 0 ] || missing=$((missing + 1))
  done
  [ $missing -eq 0 ]
}

# Green pixels off the given segments (a band 12 pixels wide around each).
green_elsewhere() {  # green_elsewhere <shot> <x0,y0 x1,y1>...
  local shot=$1 draw=""
  shift
  while [ $# -ge 2 ]; do
    draw="$draw line ${1/,/,} ${2/,/,}"
    shift 2
  done
  convert "$scratch/$shot.png" -fill black -stroke black -strokewidth 12 -draw "$draw" "$scratch/${shot}_off.png"
  count_colour_in_main "${shot}_off" "${GREEN[@]}" $TOL
}

start_app
shot before
n=$(count_colour_in_main before "${GREEN[@]}" $TOL)
[ "$n" -eq 0 ] || fail "$n outline-green pixels before the middle button was used"

drag 2 $X0 $Y0 $X1 $Y1 30 0.03
# Several frames after the release (the window is redrawn on every idle pass).
sleep 1
shot_until 10 released green_along released $X0 $Y0 $X1 $Y1 ||
  fail "no green outline along the middle-button drag after the release"
n=$(green_elsewhere released $X0,$Y0 $X1,$Y1)
[ "$n" -eq 0 ] || fail "$n outline-green pixels away from the drag"
sleep 1
shot later
green_along later $X0 $Y0 $X1 $Y1 || fail "the outline did not stay a second later"

# A new stroke after the release is not joined to the old one.
drag 2 $X1 $Y2 $((X1 - 100)) $Y2 10 0.03
sleep 0.5
shot_until 10 second green_along second $X1 $Y2 $((X1 - 100)) $Y2 ||
  fail "no green outline along the second middle-button drag"
green_along second $X0 $Y0 $X1 $Y1 || fail "the first stroke went away after a new press"
n=$(green_elsewhere second $X0,$Y0 $X1,$Y1 $X1,$Y2 $((X1 - 100)),$Y2)
[ "$n" -eq 0 ] || fail "$n outline-green pixels away from the two strokes (a joining edge?)"

# `c` clears the outline.
key_in_main c
sleep 0.5
shot cleared
n=$(count_colour_in_main cleared "${GREEN[@]}" $TOL)
[ "$n" -eq 0 ] || fail "$n outline-green pixels after c"

finish
