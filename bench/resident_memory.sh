#!/usr/bin/env bash
# Resident memory once a photograph is open, per pixel: the window tool on a generated
# 12-Mpx photograph, less the same tool on a tiny one (libraries, GL, the panel), over
# the pixels. The model's arrays, the texture and the undo copy are all in it. Prints
# the figure; needs an X display as the end-to-end tests do.
#   bench/resident_memory.sh <weathering binary> <repository root>
source "$(dirname "$0")/../tests/gui/e2e/lib.sh"

# VmRSS in kB of the tool started on $1, once it shows the photograph and has settled.
resident_after_opening() {  # resident_after_opening <photograph>
  : >"$scratch/err"
  "$E2E_BINARY" "$1" >"$scratch/out" 2>"$scratch/err" &
  app_pid=$!
  wait_for_line "$scratch/err" "file loaded" 120 || fail "$1 was not loaded: $(cat "$scratch/err")"
  wait_until 60 main_shows_picture || fail "$1 is not shown"
  # The undo history's copy is taken after the first picture shows.
  sleep 10
  awk '/VmRSS/ { print $2 }' "/proc/$app_pid/status"
  stop_app
}

convert -size 3000x4000 gradient:'#203040-#c07030' -rotate 90 "$scratch/large.png" || fail "no photograph made"
convert -size 64x64 gradient:'#203040-#c07030' "$scratch/tiny.png" || fail "no photograph made"
large=$(resident_after_opening "$scratch/large.png")
tiny=$(resident_after_opening "$scratch/tiny.png")
per_pixel=$(( (large - tiny) * 1024 / (4000 * 3000 - 64 * 64) ))
echo "resident after opening: $per_pixel bytes a pixel (${large} kB at 12 Mpx, ${tiny} kB at 64 x 64)"

finish
