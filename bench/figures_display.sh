# Shared by the window tool's figure scripts, which set binary, number, root and work
# first: an Xvfb of their own, wide enough for the panel beside a 4000-pixel photograph
# (it opens at the photograph's width plus 20), the tool's own measurements switched on,
# and the end-to-end helpers (lib.sh), all cleaned up at exit.
Xvfb ":$number" -screen 0 4400x1300x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$number"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export WEATHERING_STATS=1

source "$root/tests/gui/e2e/lib.sh" "$binary" "$work"
trap 'cleanup; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
