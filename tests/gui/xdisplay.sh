# Shell helpers shared by the GUI test scripts: waiting for a condition, an X
# display to run on, and the clean-up of both. A script that sources this sets
# scratch (its folder for screenshots and console), own_xvfb="" and failures=0.

wait_until() {  # wait_until <seconds> <command...>
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# Uses $DISPLAY when it answers, or starts Xvfb on the first free display number.
ensure_display() {  # ensure_display <screen size WxH>
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 121 200); do
    { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
    Xvfb ":$n" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
    own_xvfb=$!
    export DISPLAY=":$n"
    wait_until 20 xdpyinfo >/dev/null 2>&1 && return 0
    echo "FAIL: no X display"
    exit 1
  done
  echo "FAIL: no free X display number"
  exit 1
}

# Stops the Xvfb that ensure_display started, and removes the scratch folder
# unless a check failed or the caller asks to keep it.
release_display_and_scratch() {  # release_display_and_scratch <keep: non-empty keeps it>
  [ -z "$own_xvfb" ] || kill "$own_xvfb" 2>/dev/null
  if [ "$failures" -eq 0 ] && [ -z "$1" ]; then
    rm -rf "$scratch"
  else
    echo "screenshots and console kept in $scratch"
  fi
}
