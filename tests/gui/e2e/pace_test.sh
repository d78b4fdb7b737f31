#!/usr/bin/env bash
# "Steps per second" paces the simulation so that weathering can be watched, and
# ticking "Enable Simulation" again after "Stop at step" stopped a run runs that many
# steps more, then stops again.
#   pace_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"
export WEATHERING_STATS=1

STOP_AT_FIELD=(60 537)
PACE_FIELD=(60 560)

type_into() {  # type_into <dx> <dy> <number>
  panel_click "$1" "$2"
  xdotool key ctrl+a
  xdotool type --delay 50 "$3"
  xdotool key Return
  sleep 0.3
  panel_click "${PANEL_REST[@]}"
}
rest_pointer() { xdotool mousemove $((PANEL_X + PANEL_REST[0])) $((PANEL_Y + PANEL_REST[1])); }
is_ticked() { shot tick && ticked tick "${ENABLE_SIMULATION[@]}"; }
is_unticked() { ! is_ticked; }
# The steps/s figures of the last <n> stats lines, one a line.
recent_rates() { grep '^stats: [0-9]' "$scratch/err" | tail -n "$1" | awk '{ print $2 }'; }

start_app
click_at "$(main_x 120)" "$(main_y 470)"
click_at "$(main_x 175)" "$(main_y 330)"
type_into "${PACE_FIELD[@]}" 8
panel_click "${ENABLE_SIMULATION[@]}"
rest_pointer
sleep 4.5
rates=$(recent_rates 3 | tr '\n' ' ')
for rate in $rates; do
  awk -v r="$rate" 'BEGIN { exit !(r >= 5 && r <= 11) }' || fail "at 8 steps per second the tool made $rate a second ($rates)"
done
echo "steps/s at a pace of 8: $rates"
panel_click "${ENABLE_SIMULATION[@]}"

# 0 is as fast as it goes again.
type_into "${PACE_FIELD[@]}" 0
panel_click "${ENABLE_SIMULATION[@]}"
rest_pointer
sleep 3
fast=$(recent_rates 1)
awk -v r="$fast" 'BEGIN { exit !(r > 40) }' || fail "at pace 0 the tool made only $fast steps a second"
echo "steps/s at pace 0: $fast"
panel_click "${ENABLE_SIMULATION[@]}"

# A stop at 10 steps at 5 a second: each tick runs about two seconds, then unticks.
panel_click "${INIT[@]}"
type_into "${STOP_AT_FIELD[@]}" 10
type_into "${PACE_FIELD[@]}" 5
for run in first second third; do
  panel_click "${ENABLE_SIMULATION[@]}"
  rest_pointer
  sleep 0.8
  is_ticked || fail "the $run run stopped at once"
  wait_until 8 is_unticked || fail "the $run run did not stop by itself"
done

finish
