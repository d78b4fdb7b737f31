#!/usr/bin/env bash
# Start-up without the default photograph, with one it refuses, and with a large
# one and a mask of another size: the tool keeps going, sizes its window by the
# 1024 rule, says what it refused or scaled, and quits cleanly.
#   startup_test.sh <weathering binary> <repository root>
set -uo pipefail
binary="$1"
root="$2"
scratch=$(mktemp -d)
app=""
own_xvfb=""
failures=0
source "$(dirname "$0")/../xdisplay.sh"
cleanup() {
  [ -z "$app" ] || kill "$app" 2>/dev/null
  release_display_and_scratch ""
}
trap cleanup EXIT
ensure_display 1600x1200
export GSETTINGS_BACKEND=${GSETTINGS_BACKEND:-memory}
export LIBGL_ALWAYS_SOFTWARE=${LIBGL_ALWAYS_SOFTWARE:-1}

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The size of the tool's nameless top-level window, as "WxH".
main_window_size() {
  xwininfo -root -tree | awk '/\(has no name\): \(\)/ { split($6, s, "+"); print s[1]; exit }'
}

panel_position() {
  xwininfo -root -tree | awk '/"GLUI": \(\)/ { split($4, s, "+"); print s[2] "," s[3]; exit }'
}

panel_is_up() { [ -n "$(panel_position)" ]; }

start_in() {  # start_in <directory>
  (cd "$1" && exec "$binary" >"$scratch/out" 2>"$scratch/err") &
  app=$!
  wait_until 30 panel_is_up || fail "no control panel window appeared"
  sleep 0.5
}

quit_with() {  # quit_with <key>; checks exit status 0
  # Without a window manager the keyboard follows the pointer. The panel may
  # overlap the main window's top left (it sits 20 pixels right of the
  # photograph's width), so aim at the main window's bottom left corner.
  local height
  height=$(main_window_size | cut -dx -f2)
  xdotool mousemove 5 $((height - 5))
  sleep 0.3
  xdotool key "$1"
  wait_until 10 bash -c "! kill -0 $app 2>/dev/null" || fail "$1 did not quit"
  wait "$app"
  local status=$?
  [ "$status" -eq 0 ] || fail "exit status $status after $1"
  app=""
}

# 1. No default photograph anywhere (the program and its decoder copied to a
# folder with no images beside them): both loader lines, a 512 x 512 window, the
# panel 20 pixels right of it, and clicks and keys on the empty window do no harm.
mkdir -p "$scratch/a/b/c/empty" "$scratch/bin"
cp "$binary" "$(dirname "$binary")/weathering-decode" "$scratch/bin/"
built=$binary
binary=$scratch/bin/$(basename "$built")
start_in "$scratch/a/b/c/empty"
binary=$built
grep -qx "file not found: ./images/image1.jpg" "$scratch/out" || fail "no 'file not found' line for the photograph"
grep -qx "ImageIO::load: cannot open file: ./images/image1.jpg" "$scratch/err" || fail "no 'cannot open file' line"
[ "$(main_window_size)" = "512x512" ] || fail "empty window is $(main_window_size), not 512x512"
[ "$(panel_position)" = "532,0" ] || fail "panel at $(panel_position), not 532,0"
xdotool mousemove 100 100 click 1 click 3 mousedown 2 mousemove 120 140 mouseup 2
sleep 0.5
kill -0 "$app" 2>/dev/null || fail "clicks on the empty window ended the tool"
grep -q "input image loaded" "$scratch/err" && fail "claims an image was loaded"
quit_with Escape

# 2. A 2048 x 1536 photograph gets a 1024 x 768 window; a mask of the default
# size is reported with one line and the tool goes on.
mkdir -p "$scratch/big/images"
convert -size 2048x1536 gradient:white-gray40 "$scratch/big/images/image1.jpg"
convert -size 512x602 xc:white "$scratch/big/images/image1_mask.jpg"
start_in "$scratch/big"
grep -qx "ImageIO::load: file loaded: ./images/image1.jpg (2048x1536)" "$scratch/err" || fail "no load line for the big photograph"
grep -qx "input image loaded" "$scratch/err" || fail "no 'input image loaded' line"
[ "$(main_window_size)" = "1024x768" ] || fail "big photograph window is $(main_window_size), not 1024x768"
[ "$(panel_position)" = "1044,0" ] || fail "panel at $(panel_position), not 1044,0"
[ "$(grep -cx "mask 512x602 scaled to the photograph's 2048x1536" "$scratch/err")" -eq 1 ] ||
  fail "expected one line saying the mask was scaled: $(cat "$scratch/err")"
grep -q "^mask has" "$scratch/err" && fail "the mask was applied unscaled: $(grep "^mask has" "$scratch/err")"
quit_with q

# 3. A default photograph the tool refuses (16385 pixels wide, one more than it
# accepts): the same empty 512 x 512 window as without one, and the reason in
# one line.
mkdir -p "$scratch/refused/images"
cp "$root/tests/data/hostile/jpeg-16385x8-one-too-wide.jpg" "$scratch/refused/images/image1.jpg"
start_in "$scratch/refused"
grep -qx "ImageIO::load: refused ./images/image1.jpg: its size 16385x8 is beyond the largest accepted size 16384x16384" \
  "$scratch/err" || fail "no refusal line for the 20000 x 20000 photograph: $(cat "$scratch/err")"
[ "$(main_window_size)" = "512x512" ] || fail "refused photograph window is $(main_window_size), not 512x512"
[ "$(panel_position)" = "532,0" ] || fail "panel at $(panel_position), not 532,0"
grep -q "input image loaded" "$scratch/err" && fail "claims the refused image was loaded"
quit_with q

if [ $failures -eq 0 ]; then echo "startup: all checks passed"; fi
exit $failures
