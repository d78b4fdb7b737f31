#!/usr/bin/env bash
# The largest accepted photograph, 16384 x 16384, where the memory cannot hold its
# weathering: weathering-batch refuses it with the sizes in one clear line and exit
# status 1, before it allocates the photograph, rather than growing until the kernel
# kills it.
#   batch_budget_test.sh <weathering-batch binary>
set -uo pipefail
batch=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/weathering-batch-budget.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A grey 16384-square PNG, a few hundred kilobytes: every row compresses to nearly nothing.
python3 - "$scratch/largest.png" <<'PY'
import struct, sys, zlib
side = 16384
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
row = b"\0" + b"\x80" * (3 * side)
packer = zlib.compressobj(9)
body = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) +
              chunk(b"IDAT", body) + chunk(b"IEND", b""))
PY

# Runs the largest photograph; it must be refused in one line, before the photograph's
# pixels are allocated.
expect_refusal() {  # expect_refusal <what>
  /usr/bin/time -f "%M" -o "$scratch/peak" "$batch" "$scratch/largest.png" --path "1,1 100,100" --steps 1 \
    --output "$scratch/out.png" 2>"$scratch/err"
  status=$?
  [ "$status" -eq 1 ] || fail "$1: status $status: $(tail -3 "$scratch/err")"
  grep -Eq "refused .*largest.png: its size 16384x16384 needs [0-9]+ MB \(model [0-9]+ MB, loading and saving [0-9]+ MB\), more than the [0-9]+ MB of the [0-9]+ MB of memory available a job may take" \
    "$scratch/err" || fail "$1: no line with the sizes: $(cat "$scratch/err")"
  grep -q "^weathering-batch: cannot load" "$scratch/err" || fail "$1: no closing line: $(tail -1 "$scratch/err")"
  # The photograph's floats alone would be 3 GB; the decoder's own bytes are 0.8 GB.
  [ "$(tail -1 "$scratch/peak")" -lt 1048576 ] || fail "$1: it held $(tail -1 "$scratch/peak") kB before refusing"
  [ ! -e "$scratch/out.png" ] || fail "$1: a refused run wrote a picture"
}

# As the machine is: 79 bytes a pixel for the batch tool, in nine tenths of what is
# available. On a quiet 24 GB machine it just fits, and is not run here.
available_kb=$(awk '/MemAvailable/ { print $2 }' /proc/meminfo)
if [ "$available_kb" -lt $((16384 * 16384 * 79 / 1024 * 10 / 9)) ]; then
  expect_refusal "with $available_kb kB available"
fi
# In an address space of 16 GB, whatever the machine has.
(ulimit -v $((16 * 1024 * 1024)) && expect_refusal "in 16 GB of address space"; exit "$failures") ||
  failures=$((failures + 1))

[ "$failures" -eq 0 ] && echo "batch budget: all checks passed"
exit "$failures"
