# Drives openFileDialog() through the probe: choose a file by typing its path,
# accept the offered previous choice, cancel with Escape; then saveFileDialog():
# the folder and name it starts with, the type's extension added to a typed name
# and changed with the type chosen; checks the results,
# that the dialog leaves the screen at once, that the caller's directory, GLUT
# window and GL context come back, and that input sent to the GLUT window while
# the dialog was open is not replayed afterwards.
#
#   bash dialog_test.sh <dialog_probe binary>
#
# Uses the X display in $DISPLAY, or starts its own Xvfb when there is none.
# DIALOG_KEEP=1 keeps the screenshots and console of a passing run too.
set -uo pipefail

probe_binary=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/file-dialog-test.XXXXXX")
probe_pid=""
own_xvfb=""
failures=0
source "$(dirname "$0")/../xdisplay.sh"
dialog_name='^Select input file$'

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "  $*"; }

cleanup() {
  exec 3>&- 2>/dev/null
  if [ -n "$probe_pid" ] && kill -0 "$probe_pid" 2>/dev/null; then kill "$probe_pid"; fi
  release_display_and_scratch "${DIALOG_KEEP:-}"
}
trap cleanup EXIT

# Ends the script; its status is the number of failed checks.
finish() {
  if [ "$failures" -eq 0 ]; then
    echo "file dialog: all checks passed"
  else
    echo "--- probe stdout"; cat "$scratch/out"
    echo "--- probe stderr"; cat "$scratch/err"
  fi
  exit "$failures"
}

# A failure after which the remaining steps cannot run.
give_up() { fail "$*"; finish; }

# --- probe and dialog --------------------------------------------------------

probe_running() { kill -0 "$probe_pid" 2>/dev/null; }
dialog_window() { xdotool search --onlyvisible --name "$dialog_name" 2>/dev/null | head -n 1; }
dialog_visible() { [ -n "$(dialog_window)" ]; }
probe_window() { xdotool search --onlyvisible --name '^dialog probe$' 2>/dev/null | head -n 1; }
probe_window_visible() { [ -n "$(probe_window)" ]; }
chosen_count() { grep -c '^chosen:' "$scratch/out"; }
has_chosen_lines() { [ "$(chosen_count)" -ge "$1" ]; }
has_line() { grep -qx -- "$1" "$scratch/out"; }
nth_chosen() { grep '^chosen:' "$scratch/out" | sed -n "${1}p"; }

# Without a window manager the keyboard follows the pointer, so keys meant for
# the dialog need the pointer over it.
point_at_dialog() { xdotool mousemove --sync --window "$(dialog_window)" 300 300; }

wait_for_dialog() {  # wait_for_dialog <which>
  wait_until 30 dialog_visible || give_up "the $1 dialog did not appear"
  point_at_dialog
}

screenshot() { import -window root "$scratch/$1.png"; }

# Waits for the answer to dialog <n> and checks it is <expected line>.
expect_answer() {  # expect_answer <n> <expected line> <what>
  if ! wait_until 30 has_chosen_lines "$1"; then
    screenshot "unanswered-$1"
    give_up "dialog $1 ($3) gave no answer"
  fi
  local got
  got=$(nth_chosen "$1")
  [ "$got" = "$2" ] || fail "dialog $1 ($3): expected '$2', got '$got'"
}

# The GTK location entry inserts completions while a path is typed, and keys
# that race with one land after it ("/tmp/f" + "ile..." becomes "/tmp/file-...ile...").
# A leading "x" makes the text a path that matches nothing while it is typed;
# deleting it afterwards leaves the exact path, which needs no completion.
type_path() {
  xdotool type --delay 30 "x$1"
  xdotool key Home Delete End
}

# --- scenario ----------------------------------------------------------------

ensure_display 1280x1024
export GSETTINGS_BACKEND=memory
export LIBGL_ALWAYS_SOFTWARE=${LIBGL_ALWAYS_SOFTWARE:-1}
# Keeps GTK's recent-files list and bookmarks out of the user's home.
export XDG_DATA_HOME="$scratch/xdg-data" XDG_CONFIG_HOME="$scratch/xdg-config"

mkdir -p "$scratch/work" "$scratch/pics" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
: >"$scratch/work/notes.txt"
: >"$scratch/pics/another.jpg"
chosen_file="$scratch/pics/chosen-one.png"
convert -size 8x8 xc:gray "$chosen_file"

# The probe waits for a line here before each dialog after the first.
mkfifo "$scratch/go"
exec 3<>"$scratch/go"
: >"$scratch/out"
: >"$scratch/err"
"$probe_binary" "$scratch/work" 3 <&3 >"$scratch/out" 2>"$scratch/err" &
probe_pid=$!

note "dialog 1: type the path of an existing file"
wait_for_dialog first
screenshot dialog-1
xdotool key ctrl+l
type_path "$chosen_file"
xdotool key Return
expect_answer 1 "chosen: $chosen_file" "typed path"
# The probe now blocks on its input, so nothing but openFileDialog() itself
# could have taken the dialog off the screen.
probe_running || give_up "the probe ended after the first dialog"
dialog_visible && fail "the dialog is still on screen after the choice"

note "dialog 2: the previous choice is offered; accept it as it is"
echo go >&3
wait_for_dialog second
screenshot dialog-2
xdotool key Return
expect_answer 2 "chosen: $chosen_file" "offered previous choice"

note "dialog 3: click and type into the GLUT window meanwhile, then Escape"
echo go >&3
wait_for_dialog third
wait_until 10 probe_window_visible || give_up "the probe window is not on screen"
xdotool mousemove --sync --window "$(probe_window)" 11 12 click 1
xdotool key z
point_at_dialog
xdotool key Escape
expect_answer 3 "chosen:" "Escape"

wait_until 10 has_line dialogs-done || give_up "the probe did not finish its dialogs"
for restored in cwd window context; do
  has_line "$restored-restored: yes" || fail "$restored not restored: $(grep "^$restored-restored" "$scratch/out")"
done

note "after the dialogs: a fresh click must be the first input the probe sees"
xdotool mousemove --sync --window "$(probe_window)" 40 50 click 3
wait_until 30 has_line "mouse: button 2 down at 40 50" || give_up "the probe did not see the right click after the dialogs"
first_input=$(grep -m 1 -E '^(mouse|key):' "$scratch/out")
[ "$first_input" = "mouse: button 2 down at 40 50" ] ||
  fail "input from while the dialog was open was replayed: $first_input"
grep -q '^key:' "$scratch/out" && fail "keys from while the dialog was open were replayed"

wait_until 30 eval '! probe_running' || give_up "the probe did not exit after the click"
wait "$probe_pid"
status=$?
probe_pid=""
[ "$status" -eq 0 ] || fail "the probe exited with status $status"
# The location entry's completer asserts on every key while the typed folder
# does not exist (the leading "x" above); that one is GTK's own business.
complaints=$(grep -E 'CRITICAL|WARNING|X Error|unavailable' "$scratch/err" | grep -v 'gtk_tree_model_get_iter_first')
[ -z "$complaints" ] || fail "GTK or Xlib complained: $(head -n 3 <<<"$complaints")"

# --- the save chooser ---------------------------------------------------------

dialog_name='^Save Image$'
: >"$scratch/out"
: >"$scratch/err"
"$probe_binary" "$scratch/work" 3 save <&3 >"$scratch/out" 2>"$scratch/err" &
probe_pid=$!

note "save 1: it starts in the folder given, with the suggested name; accept it"
wait_for_dialog "first save"
screenshot save-1
xdotool key Return
expect_answer 1 "chosen: $scratch/work/door_weathered.png" "suggested name"

note "save 2: a name typed without extension takes the chosen type's (PNG, offered first)"
echo go >&3
wait_for_dialog "second save"
xdotool key ctrl+a
xdotool type --delay 30 plain
xdotool key Return
expect_answer 2 "chosen: $scratch/work/plain.png" "name without extension"

note "save 3: choosing JPEG in the type list renames the file to .jpg"
echo go >&3
wait_for_dialog "third save"
read -r dialog_w dialog_h <<<"$(xwininfo -id "$(dialog_window)" | awk '/^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print w, h }')"
# The type list sits at the bottom right, above the buttons.
xdotool mousemove --sync --window "$(dialog_window)" $((dialog_w - 109)) $((dialog_h - 70)) click 1
sleep 1
screenshot save-types
xdotool key Down Return
sleep 0.5
screenshot save-jpeg
point_at_dialog
xdotool key Return
expect_answer 3 "chosen: $scratch/work/door_weathered.jpg" "JPEG chosen"
wait_until 10 has_line dialogs-done || give_up "the probe did not finish its save dialogs"
xdotool mousemove --sync --window "$(probe_window)" 40 50 click 3
wait_until 30 eval '! probe_running' || give_up "the probe did not exit after the save dialogs"
wait "$probe_pid"
probe_pid=""
complaints=$(grep -E 'CRITICAL|WARNING|X Error|unavailable' "$scratch/err")
[ -z "$complaints" ] || fail "GTK or Xlib complained while saving: $(head -n 3 <<<"$complaints")"
finish
