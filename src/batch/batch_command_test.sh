#!/usr/bin/env bash
# weathering-batch as a script meets it: help and version, one line and the
# right exit status for each bad command line, no window-system libraries,
# progress only on a terminal, and Ctrl+C that leaves only whole frames.
#   batch_command_test.sh <weathering-batch binary> <repository root>
set -uo pipefail
batch=$1
root=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/weathering-batch-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
door="$root/images/image1.jpg"
mask="$root/images/image1_mask.jpg"
path="200,180 300,300 260,420"

"$batch" --help >"$scratch/help" 2>&1 || fail "--help exits with status $?"
grep -q -- "--frames" "$scratch/help" || fail "--help does not show the options: $(head -3 "$scratch/help")"
[ "$("$batch" --version)" = "weathering-batch $(sed -n 's/^project(weathering VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ] ||
  fail "--version says $("$batch" --version)"

# <expected status> <words the one line must contain> -- <arguments>
expect() {
  local status=$1 words=$2
  shift 3
  "$batch" "$@" >"$scratch/out" 2>"$scratch/err"
  local got=$?
  [ "$got" -eq "$status" ] || fail "$* exits with $got, not $status: $(cat "$scratch/err")"
  # The loader's own lines may come first; ours is one line, the last.
  [ "$(grep -c "^weathering-batch:" "$scratch/err")" -eq 1 ] || fail "$* prints: $(cat "$scratch/err")"
  tail -n 1 "$scratch/err" | grep -q "^weathering-batch: .*$words" || fail "$* says: $(cat "$scratch/err")"
  ! grep -v "^file not found: " "$scratch/out" || fail "$* prints on standard output: $(cat "$scratch/out")"
}
expect 2 "--colour.*(try --help)" -- "$door" --path "$path" --output "$scratch/o.png" --colour
expect 2 "PHOTO" -- --path "$path" --output "$scratch/o.png"
expect 2 "many" -- "$door" --path "$path" --output "$scratch/o.png" --steps many
expect 2 "--steps" -- "$door" --path "$path" --output "$scratch/o.png" --steps
expect 2 "bad point" -- "$door" --path "1,2 3;4" --output "$scratch/o.png"
expect 2 "two distinct points" -- "$door" --path "5,5 5,5" --output "$scratch/o.png"
expect 2 "outside the photograph" -- "$door" --path "1,1 1,602" --output "$scratch/o.png"
expect 2 "--every must be at least 1 (try --help)" -- "$door" --path "$path" --frames "$scratch/f0" --every 0
expect 2 "--steps must be at most 2147483647" -- "$door" --path "$path" --output "$scratch/o.png" --steps 99999999999999
expect 2 "nothing to write" -- "$door" --path "$path"
expect 2 "unknown file type" -- "$door" --path "$path" --output "$scratch/o.webp"
echo text >"$scratch/bad.jpg"
expect 1 "cannot load $scratch/bad.jpg" -- "$scratch/bad.jpg" --path "$path" --output "$scratch/o.png"
expect 1 "cannot load $scratch/none.jpg" -- "$door" --mask "$scratch/none.jpg" --path "$path" --output "$scratch/o.png"
touch "$scratch/file"
expect 1 "cannot make folder" -- "$door" --path "$path" --frames "$scratch/file/frames"
[ ! -e "$scratch/o.png" ] || fail "a failed run wrote $scratch/o.png"

# Headless: nothing of GL, GLUT, GTK or X11 is linked, directly or not.
if ldd "$batch" | grep -Ei 'libGL|glut|gtk|gdk|libX11|libxcb|ILUT'; then fail "weathering-batch links a window system"; fi

# Not a terminal: no progress output at all, and the frames are all there.
"$batch" "$door" --mask "$mask" --path "$path" --steps 4 --every 2 --frames "$scratch/frames" 2>"$scratch/err" ||
  fail "a good run exits with $?"
[ "$(ls "$scratch/frames")" = "$(printf 'frame_00000.png\nframe_00001.png\nframe_00002.png')" ] ||
  fail "frames: $(ls "$scratch/frames" | tr '\n' ' ')"
grep -q "steps/s" "$scratch/err" && fail "progress printed without a terminal"
expect 2 "already holds 3 frames; give --overwrite" -- "$door" --path "$path" --steps 2 --frames "$scratch/frames"
"$batch" "$door" --path "$path" --steps 2 --every 2 --frames "$scratch/frames" --overwrite 2>"$scratch/err" ||
  fail "--overwrite: $(cat "$scratch/err")"
[ "$(ls "$scratch/frames" | tr '\n' ' ')" = "frame_00000.png frame_00001.png " ] ||
  fail "after --overwrite: $(ls "$scratch/frames" | tr '\n' ' ')"

# On a terminal (script gives it one): the progress line with its bar.
if command -v script >/dev/null; then
  script -qec "'$batch' '$door' --path '$path' --steps 30 --output '$scratch/t.png'" /dev/null >"$scratch/tty" 2>&1
  grep -q "100%.*steps/s" "$scratch/tty" || fail "no progress line on a terminal: $(tr '\r' '\n' <"$scratch/tty" | tail -3)"
fi

# A degree map whose 16-bit content an earlier encoder failed on: saved, 16-bit
# grey, and saying how it was made.
"$batch" "$door" --mask "$mask" --path "150,560 200,450 90,330" --steps 100 --degrees "$scratch/d.png" \
  2>"$scratch/err" || fail "the degree map of 100 steps: $(cat "$scratch/err")"
[ "$(identify -format '%z %[channels]' "$scratch/d.png" 2>&1)" = "16 gray" ] ||
  fail "the degree map is $(identify -format '%z %[channels]' "$scratch/d.png" 2>&1)"
grep -aq -- "--path \"150,560 200,450 90,330\" --steps 100" "$scratch/d.png" ||
  fail "the degree map does not say how it was made"

# Ctrl+C in the middle: status 130, every frame written is whole, no temporary left.
"$batch" "$door" --mask "$mask" --path "$path" --steps 100000 --every 1 --frames "$scratch/stopped" 2>"$scratch/err" &
pid=$!
for _ in $(seq 1 100); do [ "$(ls "$scratch/stopped" 2>/dev/null | wc -l)" -ge 3 ] && break; sleep 0.1; done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] || fail "after Ctrl+C the status is $status"
grep -q "interrupted after" "$scratch/err" || fail "no interrupt line: $(cat "$scratch/err")"
hidden=$(ls -A "$scratch/stopped" | grep -c '^\.')
[ "$hidden" -eq 0 ] || fail "$hidden temporary files left after Ctrl+C"
for frame in "$scratch"/stopped/frame_*.png; do
  identify "$frame" >/dev/null 2>&1 || fail "$(basename "$frame") is not a whole picture"
done

[ "$failures" -eq 0 ] && echo "batch command: all checks passed"
exit "$failures"
