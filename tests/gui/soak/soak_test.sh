#!/usr/bin/env bash
# Two minutes of random use of the whole tool, meant for the sanitizer build:
# clicks and right clicks on the photograph, brush strokes, simulation and
# "Dewethering" on and off, Init, and loads of good and hostile files (photographs
# and masks) through the dialog. Then: no sanitizer report, the tool still
# answers, and its peak memory is within three times that of a quiet run.
#   soak_test.sh <weathering binary> <repository root> [seconds, default 120]
# SOAK_SEED picks the sequence (it is printed, to repeat a run).
source "$(dirname "$0")/../e2e/lib.sh"
seconds=${3:-120}
seed=${SOAK_SEED:-$((RANDOM * 32768 + RANDOM))}
echo "soak: $seconds s, SOAK_SEED=$seed"
RANDOM=$seed

# Memory errors and undefined behaviour end the tool with a report; leaks are
# left to the unit tests (GTK and the GL driver keep memory to the end). A small
# quarantine keeps the peak memory about the tool's own.
export ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=32:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1

files="$scratch/files"
mkdir -p "$files"
convert -size 640x480 gradient:'rgb(255,128,0)-rgb(0,64,192)' "$files/photo_640.png"
convert -size 300x200 gradient:'rgb(0,160,80)-rgb(200,200,40)' "$files/photo_300.jpg"
convert -size 100x100 xc:white -fill black -draw "rectangle 0,0 49,99" "$files/mask_100.png"
cp "$E2E_ROOT/images/image1.jpg" "$files/door.jpg"
cp "$E2E_ROOT/tests/data/hostile/jpeg-16385x8-one-too-wide.jpg" "$files/wide.jpg"
cp "$E2E_ROOT/tests/data/cmyk-red-over-blue.jpg" "$files/cmyk.jpg"
hostile=("$E2E_ROOT"/tests/data/hostile/fuzz-*.{ppm,xpm})
for i in 1 2 3; do
  pick=${hostile[$((RANDOM % ${#hostile[@]}))]}
  cp "$pick" "$files/hostile_$i.${pick##*.}"
done
cp "$(ls "$E2E_ROOT"/tests/data/hostile/fuzz-crash-*.xpm | head -n 1)" "$files/crasher.xpm"
photographs=("$files"/photo_640.png "$files"/photo_300.jpg "$files"/door.jpg "$files"/wide.jpg "$files"/cmyk.jpg
             "$files"/hostile_* "$files"/crasher.xpm)
masks=("$files"/mask_100.png "$files"/door.jpg "$files"/crasher.xpm)

peak_rss_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$app_pid/status"; }

sanitizer_report() { grep -E "ERROR: AddressSanitizer|runtime error:|SUMMARY: (Address|Undefined)" "$scratch/err"; }

# A point inside the main window (screen coordinates), clear of the panel.
random_main_point() {
  local w=$MAIN_W
  [ $((MAIN_X + w)) -le "$PANEL_X" ] || w=$((PANEL_X - MAIN_X))
  echo $((MAIN_X + 10 + RANDOM % (w - 20))) $((MAIN_Y + 10 + RANDOM % (MAIN_H - 20)))
}

# Loads a file with the button at the panel position, then closes any dialog
# left over (a load that fails keeps nothing open; this is for safety).
load_through_dialog() {  # load_through_dialog <file> <panel dx> <panel dy>
  echo "  load $(basename "$1") with the button at $2,$3"
  choose_file "$1" "$2" "$3"
  if dialog_up; then xdotool key Escape; wait_until 10 dialog_gone; fi
  wait_until 30 read_geometry
}

one_random_operation() {
  local x y x1 y1
  read_geometry || return 0
  read -r x y <<<"$(random_main_point)"
  case $((RANDOM % 12)) in
  0 | 1) panel_click "${RADIO_POINTS[@]}"; click_at "$x" "$y" 1 ;;
  2) click_at "$x" "$y" 3 ;;
  3 | 4)
    panel_click "${RADIO_BRUSH[@]}"
    read -r x1 y1 <<<"$(random_main_point)"
    drag 1 "$x" "$y" "$x1" "$y1" 8 0.05
    ;;
  5) panel_click "${ENABLE_SIMULATION[@]}"; sleep 1 ;;
  6) panel_click "${DEWETHERING[@]}" ;;
  7) panel_click "${INIT[@]}" ;;
  8) drag 2 "$x" "$y" $((x + 30)) $((y + 20)) 4 0.05 ;;
  9) load_through_dialog "${photographs[$((RANDOM % ${#photographs[@]}))]}" "${LOAD_IMAGE[@]}" ;;
  10) load_through_dialog "${masks[$((RANDOM % ${#masks[@]}))]}" "${LOAD_MASK[@]}" ;;
  11) panel_click "${PANEL_REST[@]}"; sleep 0.5 ;;
  esac
}

# The quiet run: the tool up with its default photograph, idle for a while.
start_app
sleep 10
quiet_kb=$(peak_rss_kb)
stop_app
echo "quiet run: peak RSS $((quiet_kb / 1024)) MB"

start_app
operations=0
deadline=$((SECONDS + seconds))
while [ $SECONDS -lt $deadline ] && app_running; do
  one_random_operation
  operations=$((operations + 1))
done
echo "soak: $operations operations"

if ! app_running; then
  tool_bug "the tool ended during the soak: $(tail -n 20 "$scratch/err")"
  app_pid=""
else
  soak_kb=$(peak_rss_kb)
  echo "soak run: peak RSS $((soak_kb / 1024)) MB"
  # Twice the quiet run for the tool itself, and as much again for the undo history: it
  # keeps every step of a long random session on this small photograph (a whole-picture
  # step of it takes megabytes, its budget a gigabyte), so some sequences fill 200 MB.
  [ "$soak_kb" -le $((3 * quiet_kb)) ] ||
    fail "peak RSS $((soak_kb / 1024)) MB, more than three times the quiet run's $((quiet_kb / 1024)) MB"
  # It answers: back to the default photograph, which it shows.
  load_through_dialog "$files/door.jpg" "${LOAD_IMAGE[@]}"
  wait_for_line "$scratch/err" "file loaded: .*door.jpg \(512x602\)" 30 || tool_bug "the tool no longer loads"
  shot_until 20 final main_shows_picture || tool_bug "the main window shows no picture after the soak"
fi
report=$(sanitizer_report)
[ -z "$report" ] || tool_bug "sanitizer report: $report"
echo "decoder failures contained: $(grep -c "the decoder crashed\|took longer\|needs more" "$scratch/err")," \
  "refused: $(grep -c "refused" "$scratch/err"), loaded: $(grep -c "file loaded" "$scratch/err")"
finish
