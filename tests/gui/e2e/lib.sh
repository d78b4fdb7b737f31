# Helpers shared by the end-to-end scripts. A script sources this file and
# passes on its own arguments: <weathering binary> <repository root>.
# Geometry is in screen pixels unless a name says otherwise.
set -uo pipefail

E2E_BINARY=$1
E2E_ROOT=$2
E2E_NAME=$(basename "$0" .sh)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/weathering-e2e-$E2E_NAME.XXXXXX")
app_pid=""
own_xvfb=""
failures=0
source "$(dirname "${BASH_SOURCE[0]}")/../xdisplay.sh"

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# A check that fails because of a fault in the tool rather than in the test.
tool_bug() { echo "FAIL (tool bug): $*"; failures=$((failures + 1)); }

cleanup() {
  stop_app
  # E2E_KEEP=1 keeps the screenshots of a passing run too.
  release_display_and_scratch "${E2E_KEEP:-}"
}
trap cleanup EXIT

# The tool reports OpenGL errors on its standard output.
check_console() {
  if grep -q "OpenGL Error" "$scratch/out" 2>/dev/null; then
    fail "OpenGL errors reported: $(grep -m 3 "OpenGL Error" "$scratch/out")"
  fi
}

# Ends the script; its status is the number of failed checks.
finish() {
  check_console
  if [ -n "$app_pid" ] && ! app_running; then
    wait "$app_pid"
    fail "the tool ended by itself with status $?: $(tail -n 3 "$scratch/err")"
    app_pid=""
  fi
  [ "$failures" -eq 0 ] && echo "$E2E_NAME: all checks passed"
  exit "$failures"
}

ensure_display 1600x1200
export GSETTINGS_BACKEND=${GSETTINGS_BACKEND:-memory}
export LIBGL_ALWAYS_SOFTWARE=${LIBGL_ALWAYS_SOFTWARE:-1}

# --- windows ---------------------------------------------------------------

# Prints "x y w h" of a mapped top-level window: by name, or the nameless one
# that is at least 64 pixels wide (GTK adds tiny nameless helper windows).
window_geometry() {  # window_geometry <name or empty>
  local id info
  for id in $(xwininfo -root -children | awk -v name="$1" '
      name == "" && /\(has no name\): \(\)/ { print $1 }
      name != "" && index($0, "\"" name "\": (") { print $1 }'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    info=$(awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
                /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 }
                END { if (name != "" || w >= 64) print x, y, w, h }' name="$1" <<<"$info")
    [ -n "$info" ] || continue
    echo "$info"
    return 0
  done
  return 1
}

# Sets MAIN_X MAIN_Y MAIN_W MAIN_H and PANEL_X PANEL_Y PANEL_W PANEL_H.
read_geometry() {
  local main panel
  main=$(window_geometry "") && [ -n "$main" ] || return 1
  panel=$(window_geometry "GLUI") && [ -n "$panel" ] || return 1
  read -r MAIN_X MAIN_Y MAIN_W MAIN_H <<<"$main"
  read -r PANEL_X PANEL_Y PANEL_W PANEL_H <<<"$panel"
}

# True once the main window shows something other than black.
main_shows_picture() {
  read_geometry || return 1
  local mean
  mean=$(import -window root -crop 64x64+$((MAIN_X + 100))+$((MAIN_Y + 100)) -format '%[fx:mean]' info: 2>/dev/null)
  awk -v m="${mean:-0}" 'BEGIN { exit !(m > 0.05) }'
}

# Starts the tool in the repository root (or in $E2E_START_DIR) with its
# console going to $scratch/out and $scratch/err, and waits until both windows
# are up and the default photograph and mask are loaded and shown.
start_app() {
  check_console
  : >"$scratch/out"
  : >"$scratch/err"
  (cd "${E2E_START_DIR:-$E2E_ROOT}" && exec "$E2E_BINARY" >"$scratch/out" 2>"$scratch/err") &
  app_pid=$!
  if ! wait_until 60 read_geometry; then fail "the two windows did not appear"; finish; fi
  if ! wait_until 60 grep -q 'file loaded: image1_mask.jpg' "$scratch/err"; then
    fail "the default mask was not loaded: $(cat "$scratch/err")"
    finish
  fi
  if ! wait_until 60 main_shows_picture; then fail "the main window stays black"; finish; fi
  # Let the panel draw its first frames (it lays itself out over a few).
  sleep 0.5
  read_geometry
}

app_running() { [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; }

stop_app() {
  [ -n "$app_pid" ] || return 0
  kill "$app_pid" 2>/dev/null
  wait "$app_pid" 2>/dev/null
  app_pid=""
}

# Waits for the tool to end by itself; sets EXIT_STATUS to its exit status,
# or to "running" when it is still up after the given time.
wait_for_exit() {  # wait_for_exit <seconds>
  EXIT_STATUS=running
  wait_until "$1" bash -c "! kill -0 $app_pid 2>/dev/null" || return 1
  wait "$app_pid"
  EXIT_STATUS=$?
  app_pid=""
}

wait_for_line() {  # wait_for_line <file> <extended regex> <seconds>
  wait_until "$3" grep -Eq "$2" "$1"
}

# --- input ------------------------------------------------------------------

# Window pixel (x, y) of the main window, counted from its top-left corner,
# to screen coordinates.
main_x() { echo $((MAIN_X + $1)); }
main_y() { echo $((MAIN_Y + $1)); }

click_at() {  # click_at <screen x> <screen y> [button]
  xdotool mousemove "$1" "$2"
  sleep 0.15
  xdotool click "${3:-1}"
  sleep 0.15
}

# Panel controls by their position relative to the panel's top-left corner.
# The pointer rests first so that the panel draws a frame with it hovering.
panel_click() {  # panel_click <dx> <dy>
  xdotool mousemove $((PANEL_X + $1)) $((PANEL_Y + $2))
  sleep 0.3
  xdotool click 1
  sleep 0.3
}

# Drags with a button from one screen position to another in steps.
drag() {  # drag <button> <x0> <y0> <x1> <y1> <steps> <pause between steps>
  local button=$1 x0=$2 y0=$3 x1=$4 y1=$5 steps=$6 pause=$7 i
  xdotool mousemove "$x0" "$y0"
  sleep 0.2
  xdotool mousedown "$button"
  sleep 0.2
  for i in $(seq 1 "$steps"); do
    xdotool mousemove $((x0 + (x1 - x0) * i / steps)) $((y0 + (y1 - y0) * i / steps))
    sleep "$pause"
  done
  sleep 0.2
  xdotool mouseup "$button"
  sleep 0.2
}

# Keys go to the window under the pointer (there is no window manager).
key_in_main() {  # key_in_main <xdotool key name>
  xdotool mousemove "$(main_x 200)" "$(main_y 300)"
  sleep 0.2
  xdotool key "$1"
}

# --- pictures ---------------------------------------------------------------
# Pictures are whole-screen screenshots; selections are black-and-white
# pictures of the same size that say which pixels a comparison looks at.

shot() {  # shot <name>: screenshot to $scratch/<name>.png
  import -window root "$scratch/$1.png"
}

screen_size() { xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print s[1], s[2]; exit }'; }

# White over a rectangle (corners inclusive), black elsewhere.
box_selection() {  # box_selection <result name> <x0> <y0> <x1> <y1>
  local w h
  read -r w h <<<"$(screen_size)"
  convert -size "${w}x${h}" xc:black -fill white -draw "rectangle $2,$3 $4,$5" "$scratch/$1.png"
}

main_selection() {  # main_selection <result name>: the main window
  box_selection "$1" "$MAIN_X" "$MAIN_Y" $((MAIN_X + MAIN_W - 1)) $((MAIN_Y + MAIN_H - 1))
}

# The default mask where the photograph shows it: white where the mask selects
# "in" (may weather) or "out" (must stay), shrunk by a margin in pixels so
# that pixels at the mask's borders count for neither; black off the window.
mask_selection() {  # mask_selection <in|out> <margin> <result name>
  local negate="" w h
  [ "$1" = out ] && negate="-negate"
  read -r w h <<<"$(screen_size)"
  convert -size "${w}x${h}" xc:black \
    \( "$E2E_ROOT/images/image1_mask.jpg" -colorspace Gray -threshold 50% $negate \
       -morphology Erode "Disk:$2" \) \
    -geometry "$(printf '%+d%+d' "$MAIN_X" "$MAIN_Y")" -compose over -composite "$scratch/$3.png"
}

# Blackens discs of a selection: <radius> then centres as x,y.
punch_discs() {  # punch_discs <selection name> <radius> <x,y>...
  local name=$1 r=$2 draw="" c
  shift 2
  for c in "$@"; do draw="$draw circle $c ${c%,*},$((${c#*,} + r))"; done
  convert "$scratch/$name.png" -fill black -draw "$draw" "$scratch/$name.png"
}

# The complement of a selection within another.
selection_minus() {  # selection_minus <within> <remove> <result name>
  convert "$scratch/$1.png" \( "$scratch/$2.png" -negate \) -compose multiply -composite "$scratch/$3.png"
}

count_selected() {  # count_selected <selection name>
  convert "$scratch/$1.png" -format '%[fx:round(mean * w * h)]' info:
}

# Number of pixels that differ at all between two pictures, counted only where
# the selection picture is white.
count_differing() {  # count_differing <a> <b> <selection>
  convert "$scratch/$1.png" "$scratch/$3.png" -compose multiply -composite "$scratch/_a.png"
  convert "$scratch/$2.png" "$scratch/$3.png" -compose multiply -composite "$scratch/_b.png"
  compare -metric AE "$scratch/_a.png" "$scratch/_b.png" null: 2>&1 | awk '{ printf "%d\n", $1 }'
}

# Pixels of a picture as "x y r g b" lines (0..255), optionally of a crop
# given as "w h x y"; x and y stay those of the whole picture.
pixels() {  # pixels <name> [w h x y]
  if [ $# -eq 5 ]; then
    convert "$scratch/$1.png" -alpha off -crop "${2}x${3}+$4+$5" -depth 8 txt:- |
      awk -v dx="$4" -v dy="$5" 'NR > 1 { gsub(/[(),:]/, " "); print $1 + dx, $2 + dy, $3, $4, $5 }'
  else
    convert "$scratch/$1.png" -alpha off -depth 8 txt:- |
      awk 'NR > 1 { gsub(/[(),:]/, " "); print $1, $2, $3, $4, $5 }'
  fi
}

# Number of pixels within <tol> (per channel) of a colour at a distance from
# (cx, cy) between r0 and r1 inclusive.
count_colour_in_ring() {  # <name> <cx> <cy> <r0> <r1> <r> <g> <b> <tol>; centre and radii may be fractions
  local box
  box=$(awk -v cx="$2" -v cy="$3" -v r="$5" 'BEGIN {
    x = int(cx - r - 2); y = int(cy - r - 2); if (x < 0) x = 0; if (y < 0) y = 0
    print int(2 * r + 5), int(2 * r + 5), x, y }')
  # shellcheck disable=SC2086
  pixels "$1" $box |
    awk -v cx="$2" -v cy="$3" -v r0="$4" -v r1="$5" -v r="$6" -v g="$7" -v b="$8" -v t="$9" '
      function near(u, v) { return u - v <= t && v - u <= t }
      { d = sqrt(($1 - cx) ^ 2 + ($2 - cy) ^ 2) }
      d >= r0 && d <= r1 && near($3, r) && near($4, g) && near($5, b) { n++ }
      END { print n + 0 }'
}

# Number of pixels within a colour distance <tol> (0..255 scale) of a colour
# in a box.
count_colour_in_box() {  # <name> <x> <y> <w> <h> <r> <g> <b> <tol>
  local colour="rgb($6,$7,$8)" fuzz
  fuzz=$(awk -v t="$9" 'BEGIN { print t / 2.55 }')
  convert "$scratch/$1.png" -alpha off -crop "${4}x${5}+$2+$3" +repage -fuzz "$fuzz%" \
    -fill black +opaque "$colour" -fill white -opaque "$colour" -format '%[fx:round(mean * w * h)]' info:
}

# The same in the square of half-size <half> around a pixel.
count_colour_near() {  # <name> <cx> <cy> <half> <r> <g> <b> <tol>
  count_colour_in_box "$1" $(($2 - $4)) $(($3 - $4)) $((2 * $4 + 1)) $((2 * $4 + 1)) "$5" "$6" "$7" "$8"
}

# The same over the whole main window.
count_colour_in_main() {  # <name> <r> <g> <b> <tol>
  local x0=$((MAIN_X < 0 ? 0 : MAIN_X)) y0=$((MAIN_Y < 0 ? 0 : MAIN_Y))
  count_colour_in_box "$1" "$x0" "$y0" $((MAIN_X + MAIN_W - x0)) $((MAIN_Y + MAIN_H - y0)) "$2" "$3" "$4" "$5"
}

# Takes screenshots until a check on one passes; the last one stays <name>.
shot_until() {  # shot_until <seconds> <name> <command...>
  local seconds=$1
  SHOT_NAME=$2
  shift 2
  wait_until "$seconds" _shot_and_check "$@"
}
_shot_and_check() { shot "$SHOT_NAME" && "$@"; }

# --- panel ------------------------------------------------------------------

# Panel control positions relative to the panel's top-left corner (measured
# from screenshots of the default layout).
LOAD_IMAGE=(118 41)
LOAD_MASK=(118 63)
INIT=(118 86)
RADIO_POINTS=(28 132)
RADIO_BRUSH=(28 155)
BRUSH_SLIDER_Y=201
SPEED_SLIDER_Y=249
SLIDER_LEFT=24
SLIDER_RIGHT=212
DEWETHERING=(28 299)
ENABLE_SIMULATION=(28 322)
SAVE_IMAGE=(118 371)
SAVE_DEGREES=(118 394)
PANEL_REST=(230 338)  # an empty corner of the panel: nothing hovers there

# --- the file dialog ----------------------------------------------------------

DIALOG="Select input file"
dialog_id() { xdotool search --name "^$DIALOG\$" 2>/dev/null | head -n 1; }
# One look-up: a second one may find the dialog gone, and xwininfo without an
# id waits for a click.
dialog_up() {
  local id
  id=$(dialog_id)
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable
}
dialog_gone() { ! dialog_up; }

# Opens the dialog with a panel button ("Load Image" unless given) and puts
# the pointer and the keyboard focus on it; ends the test when no dialog
# comes up.
open_dialog() {  # open_dialog [panel dx dy]
  if [ $# -eq 2 ]; then panel_click "$1" "$2"; else panel_click "${LOAD_IMAGE[@]}"; fi
  if ! wait_until 30 dialog_up; then
    fail "the panel button opened no \"$DIALOG\" window"
    finish
  fi
  local id geometry
  id=$(dialog_id)
  geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print x + int(w / 2), y + int(h / 2) }')
  # shellcheck disable=SC2086
  xdotool mousemove $geometry
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 1
}

# Chooses a file by typing its path; "Load Image" unless another button is given.
choose_file() {  # choose_file <path> [panel dx dy]
  open_dialog "${@:2}" || return 1
  xdotool key ctrl+l
  sleep 0.5
  xdotool type --delay 20 "$1"
  sleep 0.5
  xdotool key Return
  wait_until 30 dialog_gone || fail "the dialog did not close after choosing $1"
}

# True when the check box at a panel position shows its tick.
ticked() {  # ticked <screenshot name> <dx> <dy>
  local n
  n=$(pixels "$1" 11 11 $((PANEL_X + $2 - 5)) $((PANEL_Y + $3 - 5)) |
    awk '$5 > 200 && $3 < 120 { n++ } END { print n + 0 }')
  [ "$n" -ge 5 ]
}
