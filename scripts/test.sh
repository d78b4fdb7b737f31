#!/usr/bin/env bash
# Sets up and builds, then runs every test: the unit tests in a normal build and
# in an AddressSanitizer + UBSan build, the end-to-end tests that drive the
# real windows, and a two-minute soak of the whole tool built with the
# sanitizers. Starts its own Xvfb when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build -DWEATHERING_WERROR=ON
scripts/setup.sh build-sanitize -DWEATHERING_WERROR=ON -DWEATHERING_SANITIZE=ON -DWEATHERING_BENCHMARKS=OFF

xvfb_pid=""
cleanup() { [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for number in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$number"
    for _ in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && break
      sleep 0.1
    done
    break
  done
fi
export GSETTINGS_BACKEND=memory
export LIBGL_ALWAYS_SOFTWARE=1

status=0
echo "== unit tests, sanitizer build"
ctest --test-dir build-sanitize --output-on-failure -LE "gui|soak" || status=1
echo "== all tests, normal build"
ctest --test-dir build --output-on-failure || status=1
echo "== soak of the whole tool, sanitizer build"
ctest --test-dir build-sanitize --output-on-failure -L soak || status=1
exit $status
