#!/usr/bin/env bash
# Dragging the BrushSize and Speed sliders past either end stops at the
# bound: the brush circle's radius becomes 100 and 10, and the Speed slider
# looks exactly as when 0.09 or 0.01 is typed into it.
#   slider_bounds_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

RED=(255 0 0)
TOL=40
CX=310
CY=350

rest_pointer() {
  xdotool mousemove $((PANEL_X + PANEL_REST[0])) $((PANEL_Y + PANEL_REST[1]))
  sleep 0.5
}

# Drags a slider from a panel x to a screen x, then rests the pointer.
drag_slider() {  # drag_slider <slider y> <from panel x> <to screen x>
  drag 1 $((PANEL_X + $2)) $((PANEL_Y + $1)) "$3" $((PANEL_Y + $1)) 12 0.05
  rest_pointer
}

# Ctrl+click lets one type a slider's value.
type_into_slider() {  # type_into_slider <slider y> <value>
  xdotool mousemove $((PANEL_X + 118)) $((PANEL_Y + $1))
  sleep 0.3
  xdotool keydown ctrl click 1 keyup ctrl
  sleep 0.4
  xdotool key ctrl+a
  xdotool type --delay 60 "$2"
  sleep 0.2
  xdotool key Return
  sleep 0.3
  rest_pointer
}

# The brush circle around the pointer pixel (CX, CY), of the given radius.
circle_radius_is() {  # circle_radius_is <shot> <radius> <min pixels>
  local cx=$((CX - 1)).5 cy=$((CY - 1)).5 r=$2
  local ring inner outer
  ring=$(count_colour_in_ring "$1" $cx $cy $((r - 2)) $((r + 2)) "${RED[@]}" $TOL)
  inner=$(count_colour_in_ring "$1" $cx $cy 0 $((r - 3)) "${RED[@]}" $TOL)
  outer=$(count_colour_in_ring "$1" $cx $cy $((r + 3)) $((r + 10)) "${RED[@]}" $TOL)
  [ "$ring" -ge "$3" ] && [ "$inner" -eq 0 ] && [ "$outer" -eq 0 ]
}

same_slider() {  # same_slider <shot a> <shot b> <slider y>: the two crops are identical
  box_selection slider_box $((PANEL_X + SLIDER_LEFT - 2)) $((PANEL_Y + $3 - 8)) \
    $((PANEL_X + SLIDER_RIGHT + 2)) $((PANEL_Y + $3 + 8))
  [ "$(count_differing "$1" "$2" slider_box)" -eq 0 ]
}

start_app
panel_click "${RADIO_BRUSH[@]}"
# Park the brush circle in the middle of the photograph.
drag 1 $((CX - 10)) $CY $CX $CY 2 0.1
rest_pointer
shot_until 10 start circle_radius_is start 10 60 || fail "the brush circle does not start with radius 10"

# BrushSize: far right, then far left of the slider.
drag_slider $BRUSH_SLIDER_Y $((SLIDER_LEFT + 6)) $((PANEL_X + 1000))
shot_until 10 brush_max circle_radius_is brush_max 100 500 ||
  fail "BrushSize dragged past its right end: the circle radius is not 100"
drag_slider $BRUSH_SLIDER_Y $((SLIDER_RIGHT - 6)) $((PANEL_X - 400))
shot_until 10 brush_min circle_radius_is brush_min 10 60 ||
  fail "BrushSize dragged past its left end: the circle radius is not 10"
same_slider start brush_min $BRUSH_SLIDER_Y || fail "BrushSize at its left end does not show 10.0 as at start"

# Speed: typed bounds as references, then drags past each end.
type_into_slider $SPEED_SLIDER_Y 0.01
shot speed_typed_min
type_into_slider $SPEED_SLIDER_Y 0.09
shot speed_typed_max
if same_slider speed_typed_min speed_typed_max $SPEED_SLIDER_Y || same_slider start speed_typed_min $SPEED_SLIDER_Y; then
  fail "typing 0.01 and 0.09 into Speed did not give three different looks (test cannot judge the drags)"
fi
drag_slider $SPEED_SLIDER_Y $((SLIDER_RIGHT - 6)) $((PANEL_X - 400))
shot speed_min
same_slider speed_typed_min speed_min $SPEED_SLIDER_Y || fail "Speed dragged past its left end does not show 0.010"
drag_slider $SPEED_SLIDER_Y $((SLIDER_LEFT + 6)) $((PANEL_X + 1000))
shot speed_max
same_slider speed_typed_max speed_max $SPEED_SLIDER_Y || fail "Speed dragged past its right end does not show 0.090"

finish
