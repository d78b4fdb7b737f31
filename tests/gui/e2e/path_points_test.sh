#!/usr/bin/env bash
# Left clicks on the photograph add path points drawn where clicked, coloured
# from green (oldest) to red (newest); a right click removes the newest.
#   path_points_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

GREEN=(0 255 51)
RED=(255 0 51)
MIDDLE=(128 128 51)
TOL=12
# Three spots on the painted leaves, as screen positions.
A=(100 450)
B=(330 300)
C=(420 520)

# A 5 x 5 point is drawn around the click (a pixel of rounding either way).
point_at() {  # point_at <shot> <x> <y> <r> <g> <b>
  local n
  n=$(count_colour_near "$1" "$2" "$3" 4 "$4" "$5" "$6" $TOL)
  [ "$n" -ge 20 ] && [ "$n" -le 30 ]
}
no_point_at() {  # no_point_at <shot> <x> <y>
  [ "$(count_colour_near "$1" "$2" "$3" 4 "${GREEN[@]}" $TOL)" -eq 0 ] &&
    [ "$(count_colour_near "$1" "$2" "$3" 4 "${RED[@]}" $TOL)" -eq 0 ] &&
    [ "$(count_colour_near "$1" "$2" "$3" 4 "${MIDDLE[@]}" $TOL)" -eq 0 ]
}
# The end-point colours anywhere in the window (the middle colour also
# occurs in the photograph).
point_pixels() {  # point_pixels <shot>
  echo $(($(count_colour_in_main "$1" "${GREEN[@]}" $TOL) + $(count_colour_in_main "$1" "${RED[@]}" $TOL)))
}

start_app
shot clean
[ "$(point_pixels clean)" -eq 0 ] || fail "path-point colours on the photograph before any click"

# One point: green.
click_at "${A[@]}"
shot_until 10 one point_at one "${A[@]}" "${GREEN[@]}" || fail "a single point is not drawn green at the click"

# Two points: first green, second red, nothing else.
click_at "${B[@]}"
if shot_until 10 two point_at two "${B[@]}" "${RED[@]}"; then
  point_at two "${A[@]}" "${GREEN[@]}" || fail "with two points the first is not green"
  n=$(point_pixels two)
  [ "$n" -le 60 ] || fail "$n path-coloured pixels with two points: drawn elsewhere too"
else
  fail "the second point is not drawn red at its click"
fi

# Three points: the middle one is half way, (0.5, 0.5, 0.2).
click_at "${C[@]}"
if shot_until 10 three point_at three "${C[@]}" "${RED[@]}"; then
  point_at three "${A[@]}" "${GREEN[@]}" || fail "with three points the first is not green"
  point_at three "${B[@]}" "${MIDDLE[@]}" || fail "with three points the middle one is not (0.5, 0.5, 0.2)"
else
  fail "the third point is not drawn red at its click"
fi

# Right click: the newest goes, the one before turns red again.
click_at "${A[@]}" 3
if shot_until 10 back_to_two no_point_at back_to_two "${C[@]}"; then
  point_at back_to_two "${B[@]}" "${RED[@]}" || fail "after removing the newest, the new last point is not red"
  point_at back_to_two "${A[@]}" "${GREEN[@]}" || fail "after removing the newest, the first is not green"
  # Where the point was, the photograph shows again.
  box_selection around_c $((C[0] - 4)) $((C[1] - 4)) $((C[0] + 4)) $((C[1] + 4))
  n=$(count_differing clean back_to_two around_c)
  [ "$n" -eq 0 ] || fail "$n pixels around the removed point differ from the photograph"
else
  fail "a right click did not remove the newest (third) point"
fi

# Right click again: the one left is green.
click_at "${B[@]}" 3
if shot_until 10 back_to_one no_point_at back_to_one "${B[@]}"; then
  point_at back_to_one "${A[@]}" "${GREEN[@]}" || fail "the point left is not green"
else
  fail "a right click did not remove the red point"
fi

finish
