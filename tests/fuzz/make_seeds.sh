#!/usr/bin/env bash
# Writes the fuzz target's seed inputs into a folder: a small picture in each
# common format, and the hand-made files of tests/data/hostile (the fuzzer's
# own findings there would only slow it down: many of them hang). Each seed is one byte
# that picks the extension (its index in LoaderFuzzer.cpp's list; +128 loads it
# as a mask), then the file.
#   make_seeds.sh <repository root> <folder>
set -euo pipefail
root=$1
out=$2
mkdir -p "$out"
extensions=(png jpg bmp tga tif ico psd gif xpm pbm dds pcx sgi ppm hdr bin)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seed() {  # seed <extension> <file> <name>
  local i
  for i in "${!extensions[@]}"; do
    [ "${extensions[$i]}" = "$1" ] || continue
    { printf "\\x$(printf %02x "$i")"; cat "$2"; } >"$out/$3"
    { printf "\\x$(printf %02x $((i + 128)))"; cat "$2"; } >"$out/$3-mask"
    return 0
  done
  { printf '\x0f'; cat "$2"; } >"$out/$3"  # an unknown extension: the contents decide
}

for format in png jpg BMP3:bmp tga tif ico psd gif xpm pbm pcx sgi ppm; do
  extension=${format#*:}
  convert -size 16x12 gradient:'rgb(255,128,0)-rgb(0,64,192)' "$format:$work/seed.$extension" 2>/dev/null ||
    convert -size 16x12 gradient:'rgb(255,128,0)-rgb(0,64,192)' "$work/seed.$extension"
  seed "$extension" "$work/seed.$extension" "seed-$extension"
done
shopt -s nullglob
for file in "$root"/tests/data/hostile/*; do
  name=$(basename "$file")
  case $name in README.md | make_hostile.py | fuzz-*) continue ;; esac
  seed "${name##*.}" "$file" "hostile-$name"
done
