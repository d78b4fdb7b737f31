#!/usr/bin/env bash
# The "Look" group: choosing "Natural" shows each path point's colour as a swatch;
# the simulation then weathers the door from its weathered areas while the rest of
# it keeps its exact colours and the masked-out pixels never change; choosing
# "Sampled" returns to the photograph like "Init", and ctrl+Z takes that back.
#   natural_look_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

LOOK_SAMPLED=(28 626)
LOOK_NATURAL=(108 626)
FIRST_SWATCH=(25 645)

start_app
mask_selection in 2 inside
mask_selection out 2 outside
inside_count=$(count_selected inside)
shot photograph
ticked photograph "${LOOK_SAMPLED[@]}" || fail "\"Sampled\" is not the look at start-up"

panel_click "${LOOK_NATURAL[@]}"
shot_until 10 natural ticked natural "${LOOK_NATURAL[@]}" || fail "\"Natural\" does not show as chosen"

# From a light clean spot to a dark weathered one, both masked in.
click_at "$(main_x 300)" "$(main_y 420)"
click_at "$(main_x 330)" "$(main_y 300)"
sleep 0.5
shot path
# The first swatch shows the colour around the first click.
read -r r g b <<<"$(convert "$scratch/photograph.png" -crop "5x5+$(main_x 298)+$(main_y 418)" -resize '1x1!' \
  -depth 8 txt:- | awk 'NR == 2 { gsub(/[(),:]/, " "); print $3, $4, $5 }')"
n=$(count_colour_near path $((PANEL_X + FIRST_SWATCH[0])) $((PANEL_Y + FIRST_SWATCH[1])) 2 "$r" "$g" "$b" 24)
[ "$n" -ge 20 ] || fail "the first path point's swatch does not show rgb($r,$g,$b) (near: $n of 25 pixels)"

panel_click "${ENABLE_SIMULATION[@]}"
weathered_enough() { [ "$(count_differing path running inside)" -gt $((inside_count / 10)) ]; }
if shot_until 60 running weathered_enough; then
  n=$(count_differing path running outside)
  [ "$n" -eq 0 ] || fail "$n masked-out pixels changed while the simulation ran"
  # Weathering grows from where the door is weathered: much of it is still exactly
  # the photograph (the Sampled look repaints every masked-in pixel at once).
  changed=$(count_differing path running inside)
  [ "$changed" -lt $((inside_count * 9 / 10)) ] ||
    fail "$changed of $inside_count masked-in pixels changed at once: the weathering does not grow"
else
  fail "after a minute only $(count_differing path running inside) of $inside_count masked-in pixels changed"
fi
panel_click "${ENABLE_SIMULATION[@]}"
unticked() { ! ticked unticked_shot "${ENABLE_SIMULATION[@]}"; }
shot_until 10 unticked_shot unticked || fail "\"Enable Simulation\" still shows its tick"
# The run's last refresh can land a while after the untick on a busy machine: the
# weathered picture is the one two shots half a second apart agree on.
shot weathered
settled() {
  sleep 0.5
  shot weathered_again
  [ "$(count_differing weathered weathered_again inside)" -eq 0 ] && return 0
  cp "$scratch/weathered_again.png" "$scratch/weathered.png"
  return 1
}
wait_until 20 settled || fail "the picture still changes after the simulation was stopped"

# Back to Sampled: the photograph again, as after Init.
panel_click "${LOOK_SAMPLED[@]}"
restored() { [ "$(count_differing path sampled inside)" -le 100 ]; }
shot_until 10 sampled restored || fail "after choosing Sampled $(count_differing path sampled inside) pixels differ"
ticked sampled "${LOOK_SAMPLED[@]}" || fail "\"Sampled\" does not show as chosen"

# The switch is one step to undo: the weathered Natural picture comes back.
key_in_main ctrl+z
# A few hundred pixels of slack: the last refresh of a run may land after the shot.
back() { [ "$(count_differing weathered undone inside)" -le $((inside_count / 200)) ]; }
shot_until 10 undone back || fail "after ctrl+Z $(count_differing weathered undone inside) pixels differ from the run"
ticked undone "${LOOK_NATURAL[@]}" || fail "\"Natural\" is not the look again after ctrl+Z"

finish
