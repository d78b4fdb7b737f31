#!/usr/bin/env bash
# Copies the fuzzer's decoder findings (build-fuzz/findings) into
# tests/data/hostile as files of their own type, for the replay test:
#   fuzz-<crash|hang|memory>-<hash>[-mask].<extension>
# "-mask" marks an input that was loaded as a mask. The fuzzer finds the same
# faults again and again in new mutations: a finding is kept while its kind of
# failure on its type (kind, extension, mask or not) has fewer than three files.
#   keep_findings.sh [findings folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
findings=${1:-build-fuzz/findings}
extensions=(png jpg bmp tga tif ico psd gif xpm pbm dds pcx sgi ppm hdr bin)  # as in LoaderFuzzer.cpp
kept=0
for finding in "$findings"/*; do
  [ -f "$finding" ] || continue
  selector=$(head -c 1 "$finding" | od -An -tu1 | tr -d ' ')
  mask=""
  [ "$selector" -ge 128 ] && mask="-mask"
  name=$(basename "$finding")
  extension=${extensions[$((selector % ${#extensions[@]}))]}
  target="tests/data/hostile/fuzz-$name$mask.$extension"
  [ -e "$target" ] && continue
  # shellcheck disable=SC2012
  same=$(ls tests/data/hostile/ | grep -c "^fuzz-${name%%-*}-[0-9]*$mask\.$extension\$" || true)
  [ "$same" -lt 3 ] || continue
  tail -c +2 "$finding" >"$target"
  kept=$((kept + 1))
done
echo "kept $kept new findings in tests/data/hostile"
