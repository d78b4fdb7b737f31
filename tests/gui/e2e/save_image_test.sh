#!/usr/bin/env bash
# "Save Image" and "Save Degrees" through the save dialog: the saved picture is
# what the main window shows at 1:1, pixel for pixel; a cancel writes and says
# nothing; ctrl+S saves over either window while the simulation runs on; a name
# takes the chosen type's extension; the dialog starts in the photograph's folder;
# Save Degrees without a path says why without a dialog.
#   save_image_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

# By title; without one, the open dialog's (as lib.sh's own, which choose_file uses).
dialog_id() { xdotool search --name "^${1:-$DIALOG}\$" 2>/dev/null | head -n 1; }
# One look-up: a second one may find the dialog gone, and xwininfo without an
# id waits for a click.
dialog_up() {
  local id
  id=$(dialog_id "${1:-$DIALOG}")
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable
}
dialog_gone() { ! dialog_up "${1:-$DIALOG}"; }

# Waits for the save dialog and gives it the pointer and the keyboard.
await_dialog() {  # await_dialog <title>
  if ! wait_until 30 dialog_up "$1"; then
    fail "no \"$1\" dialog came up"
    return 1
  fi
  local id
  id=$(dialog_id "$1")
  # shellcheck disable=SC2046
  xdotool mousemove $(xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print x + int(w / 2), y + int(h / 2) }')
  timeout 5 xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 1
}

# Types a path into the open dialog (replacing the suggested name) and accepts it.
answer_dialog() {  # answer_dialog <title> <path>
  await_dialog "$1" || return 1
  xdotool key ctrl+l
  sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  sleep 0.5
  xdotool key Return
  wait_until 30 dialog_gone "$1" || fail "the dialog did not close after choosing $2"
}

console_lines() { cat "$scratch/out" "$scratch/err" | wc -l; }

start_app
# Two path points: drawn over the picture as dots, which the file does not have.
click_at 300 420
click_at 330 300
sleep 0.5

# Cancel: nothing written, nothing printed.
lines=$(console_lines)
panel_click "${SAVE_IMAGE[@]}"
if await_dialog "Save Image"; then
  xdotool key Escape
  wait_until 30 dialog_gone "Save Image" || fail "Escape did not close the save dialog"
fi
sleep 0.5
[ "$(console_lines)" -eq "$lines" ] || fail "a cancelled save printed: $(tail -n 1 "$scratch/err")"
[ -z "$(ls "$scratch" | grep -v -e '^out$' -e '^err$' -e '\.png$')" ] || fail "a cancelled save wrote a file"

# Save Image: the console names the file, its size and the path to make it again.
mkdir -p "$scratch/saved"
panel_click "${SAVE_IMAGE[@]}"
answer_dialog "Save Image" "$scratch/saved/door.png"
wait_for_line "$scratch/out" "^Saved $scratch/saved/door.png \(512 x 602\) --path \"[0-9]+,[0-9]+( [0-9]+,[0-9]+)*\"$" 30 ||
  fail "no saved line: $(tail -n 2 "$scratch/out" "$scratch/err")"
[ "$(identify -format '%wx%h %z %[channels]' "$scratch/saved/door.png" 2>/dev/null)" = "512x602 8 srgb" ] ||
  fail "the saved file is $(identify "$scratch/saved/door.png" 2>&1)"

# The file against the main window at 1:1, the path dots left out. The window
# shows the same colours rounded by OpenGL: at most one step apart. Only the
# part of the window on the screen counts (with no window manager its border
# may push it to -1, -1).
sleep 0.5
shot shown
x0=$((MAIN_X < 0 ? 0 : MAIN_X))
y0=$((MAIN_Y < 0 ? 0 : MAIN_Y))
visible="$((MAIN_W - (x0 - MAIN_X)))x$((MAIN_H - (y0 - MAIN_Y)))"
dots="circle 301,420 301,426 circle 331,300 331,306"
convert "$scratch/shown.png" -crop "$visible+$x0+$y0" +repage \
  -fill black -draw "$(awk -v dx=$((x0 - MAIN_X)) -v dy=$((y0 - MAIN_Y)) -v d="$dots" 'BEGIN {
    n = split(d, w, " "); for (i = 1; i <= n; i++) { if (w[i] ~ /,/) { split(w[i], p, ","); w[i] = (p[1] - dx) "," (p[2] - dy) }
    printf "%s ", w[i] } }')" "$scratch/window.png"
convert "$scratch/saved/door.png" -fill black -draw "$dots" -crop "$visible+$((x0 - MAIN_X))+$((y0 - MAIN_Y))" +repage \
  "$scratch/file.png"
differing=$(compare -metric AE -fuzz 0.45% "$scratch/window.png" "$scratch/file.png" null: 2>&1 | awk '{ printf "%d", $1 }')
[ "$differing" = 0 ] || fail "$differing pixels of the saved file differ from the main window by more than one step"
same=$(compare -metric AE "$scratch/window.png" "$scratch/file.png" null: 2>&1 | awk '{ printf "%d", $1 }')
echo "pixels one step apart between window and file: $same of $visible"
flipped=$(convert "$scratch/file.png" -flip - | compare -metric AE -fuzz 0.45% "$scratch/window.png" - null: 2>&1 | awk '{ printf "%d", $1 }')
[ "$flipped" -gt 100000 ] || fail "the file upside down matches the window as well ($flipped pixels differ)"

# Save Degrees: a 16-bit grey PNG, black outside the mask.
panel_click "${SAVE_DEGREES[@]}"
answer_dialog "Save Degrees" "$scratch/saved/degrees.png"
wait_for_line "$scratch/out" "^Saved $scratch/saved/degrees.png \(512 x 602\)" 30 || fail "no saved line for the degrees"
[ "$(identify -format '%z %[channels]' "$scratch/saved/degrees.png" 2>/dev/null)" = "16 gray" ] ||
  fail "the degree map is $(identify "$scratch/saved/degrees.png" 2>&1)"
outside=$(convert "$scratch/saved/degrees.png" \( "$E2E_ROOT/images/image1_mask.jpg" -colorspace Gray -threshold 50% -negate \
  -morphology Erode Disk:2 \) -compose multiply -composite -format '%[fx:maxima]' info:)
[ "$outside" = 0 ] || fail "the degree map is not black outside the mask (maximum $outside)"

# The file says how to make it again, with the mask loaded at start-up.
recipe=$(identify -verbose "$scratch/saved/door.png" | grep -m 1 'weathering-batch')
grep -q -- "--mask [^ ]*image1_mask.jpg --path" <<<"$recipe" || fail "the saved recipe names no mask: $recipe"

# A name without the chosen type's extension (PNG, offered first) gets it; one that
# would not be written as typed (.gif) is not refused after the dialog closed.
panel_click "${SAVE_IMAGE[@]}"
answer_dialog "Save Image" "$scratch/saved/door.gif"
wait_for_line "$scratch/out" "^Saved $scratch/saved/door.gif.png " 30 ||
  fail "door.gif was not saved as door.gif.png: $(tail -n 1 "$scratch/err")"
[ ! -e "$scratch/saved/door.gif" ] || fail "door.gif was written"

# ctrl+S in the main window while the simulation runs: it saves the weathered
# colours, and the simulation goes on.
panel_click "${ENABLE_SIMULATION[@]}"
sleep 2
key_in_main ctrl+s
answer_dialog "Save Image" "$scratch/saved/running.png"
wait_for_line "$scratch/out" "^Saved $scratch/saved/running.png" 30 || fail "ctrl+S saved nothing"
changed=$(compare -metric AE -fuzz 2% "$scratch/saved/door.png" "$scratch/saved/running.png" null: 2>&1 | awk '{ printf "%d", $1 }')
[ "$changed" -gt 1000 ] || fail "the file saved while weathering shows only $changed weathered pixels"
# The door may be fully weathered by now (a weathered surface stays as it is), so
# the picture cannot show that the simulation goes on. The panel can: its steps/s
# line is there while the simulation runs, and goes when it is switched off here.
sleep 1.5
read_geometry
running_height=$PANEL_H
panel_click "${ENABLE_SIMULATION[@]}"
shrank() { read_geometry && [ "$PANEL_H" -lt "$running_height" ]; }
wait_until 10 shrank || fail "the simulation stopped after saving (the panel has no steps/s line)"
ls -A "$scratch/saved" | grep -q '^\.' && fail "temporary files left: $(ls -A "$scratch/saved")"

# ctrl+S over the panel saves too; a name typed without extension takes .png.
xdotool mousemove $((PANEL_X + PANEL_REST[0])) $((PANEL_Y + PANEL_REST[1]))
sleep 0.3
xdotool key ctrl+s
answer_dialog "Save Image" "$scratch/saved/plain"
wait_for_line "$scratch/out" "^Saved $scratch/saved/plain.png " 30 || fail "ctrl+S over the panel saved no plain.png"

# A photograph from another folder: the dialog starts there with the suggested name,
# and the recipe has no mask now. Its path is empty, so Save Degrees says why not,
# without a dialog.
mkdir -p "$scratch/photos"
cp "$E2E_ROOT/images/image1.jpg" "$scratch/photos/porch.jpg"
choose_file "$scratch/photos/porch.jpg"
sleep 1
read_geometry
panel_click "${SAVE_DEGREES[@]}"
wait_for_line "$scratch/err" "^no degrees to save: click a path of two points or more first$" 10 ||
  fail "Save Degrees without a path was not refused: $(tail -n 1 "$scratch/err")"
sleep 1
dialog_up "Save Degrees" && fail "Save Degrees without a path opened its dialog"
panel_click "${SAVE_IMAGE[@]}"
if await_dialog "Save Image"; then
  xdotool key Return
  wait_until 30 dialog_gone "Save Image" || fail "the dialog did not close"
fi
wait_for_line "$scratch/out" "^Saved $scratch/photos/porch_weathered.png " 30 ||
  fail "the dialog did not start in the photograph's folder: $(tail -n 1 "$scratch/out")"
recipe=$(identify -verbose "$scratch/photos/porch_weathered.png" | grep -m 1 'weathering-batch')
grep -q -- "--mask" <<<"$recipe" && fail "the recipe names a mask the photograph does not have: $recipe"

finish
