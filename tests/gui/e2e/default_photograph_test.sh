#!/usr/bin/env bash
# The built tool started from a folder far from the repository (an empty one,
# and /) finds its default door and mask beside the program and shows exactly
# what it shows when started in the repository root.
#   default_photograph_test.sh <weathering binary> <repository root>
source "$(dirname "$0")/lib.sh"
E2E_BINARY=$(readlink -f "$E2E_BINARY")

# <screenshot name>: the main window's picture alone, wherever the window is.
main_window_picture() {
  convert "$scratch/$1.png" -crop "${MAIN_W}x${MAIN_H}+${MAIN_X}+${MAIN_Y}" +repage "$scratch/$1_main.png"
}

start_app
shot from_root
main_window_picture from_root
stop_app

mkdir "$scratch/elsewhere"
for folder in "$scratch/elsewhere" /; do
  E2E_START_DIR=$folder start_app
  grep -q "file loaded: ./images/image1.jpg (512x602)" "$scratch/err" ||
    fail "from $folder the door was not loaded: $(cat "$scratch/err")"
  grep -q "file not found" "$scratch/out" "$scratch/err" && fail "from $folder a file was missed: $(cat "$scratch/out")"
  name=from_elsewhere; [ "$folder" = / ] && name=from_slash
  shot "$name"
  main_window_picture "$name"
  differing=$(compare -metric AE "$scratch/from_root_main.png" "$scratch/${name}_main.png" null: 2>&1 | awk '{ printf "%d", $1 }')
  [ "$differing" = 0 ] || fail "started from $folder, $differing pixels of the main window differ from a start in the repository"
  stop_app
done
finish
