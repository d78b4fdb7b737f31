#!/usr/bin/env bash
# A tool installed where its door is missing, started from a folder without one:
# the main window says how to load a photograph and the panel's status line names
# the file that was not found; Load Image then works as ever.
#   no_photograph_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

# A copy of the programs in a prefix of their own finds no door beside itself (an
# installed tool looks in ../share/weathering), and the folder it starts in has none.
lonely="$scratch/lonely"
mkdir -p "$lonely/bin" "$lonely/start"
cp "$E2E_BINARY" "$(dirname "$E2E_BINARY")/weathering-decode" "$lonely/bin/"
: >"$scratch/out"
: >"$scratch/err"
(cd "$lonely/start" && exec "$lonely/bin/weathering" >"$scratch/out" 2>"$scratch/err") &
app_pid=$!
wait_until 60 read_geometry || { fail "the two windows did not appear"; finish; }
wait_for_line "$scratch/out" '^file not found: ./images/image1.jpg$' 30 ||
  fail "no line names the missing photograph: $(cat "$scratch/out")"
sleep 1
read_geometry
shot empty

# The hint: light text across the middle of the black window, nothing elsewhere.
middle=$(count_colour_in_box empty "$MAIN_X" $((MAIN_Y + MAIN_H / 2 - 20)) "$MAIN_W" 24 217 217 217 60)
[ "$middle" -gt 40 ] || fail "no hint in the middle of the empty main window ($middle light pixels)"
top=$(count_colour_in_box empty "$MAIN_X" "$MAIN_Y" "$MAIN_W" $((MAIN_H / 3)) 217 217 217 60)
[ "$top" -eq 0 ] || fail "the empty window shows $top light pixels at its top"
# The status line is red: a failure.
# (Below the groups: the degree colour bar has red of its own.)
red_lines() { count_colour_in_box "$1" "$PANEL_X" $((PANEL_Y + 590)) "$PANEL_W" $((PANEL_H - 590)) 255 89 76 50; }
red=$(red_lines empty)
[ "$red" -gt 30 ] || fail "the panel shows no red status line ($red pixels)"
app_running || fail "the tool ended without its photograph"

# Load Image takes the door, and the status line says so, no longer in red.
choose_file "$E2E_ROOT/images/image1.jpg"
wait_until 30 main_shows_picture || fail "the door loaded by hand is not shown"
sleep 0.5
read_geometry
shot loaded
red=$(red_lines loaded)
[ "$red" -eq 0 ] || fail "the panel still shows a red line after the load ($red pixels)"

finish
