#!/usr/bin/env bash
# `weathering [PHOTO [MASK]]`: --help and --version answer without a display;
# a bad option or a file that cannot be loaded ends with status 2 after the
# loader's lines; a named photograph and mask are loaded instead of the door
# and the window fits the photograph.
#   command_line_test.sh <weathering binary>
set -uo pipefail
binary=$1
door=$(cd "$(dirname "$0")/../../../images" && pwd)/image1.jpg
scratch=$(mktemp -d "${TMPDIR:-/tmp}/weathering-command-line.XXXXXX")
own_xvfb=""
failures=0
app_pid=""
source "$(dirname "$0")/../xdisplay.sh"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  release_display_and_scratch "${E2E_KEEP:-}"
}
trap cleanup EXIT

DISPLAY= "$binary" --help >"$scratch/help" 2>&1 || fail "--help exits with $?: $(cat "$scratch/help")"
grep -q "\[PHOTO \[MASK\]\]" "$scratch/help" || fail "--help shows: $(head -2 "$scratch/help")"
version=$(DISPLAY= "$binary" --version) || fail "--version exits with $?"
[[ "$version" =~ ^weathering\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version says $version"
DISPLAY= "$binary" --colour 2>"$scratch/err"
status=$?
[ "$status" -eq 2 ] || fail "an unknown option exits with $status"
grep -q "^weathering: unknown option --colour (try --help)$" "$scratch/err" || fail "an unknown option says: $(cat "$scratch/err")"

ensure_display 1600x1200
export LIBGL_ALWAYS_SOFTWARE=${LIBGL_ALWAYS_SOFTWARE:-1}
cd "$scratch" || exit 1
echo "not a picture" >broken.jpg
for args in "missing.jpg" "broken.jpg" "$door broken.jpg"; do
  # shellcheck disable=SC2086
  timeout 60 "$binary" $args >"$scratch/out" 2>"$scratch/err"
  status=$?
  [ "$status" -eq 2 ] || fail "weathering $args exits with $status"
  tail -n 1 "$scratch/err" | grep -q "^weathering: cannot load .*\.jpg$" || fail "weathering $args says: $(tail -n 2 "$scratch/err")"
  [ "$(grep -c "^ImageIO::load" "$scratch/err")" -ge 1 ] || fail "weathering $args printed no loader line"
done
grep -q "file loaded: $door (512x602)" "$scratch/err" || fail "the photograph before the broken mask was not loaded"

# 700 x 300 photograph with a mask: loaded from here, not through the search folders.
convert -size 700x300 gradient:'rgb(200,120,40)-rgb(40,80,160)' photo.png
convert -size 700x300 xc:white mask.png
"$binary" photo.png mask.png >"$scratch/out" 2>"$scratch/err" &
app_pid=$!
wait_until 60 grep -q "file loaded: .*/mask.png (700x300)" "$scratch/err" || fail "the mask was not loaded: $(cat "$scratch/err")"
grep -q "file loaded: $scratch/photo.png (700x300)" "$scratch/err" || fail "the photograph was not loaded: $(cat "$scratch/err")"
grep -q "^input image loaded$" "$scratch/err" || fail "no \"input image loaded\" line"
grep -q "image1" "$scratch/err" && fail "the default door was loaded as well"
fits() { xwininfo -root -children | grep -q '(has no name): ()  700x300+'; }
wait_until 30 fits || fail "the main window does not fit 700x300: $(xwininfo -root -children | grep 'no name')"

[ "$failures" -eq 0 ] && echo "command line: all checks passed"
exit "$failures"
