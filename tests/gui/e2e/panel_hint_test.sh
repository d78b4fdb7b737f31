#!/usr/bin/env bash
# The panel's hint line follows the state: no path, one point, a path ready, and the
# simulation ticked without a path (which then counts no steps and changes nothing).
# `?` over the photograph and F1 over the panel show and hide the list of keys.
#   panel_hint_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"
export WEATHERING_STATS=1

# The hint line sits under the panel's groups; its text is yellow.
HINT_BOX_Y=640
HINT_BOX_H=40
hint_pixels() {  # hint_pixels <shot name>: the yellow pixels of the hint line
  count_colour_in_box "$1" "$PANEL_X" $((PANEL_Y + HINT_BOX_Y)) "$PANEL_W" "$HINT_BOX_H" 242 204 89 40
}
hint_crop() {  # hint_crop <shot name>
  convert "$scratch/$1.png" -crop "${PANEL_W}x${HINT_BOX_H}+${PANEL_X}+$((PANEL_Y + HINT_BOX_Y))" +repage \
    "$scratch/$1_hint.png"
}
hints_differ() {  # hints_differ <a> <b>
  local n
  n=$(compare -metric AE "$scratch/${1}_hint.png" "$scratch/${2}_hint.png" null: 2>&1 | awk '{ printf "%d", $1 }')
  [ "$n" -gt 20 ]
}
state_shot() {  # state_shot <name>: the panel settled, the hint cropped
  xdotool mousemove $((PANEL_X + PANEL_REST[0])) $((PANEL_Y + PANEL_REST[1]))
  sleep 0.8
  shot "$1"
  hint_crop "$1"
  [ "$(hint_pixels "$1")" -gt 30 ] || fail "no hint line in state $1"
}

start_app
state_shot no_path

# Ticked without a path: the hint changes, the picture does not, no step counts.
panel_click "${ENABLE_SIMULATION[@]}"
sleep 2.5
state_shot ticked_without_path
hints_differ no_path ticked_without_path || fail "ticking without a path did not change the hint"
main_selection main
n=$(count_differing no_path ticked_without_path main)
[ "$n" -eq 0 ] || fail "ticked without a path, $n pixels of the picture changed"
last=$(grep '^stats: [0-9]' "$scratch/err" | tail -n 1)
awk '{ exit !($2 == 0) }' <<<"$last" || fail "steps were counted without a path: $last"
panel_click "${ENABLE_SIMULATION[@]}"

click_at 300 420
state_shot one_point
hints_differ no_path one_point || fail "one point did not change the hint"
click_at 330 300
state_shot path_ready
hints_differ one_point path_ready || fail "a second point did not change the hint"
# A right click takes the point back, and the hint with it.
click_at 330 300 3
state_shot one_point_again
hints_differ one_point_again path_ready || fail "the hint still says the path is ready after a point was taken back"

# The keys: ? over the photograph shows them over its top left, F1 over the panel
# hides them, F1 again shows them, ? over the panel hides them.
keys_shown() {  # keys_shown <shot name>: yellow key names over a dark box
  [ "$(count_colour_in_box "$1" $((MAIN_X + 10)) $((MAIN_Y + 10)) 150 300 255 217 102 40)" -gt 200 ]
}
key_in_main question
sleep 0.5
shot keys_main
keys_shown keys_main || fail "? over the photograph showed no keys"
xdotool mousemove $((PANEL_X + PANEL_REST[0])) $((PANEL_Y + PANEL_REST[1]))
sleep 0.3
xdotool key F1
sleep 0.5
shot keys_hidden
keys_shown keys_hidden && fail "F1 over the panel did not hide the keys"
xdotool key F1
sleep 0.5
shot keys_panel
keys_shown keys_panel || fail "F1 over the panel showed no keys"
xdotool key question
sleep 0.5
shot keys_gone
keys_shown keys_gone && fail "? over the panel did not hide the keys"
n=$(count_differing keys_hidden keys_gone main)
[ "$n" -eq 0 ] || fail "the picture is not as it was after the keys went ($n pixels)"
app_running || fail "the tool ended"

finish
