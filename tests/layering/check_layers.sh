#!/usr/bin/env bash
# Checks the folders under a source root against the layers of the code:
#   0  algebra, timing, parallel
#   1  colour
#   2  model
#   3  imageopen, imagesave, decodereply, platform, result
#   4  session
#   5  main, batch, decoder
# A file may include headers of its own folder, of its own layer and of lower layers,
# never of a higher one; the folders may not include each other in a circle; the
# computation folders include no window-system header; and every folder has a layer.
# Unit tests (*_test.cpp) may also include the shared test helpers ("support/...").
#   check_layers.sh SOURCE_ROOT
set -uo pipefail

root="${1:?usage: check_layers.sh SOURCE_ROOT}"
declare -A layer=(
  [algebra]=0 [timing]=0 [parallel]=0
  [colour]=1
  [model]=2
  [imageopen]=3 [imagesave]=3 [decodereply]=3 [platform]=3 [result]=3
  [session]=4
  [main]=5 [batch]=5 [decoder]=5
)
# Folders whose code must run without a window system.
windowless=" algebra timing parallel colour model imagesave decodereply platform result session "
windowHeaders='^#include <(GL/|GLFW/|X11/|gtk/|gdk/|glib|imgui)'

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

declare -A edge=()  # "from to" for each include between two folders
for dir in "$root"/*/; do
  folder=$(basename "$dir")
  [ -n "${layer[$folder]+set}" ] || { fail "folder $folder has no layer"; continue; }
  for file in "$dir"*.h "$dir"*.cpp; do
    [ -e "$file" ] || continue
    name="$folder/$(basename "$file")"
    while IFS= read -r line; do
      target=${line#*\"}
      target=${target%%\"*}
      case "$target" in
        ../* | */../*) fail "$name includes by a relative path: $target"; continue ;;
        */*) ;;
        *) fail "$name includes $target without its folder"; continue ;;
      esac
      to=${target%%/*}
      [ "$to" != "$folder" ] || continue
      if [ "$to" = support ]; then
        [[ "$name" == *_test.cpp ]] || fail "$name is no test but includes the test helper $target"
        continue
      fi
      [ -n "${layer[$to]+set}" ] || { fail "$name includes $target from a folder without a layer"; continue; }
      if [ "${layer[$to]}" -gt "${layer[$folder]}" ]; then
        fail "$name (layer ${layer[$folder]}) includes $target (layer ${layer[$to]}) from above"
      fi
      edge["$folder $to"]=1
    done < <(grep -E '^#include "' "$file")
    if [[ "$windowless" == *" $folder "* ]] && grep -Eq "$windowHeaders" "$file"; then
      fail "$name includes a window-system header: $(grep -Em1 "$windowHeaders" "$file")"
    fi
  done
done

# Circles: a folder that reaches itself through the includes between folders.
declare -A reach=()
for pair in "${!edge[@]}"; do reach["$pair"]=1; done
changed=1
while [ $changed -eq 1 ]; do
  changed=0
  for ab in "${!reach[@]}"; do
    read -r a b <<<"$ab"
    for bc in "${!edge[@]}"; do
      read -r b2 c <<<"$bc"
      if [ "$b2" = "$b" ] && [ -z "${reach["$a $c"]+set}" ]; then
        reach["$a $c"]=1
        changed=1
      fi
    done
  done
done
for folder in "${!layer[@]}"; do
  [ -z "${reach["$folder $folder"]+set}" ] || fail "folder $folder includes itself through a circle of folders"
done

if [ $failures -gt 0 ]; then
  echo "$failures layering faults"
  exit 1
fi
echo "layers kept: $(ls -d "$root"/*/ | wc -l) folders, ${#edge[@]} includes between folders, no circle"
