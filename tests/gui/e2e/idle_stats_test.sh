#!/usr/bin/env bash
# With nothing to do the tool uses (next to) no processor time; with WEATHERING_STATS=1
# it prints its figures once a second; while the simulation runs the panel grows by a
# steps/s line, which goes again when it stops.
#   idle_stats_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"
export WEATHERING_STATS=1

# Processor time of the tool over some seconds, in % of one core.
cpu_percent() {  # cpu_percent <seconds>
  local a b ticks
  ticks=$(getconf CLK_TCK)
  a=$(awk '{ print $14 + $15 }' "/proc/$app_pid/stat")
  sleep "$1"
  b=$(awk '{ print $14 + $15 }' "/proc/$app_pid/stat")
  awk -v a="$a" -v b="$b" -v t="$ticks" -v s="$1" 'BEGIN { printf "%.1f", (b - a) / t / s * 100 }'
}
below() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v < limit) }'; }

start_app
xdotool mousemove 5 5
sleep 1
idle=$(cpu_percent 4)
below "$idle" 10 || tool_bug "the idle tool used $idle % of a core"
wait_for_line "$scratch/err" '^stats: [0-9.]+ steps/s, [0-9.]+ refreshes/s, last refresh [0-9.]+ ms' 5 ||
  fail "no per-second figures on stderr: $(tail -n 3 "$scratch/err")"
grep -q '^stats: first picture [0-9.]* s after start' "$scratch/err" || fail "no time to the first picture"

stopped_height=$PANEL_H
click_at 300 420
click_at 330 300
panel_click "${ENABLE_SIMULATION[@]}"
grew() { read_geometry && [ "$PANEL_H" -gt "$stopped_height" ]; }
wait_until 10 grew || fail "the panel did not grow by a line while the simulation runs ($PANEL_H)"
running_steps() { tail -n 1 "$scratch/err" | awk '/^stats: [0-9]/ { exit !($2 > 0) } { exit 1 }'; }
wait_until 10 running_steps || fail "no steps/s counted while the simulation runs: $(tail -n 1 "$scratch/err")"

panel_click "${ENABLE_SIMULATION[@]}"
shrank() { read_geometry && [ "$PANEL_H" -eq "$stopped_height" ]; }
wait_until 10 shrank || fail "the panel kept its steps/s line after the simulation stopped ($PANEL_H)"
xdotool mousemove 5 5
sleep 1
idle=$(cpu_percent 4)
below "$idle" 10 || tool_bug "after the simulation the idle tool used $idle % of a core"

finish
