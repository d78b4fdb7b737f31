#!/usr/bin/env bash
# "Load Image" through the file dialog: cancelling with Escape changes
# nothing; loading a photograph resizes the main window by the 1024 rule,
# shows the new photograph and empties the clicked path and the middle-button
# outline; the panel moves to stay 20 pixels right of the main window.
#   load_image_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

# Orange at the top, blue at the bottom: easy to recognise on screen.
convert -size 1600x1200 gradient:'rgb(255,128,0)-rgb(0,64,192)' "$scratch/input_wide.png"
convert -size 800x600 gradient:'rgb(0,160,80)-rgb(200,200,40)' "$scratch/input_small.png"

size_is() { read_geometry && [ "${MAIN_W}x${MAIN_H}" = "$1" ]; }

# The window shows the picture file, scaled to the window: small mean error.
# Only the part left of the panel counts (a wide window runs under it).
shows_file() {  # shows_file <shot> <file>
  local x0=$((MAIN_X < 0 ? 0 : MAIN_X)) y0=$((MAIN_Y < 0 ? 0 : MAIN_Y)) w h error
  w=$((MAIN_X + MAIN_W - x0))
  [ $((x0 + w)) -le "$PANEL_X" ] || w=$((PANEL_X - x0))
  h=$((MAIN_Y + MAIN_H - y0))
  error=$(convert "$2" -resize "${MAIN_W}x${MAIN_H}!" -crop "${w}x${h}+$((x0 - MAIN_X))+$((y0 - MAIN_Y))" +repage \
    \( "$scratch/$1.png" -crop "${w}x${h}+$x0+$y0" +repage \) \
    -compose difference -composite -colorspace Gray -format '%[fx:mean]' info:)
  awk -v e="$error" 'BEGIN { exit !(e < 0.03) }'
}

path_pixels() {  # path_pixels <shot>: pixels of the path-point colours
  echo $(($(count_colour_in_main "$1" 0 255 51 12) + $(count_colour_in_main "$1" 255 0 51 12)))
}

# Green outline pixels near screen points along image row <py> from image
# column <px0> to <px1>, for a window showing an image <image width> wide.
outline_along_row() {  # outline_along_row <shot> <image width> <py> <px0> <px1>
  local px sx sy missing=0
  for px in $(seq "$4" 20 "$5"); do
    read -r sx sy <<<"$(awk -v w="$MAIN_W" -v h="$MAIN_H" -v iw="$2" -v px="$px" -v py="$3" \
      -v mx="$MAIN_X" -v my="$MAIN_Y" 'BEGIN { s = w / iw; print int(mx + s * px), int(my + h - s * py) }')"
    [ "$(count_colour_near "$1" "$sx" "$sy" 3 0 255 0 30)" -gt 0 ] || missing=$((missing + 1))
  done
  [ $missing -eq 0 ]
}

start_app
click_at 300 420
click_at 330 300
# An outline along image row 101, columns 101 to 201.
drag 2 $((MAIN_X + 101)) $((MAIN_Y + MAIN_H - 101)) $((MAIN_X + 201)) $((MAIN_Y + MAIN_H - 101)) 10 0.05
sleep 0.5
shot with_path
outline_along_row with_path 512 101 105 195 || fail "the middle-button outline is not drawn"
[ "$(path_pixels with_path)" -ge 40 ] || fail "the two clicked points are not drawn"
main_selection main
lines_before=$(cat "$scratch/out" "$scratch/err" | wc -l)

# Escape: the dialog goes, nothing changes.
if open_dialog; then
  xdotool key Escape
  wait_until 30 dialog_gone || fail "Escape did not close the dialog"
  sleep 0.5
  size_is 512x602 || fail "after a cancelled dialog the window is ${MAIN_W}x${MAIN_H}"
  shot cancelled
  n=$(count_differing with_path cancelled main)
  [ "$n" -eq 0 ] || fail "$n pixels of the main window changed after a cancelled dialog"
  lines=$(cat "$scratch/out" "$scratch/err" | wc -l)
  [ "$lines" -eq "$lines_before" ] || fail "a cancelled dialog printed: $(tail -n $((lines - lines_before)) "$scratch/err")"
fi

# 1600 x 1200: both sides over 1024, so 1024 x 768.
if choose_file "$scratch/input_wide.png"; then
  wait_for_line "$scratch/err" "file loaded: .*input_wide.png \(1600x1200\)" 30 ||
    fail "no load line for the 1600x1200 photograph: $(cat "$scratch/err")"
  wait_until 30 size_is 1024x768 || fail "a 1600x1200 photograph gives a ${MAIN_W}x${MAIN_H} window, not 1024x768"
  [ "$PANEL_X,$PANEL_Y" = "1044,0" ] || fail "the panel is at $PANEL_X,$PANEL_Y, not beside the window at 1044,0"
  shot_until 10 wide shows_file wide "$scratch/input_wide.png" || fail "the main window does not show the 1600x1200 photograph"
  n=$(path_pixels wide)
  [ "$n" -eq 0 ] || fail "$n path-point pixels after loading: the path was not emptied"
  n=$(count_colour_in_main wide 0 255 0 30)
  [ "$n" -eq 0 ] || fail "$n outline-green pixels stay after loading a photograph"
  grep -q "input image loaded" <(tail -n +$((lines_before + 1)) "$scratch/err") &&
    fail "\"input image loaded\" printed by Load Image"
fi

# 800 x 600: under the cap, so 800 x 600.
if choose_file "$scratch/input_small.png"; then
  wait_for_line "$scratch/err" "file loaded: .*input_small.png \(800x600\)" 30 ||
    fail "no load line for the 800x600 photograph"
  wait_until 30 size_is 800x600 || fail "an 800x600 photograph gives a ${MAIN_W}x${MAIN_H} window"
  shot_until 10 small shows_file small "$scratch/input_small.png" || fail "the main window does not show the 800x600 photograph"
fi

finish
