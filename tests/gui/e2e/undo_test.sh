#!/usr/bin/env bash
# ctrl+Z takes back a brush stroke and the screen is exactly as before it;
# ctrl+shift+Z and ctrl+Y bring the stroke back exactly; a path click and "Init"
# are steps of their own, and so is a run of the simulation, which ctrl+Z stops;
# the panel's count of steps follows.
#   undo_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

GREEN=(0 255 51)
TOL=12

same_as() {  # same_as <shot> <reference> : the main window identical
  [ "$(count_differing "$1" "$2" main)" -eq 0 ]
}
# Takes shots until the main window equals a reference; fails with a message.
expect_screen() {  # expect_screen <shot> <reference> <message>
  shot_until 10 "$1" same_as "$1" "$2" || fail "$3 ($(count_differing "$1" "$2" main) pixels differ)"
}
panel_shot() {  # panel_shot <name>: the panel's picture alone
  import -window root -crop "${PANEL_W}x${PANEL_H}+${PANEL_X}+${PANEL_Y}" +repage "$scratch/$1.png"
}

start_app
main_selection main
panel_shot panel_none
# A path of two points gives the brush colours to paint with; it is drawn outside
# the stroke, and the shots compare the picture with the path.
click_at "$(main_x 300)" "$(main_y 420)"
click_at "$(main_x 330)" "$(main_y 300)"
sleep 0.5
shot before

panel_click "${RADIO_BRUSH[@]}"
# Over the painted leaves, inside the mask; pauses longer than the refresh interval.
drag 1 "$(main_x 120)" "$(main_y 480)" "$(main_x 250)" "$(main_y 380)" 24 0.06
panel_click "${RADIO_POINTS[@]}"  # the brush circle off the picture
sleep 0.5
shot stroke
n=$(count_differing before stroke main)
[ "$n" -gt 500 ] || fail "the stroke changed only $n pixels"
panel_shot panel_one
n=$(compare -metric AE "$scratch/panel_none.png" "$scratch/panel_one.png" null: 2>&1)
[ "${n%% *}" != 0 ] || fail "the panel looks the same after a step (no count of steps)"

key_in_main ctrl+z
expect_screen undone before "ctrl+Z did not restore the screen from before the stroke"
key_in_main ctrl+shift+z
expect_screen redone stroke "ctrl+shift+Z did not bring the stroke back"
key_in_main ctrl+z
expect_screen undone_again before "a second ctrl+Z did not restore the screen"
key_in_main ctrl+y
expect_screen redone_y stroke "ctrl+Y did not bring the stroke back"

# A path click is a step: ctrl+Z removes the point; "Init" too.
# After a change, ctrl+Z shows the reference again.
undo_brings_back() {  # undo_brings_back <shot of the change> <reference> <what changed>
  sleep 0.5
  shot "$1"
  n=$(count_differing "$2" "$1" main)
  [ "$n" -gt 0 ] || fail "$3 changed nothing"
  key_in_main ctrl+z
  expect_screen "$1_undone" "$2" "ctrl+Z did not take back $3"
}
click_at "$(main_x 250)" "$(main_y 250)"
undo_brings_back clicked stroke "the third path point"
panel_click "${INIT[@]}"
undo_brings_back init stroke "\"Init\""

# ctrl+Z while the simulation runs stops it and takes the whole run back; the
# picture then stays as it was before the run.
panel_click "${ENABLE_SIMULATION[@]}"
sleep 1
shot running
n=$(count_differing stroke running main)
[ "$n" -gt 0 ] || fail "the simulation changed nothing"
key_in_main ctrl+z
expect_screen run_undone stroke "ctrl+Z during a run did not take the run back"
sleep 1
shot run_undone_later
n=$(count_differing stroke run_undone_later main)
[ "$n" -eq 0 ] || fail "the simulation went on after ctrl+Z ($n pixels changed)"

finish
