#!/usr/bin/env bash
# q quits with status 0, also while the simulation runs; Escape quits with 0;
# Q (shift+q) does not quit.
#   quit_keys_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

# q while the simulation is visibly running.
start_app
mask_selection in 2 inside
click_at 300 420
click_at 330 300
sleep 0.3
shot path
panel_click "${ENABLE_SIMULATION[@]}"
changing() { [ "$(count_differing path running inside)" -gt 1000 ]; }
shot_until 60 running changing || fail "the simulation did not start, so q is not tried while it runs"
key_in_main q
wait_for_exit 15
[ "$EXIT_STATUS" = 0 ] || fail "q while simulating: exit status $EXIT_STATUS"
stop_app

# Escape.
start_app
key_in_main Escape
wait_for_exit 15
[ "$EXIT_STATUS" = 0 ] || fail "Escape: exit status $EXIT_STATUS"
stop_app

# Q is not a quit key: the tool keeps running and keeps answering clicks.
start_app
key_in_main Q
sleep 2
if app_running; then
  click_at 300 420
  dot() { [ "$(count_colour_near after_q 300 420 4 0 255 51 12)" -ge 20 ]; }
  shot_until 10 after_q dot || fail "after Q the tool no longer draws a clicked point"
  key_in_main q
  wait_for_exit 15
  [ "$EXIT_STATUS" = 0 ] || fail "q after Q: exit status $EXIT_STATUS"
else
  fail "Q ended the tool"
fi

finish
