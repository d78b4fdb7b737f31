#!/usr/bin/env bash
# "Stop at step": the simulation unticks itself after that many steps, the
# picture then stays as it is; "Init" starts the count again.
#   stop_at_step_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

STOP_AT_FIELD=(60 537)

start_app
click_at "$(main_x 120)" "$(main_y 470)"
click_at "$(main_x 175)" "$(main_y 330)"
panel_click "${STOP_AT_FIELD[@]}"
xdotool key ctrl+a
xdotool type --delay 50 "40"
xdotool key Return
sleep 0.3
panel_click "${PANEL_REST[@]}"
shot before_run
panel_click "${ENABLE_SIMULATION[@]}"
# (40 steps of this photograph take well under a second: the tick may be gone already.)
xdotool mousemove $((PANEL_X + PANEL_REST[0])) $((PANEL_Y + PANEL_REST[1]))
if wait_until 60 bash -c "
    import -window root '$scratch/stopped.png'
    convert '$scratch/stopped.png' -alpha off -crop 11x11+$((PANEL_X + ENABLE_SIMULATION[0] - 5))+$((PANEL_Y + ENABLE_SIMULATION[1] - 5)) -depth 8 txt:- |
      awk 'NR > 1 { gsub(/[(),:]/, \" \"); if (\$5 > 200 && \$3 < 120) n++ } END { exit n >= 5 }'"; then
  sleep 1
  shot settled
  main_selection main
  n=$(count_differing before_run settled main)
  [ "$n" -gt 1000 ] || fail "the run changed only $n pixels before it stopped"
  sleep 1
  shot settled_later
  n=$(count_differing settled settled_later main)
  [ "$n" -eq 0 ] || fail "the picture still changes after the simulation stopped itself ($n pixels)"
else
  fail "the simulation did not untick itself at step 40"
fi

finish
