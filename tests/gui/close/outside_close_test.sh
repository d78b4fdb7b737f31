#!/usr/bin/env bash
# The windows closed or destroyed from outside end the tool within a second with
# status 0, as q does: the panel destroyed (xdotool windowclose, a window manager's
# kill) says which X error ended it; the close button of either window (the
# WM_DELETE_WINDOW message a window manager sends) ends it quietly.
#   outside_close_test.sh <weathering binary> <repository root> <close_request binary>
close_request=$3
source "$(dirname "$0")/../e2e/lib.sh"

# The X id of a mapped top-level window, as window_geometry finds it.
window_id() {  # window_id <name or empty>
  local id
  for id in $(xwininfo -root -children | awk -v name="$1" '
      name == "" && /\(has no name\): \(\)/ { print $1 }
      name != "" && index($0, "\"" name "\": (") { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    [ -n "$1" ] || [ "$(xwininfo -id "$id" | awk '/^ *Width:/ { print $2 }')" -ge 64 ] || continue
    echo "$id"
    return 0
  done
  return 1
}

# Ends within a second (slack for a busy machine) with status 0 after $1 was done to a window.
expect_clean_end() {  # expect_clean_end <what was done>
  wait_for_exit 3
  [ "$EXIT_STATUS" = 0 ] || fail "$1: exit status $EXIT_STATUS"
  [ "$EXIT_STATUS" = running ] && stop_app
}

# The panel destroyed while the tool rests: the next look at it fails, and ends it.
start_app
panel=$(window_id GLUI) || fail "no panel window"
xdotool windowclose "$panel"
expect_clean_end "the panel destroyed"
grep -q "^weathering: X error (.*); a window is gone, ending" "$scratch/err" ||
  fail "no line for the X error: $(tail -3 "$scratch/err")"

# The panel destroyed while the simulation runs and both windows draw.
start_app
mask_selection in 2 inside
click_at 300 420
click_at 330 300
panel_click "${ENABLE_SIMULATION[@]}"
sleep 1
panel=$(window_id GLUI) || fail "no panel window"
xdotool windowclose "$panel"
expect_clean_end "the panel destroyed during a run"

# The main window destroyed.
start_app
main=$(window_id "") || fail "no main window"
xdotool windowclose "$main"
expect_clean_end "the main window destroyed"

# The close button, on either window.
for which in GLUI ""; do
  start_app
  id=$(window_id "$which") || fail "no window '$which'"
  "$close_request" "$id" || fail "the close request could not be sent"
  expect_clean_end "the close button of the ${which:-main} window"
  grep -q "X error" "$scratch/err" && fail "a close button is no X error: $(tail -2 "$scratch/err")"
done

finish
