#!/usr/bin/env bash
# Runs the texture probe on the X display in $DISPLAY, or on its own Xvfb when there is
# none.
#   texture_test.sh <texture_probe binary>
set -uo pipefail
scratch=$(mktemp -d)
own_xvfb=""
failures=0
source "$(dirname "$0")/../xdisplay.sh"
trap 'release_display_and_scratch ""' EXIT
ensure_display 640x480
export LIBGL_ALWAYS_SOFTWARE=${LIBGL_ALWAYS_SOFTWARE:-1}
"$1" || failures=1
exit "$failures"
