#!/usr/bin/env bash
# "Enable Simulation" with a path of two points weathers the masked-in pixels
# over time and leaves the masked-out ones exactly as they were; unticking it
# stops the change, and "Init" brings the photograph back.
#   simulation_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

start_app
mask_selection in 2 inside
mask_selection out 2 outside
inside_count=$(count_selected inside)

# From a light clean spot to a dark weathered one, both masked in.
click_at 300 420
click_at 330 300
sleep 0.5
shot path

panel_click "${ENABLE_SIMULATION[@]}"
shot_until 10 ticked_shot ticked ticked_shot "${ENABLE_SIMULATION[@]}" || fail "\"Enable Simulation\" does not show its tick"

# A tenth of the masked-in pixels changed: the simulation runs.
weathered_enough() { [ "$(count_differing path running inside)" -gt $((inside_count / 10)) ]; }
if shot_until 60 running weathered_enough; then
  n=$(count_differing path running outside)
  [ "$n" -eq 0 ] || fail "$n masked-out pixels changed while the simulation ran"
else
  fail "after a minute only $(count_differing path running inside) of $inside_count masked-in pixels changed"
fi
# It keeps going.
moved_on() { [ "$(count_differing running later inside)" -gt 0 ]; }
shot_until 30 later moved_on || fail "the picture stopped changing while the simulation was on"

panel_click "${ENABLE_SIMULATION[@]}"
unticked() { ! ticked unticked_shot "${ENABLE_SIMULATION[@]}"; }
shot_until 10 unticked_shot unticked || fail "\"Enable Simulation\" still shows its tick"
# Off: the picture holds still (a refresh may still be on its way).
sleep 0.5
shot stopped
sleep 1
shot stopped_later
n=$(count_differing stopped stopped_later inside)
[ "$n" -eq 0 ] || fail "$n masked-in pixels still changed after the simulation was switched off"
n=$(count_differing path stopped outside)
[ "$n" -eq 0 ] || fail "$n masked-out pixels differ from the photograph after the run"
weathered=$(count_differing path stopped inside)

panel_click "${INIT[@]}"
restored() { [ "$(count_differing path init inside)" -le 100 ]; }
if ! shot_until 10 init restored; then
  fail "after Init $(count_differing path init inside) masked-in pixels still differ from the photograph (were $weathered)"
fi
n=$(count_differing path init outside)
[ "$n" -eq 0 ] || fail "$n masked-out pixels differ from the photograph after Init"

finish
