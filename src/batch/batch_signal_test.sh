#!/usr/bin/env bash
# SIGTERM and Ctrl+C reach weathering-batch inside its long passes, not only between
# steps: a build of the degrees from a path of a thousand points on a large
# photograph ends within a second of the signal, and a second signal ends it at once.
#   batch_signal_test.sh <weathering-batch binary>
set -uo pipefail
batch=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/weathering-batch-signal.XXXXXX")
pid=""
trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# 3000 x 2000, colours that spread pixels all along the path.
convert -size 2000x3000 gradient:'#203040-#c07030' -rotate 90 "$scratch/large.png" || exit 1
path=""
for i in $(seq 0 999); do path+="$(( (i * 37) % 3000 )),$(( (i * 53) % 2000 )) "; done

# Starts a run that builds the degrees for minutes; waits until it is inside the build.
start_long_build() {
  "$batch" "$scratch/large.png" --path "$path" --steps 5 --output "$scratch/out.png" 2>"$scratch/err" &
  pid=$!
  for _ in $(seq 1 300); do grep -q "file loaded" "$scratch/err" && break; sleep 0.1; done
  grep -q "file loaded" "$scratch/err" || fail "the photograph was not loaded: $(cat "$scratch/err")"
  sleep 1.5
  kill -0 "$pid" 2>/dev/null || fail "the build ended by itself: $(cat "$scratch/err")"
}

# Waits for the run to end, at most $1 tenths of a second; sets status and tenths.
await_end() {
  tenths=0
  while kill -0 "$pid" 2>/dev/null && [ "$tenths" -lt "$1" ]; do sleep 0.1; tenths=$((tenths + 1)); done
  local overdue=no
  if kill -0 "$pid" 2>/dev/null; then
    overdue=yes
    kill -KILL "$pid"
  fi
  wait "$pid" 2>/dev/null
  status=$?
  [ "$overdue" = no ] || status=running
  pid=""
}

# The promise is a second; the slack is for a machine busy with other builds.
start_long_build
kill -TERM "$pid"
await_end 20
[ "$status" = 130 ] || fail "SIGTERM during the build: status $status after $tenths tenths of a second"
grep -q "^weathering-batch: interrupted" "$scratch/err" || fail "no interrupt line: $(tail -2 "$scratch/err")"
[ ! -e "$scratch/out.png" ] || fail "an interrupted run wrote its final picture"
[ -z "$(ls -A "$scratch" | grep '^\.')" ] || fail "a temporary file was left"

start_long_build
kill -INT "$pid"
# Apart, so that the two are not merged into one pending signal.
sleep 0.2
kill -INT "$pid" 2>/dev/null
await_end 8
[ "$status" = 130 ] || fail "a second Ctrl+C: status $status after $tenths tenths of a second"
# Whichever of the two ended it, one line says so.
grep -q "^weathering-batch: interrupted" "$scratch/err" || fail "no interrupt line: $(tail -2 "$scratch/err")"

[ "$failures" -eq 0 ] && echo "batch signals: all checks passed"
exit "$failures"
