#!/usr/bin/env bash
# The main window for tiny, ordinary, large and over-the-screen photographs on a
# 1600 x 1200 screen: small ones magnified by a whole factor and shown sharp,
# ones larger than the screen scaled down with their aspect, every other size as
# before; the panel 20 pixels right of the main window and on the screen, moved
# there again by a load that changes the window; the panel's bottom line says
# what a load did, a failure in red.
#   window_sizes_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"

# Starts the tool on a photograph given on the command line.
start_with() {  # start_with <photograph>
  check_console
  : >"$scratch/out"
  : >"$scratch/err"
  (cd "$E2E_ROOT" && exec "$E2E_BINARY" "$1" >"$scratch/out" 2>"$scratch/err") &
  app_pid=$!
  wait_until 60 grep -q 'input image loaded' "$scratch/err" || { fail "$1 was not loaded: $(tail -2 "$scratch/err")"; return 1; }
  wait_until 30 read_geometry || { fail "the windows did not appear for $1"; return 1; }
  sleep 1.5  # the fitted size arrives after the first reshape
  read_geometry
}

expect_window() {  # expect_window <photograph> <width> <height>
  start_with "$scratch/$1.png" || { stop_app; return; }
  [ "$MAIN_W" -eq "$2" ] && [ "$MAIN_H" -eq "$3" ] ||
    fail "a $1 photograph opens a ${MAIN_W}x${MAIN_H} window, not $2x$3"
  if [ $((MAIN_W + 20 + PANEL_W)) -le 1600 ]; then
    [ "$PANEL_X" -eq $((MAIN_W + 20)) ] && [ "$PANEL_Y" -le 0 ] ||
      fail "with a $1 photograph the panel is at ($PANEL_X, $PANEL_Y), not ($((MAIN_W + 20)), 0)"
  else
    # Kept on the screen, placed before it sized itself to its content.
    [ $((PANEL_X + PANEL_W)) -le 1600 ] && [ $((PANEL_X + PANEL_W)) -ge 1570 ] && [ "$PANEL_Y" -le 0 ] ||
      fail "with a $1 photograph the panel at ($PANEL_X, $PANEL_Y), ${PANEL_W} wide, is not at the screen's right edge"
  fi
}

convert -size 1x1 xc:'rgb(200,60,40)' "$scratch/1x1.png"
convert -size 1x1 xc:black -size 1x1 xc:white +append "$scratch/2x1.png"
convert -size 100x40 gradient:navy-orange "$scratch/100x40.png"
convert -size 300x200 plasma:fractal "$scratch/300x200.png"
convert -size 2000x1500 gradient:gray20-gray80 "$scratch/2000x1500.png"
convert -size 1000x3000 gradient:teal-tan "$scratch/1000x3000.png"
convert -size 3000x1000 gradient:teal-tan "$scratch/3000x1000.png"

expect_window 1x1 512 512
stop_app
expect_window 100x40 500 200
stop_app
expect_window 300x200 300 200
stop_app
expect_window 2000x1500 1024 768
stop_app
expect_window 1000x3000 400 1200
stop_app
expect_window 3000x1000 1600 533
stop_app

# A magnified photograph is shown sharp: black and white meet in one column.
expect_window 2x1 512 256
shot two_pixels
row=$(pixels two_pixels 12 1 $((MAIN_X + 250)) $((MAIN_Y + 128)) | awk '{ printf "%d ", $3 }')
read -r -a values <<<"$row"
blends=0
for v in "${values[@]}"; do [ "$v" -gt 20 ] && [ "$v" -lt 235 ] && blends=$((blends + 1)); done
[ "$blends" -le 1 ] && [ "${values[0]}" -le 20 ] && [ "${values[11]}" -ge 235 ] ||
  fail "the magnified 2 x 1 photograph is not sharp: $row"

# A larger photograph through "Load Image": the window grows, the panel follows,
# the panel's last line says what was loaded.
if choose_file "$scratch/2000x1500.png"; then
  sleep 1.5
  read_geometry
  [ "$MAIN_W" -eq 1024 ] || fail "after loading 2000 x 1500 the window is $MAIN_W wide"
  [ "$PANEL_X" -eq 1044 ] || fail "the panel did not move beside the larger window (x $PANEL_X)"
fi
panel_bottom() {  # panel_bottom <shot>: the lowest 40 rows of the panel
  convert "$scratch/$1.png" -crop "${PANEL_W}x40+${PANEL_X}+$((PANEL_Y + PANEL_H - 40))" +repage "$scratch/$1_bottom.png"
}
red_pixels() {  # red_pixels <picture>
  convert "$scratch/$1.png" -alpha off -fx '(r > 0.7 && g < 0.5 && b < 0.5) ? 1 : 0' -format '%[fx:round(mean * w * h)]' info:
}
shot loaded
panel_bottom loaded
[ "$(red_pixels loaded_bottom)" -eq 0 ] || fail "the line after a good load is red"

# A file that is no image: the photograph stays, the line is red.
echo "not an image" >"$scratch/broken.png"
if choose_file "$scratch/broken.png"; then
  sleep 1
  read_geometry
  shot broken
  panel_bottom broken
  n=$(red_pixels broken_bottom)
  [ "$n" -ge 30 ] || fail "a failed load shows no red line at the bottom of the panel ($n red pixels)"
  [ "$MAIN_W" -eq 1024 ] || fail "a failed load changed the window"
fi

finish
