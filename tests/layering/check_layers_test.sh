#!/usr/bin/env bash
# The layering check on small made-up source trees: a sound one passes; each kind of
# fault fails with a line that names the file.
#   check_layers_test.sh CHECK_SCRIPT
set -uo pipefail
check="${1:?usage: check_layers_test.sh CHECK_SCRIPT}"
scratch=$(mktemp -d /tmp/weathering-layers-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0

# A tree in which model includes colour and algebra, main includes model and imageopen,
# and a unit test of imageopen includes the test helpers.
sound_tree() {
  rm -rf "$scratch/src"
  mkdir -p "$scratch/src"/{algebra,colour,model,imageopen,platform,main}
  echo '#pragma once' >"$scratch/src/algebra/Point2f.h"
  printf '#include "algebra/Point2f.h"\n' >"$scratch/src/colour/CieLab.h"
  printf '#include "colour/CieLab.h"\n#include "model/Other.h"\n#include <vector>\n' >"$scratch/src/model/Model.cpp"
  echo '#pragma once' >"$scratch/src/model/Other.h"
  printf '#include "platform/Memory.h"\n#include <GL/gl.h>\n' >"$scratch/src/imageopen/Texture.cpp"
  echo '#pragma once' >"$scratch/src/platform/Memory.h"
  printf '#include "support/ScratchFolder.h"\n' >"$scratch/src/imageopen/Texture_test.cpp"
  printf '#include "model/Other.h"\n#include "imageopen/Texture.h"\n#include <GL/glut.h>\n' >"$scratch/src/main/main.cpp"
}

# expect_fault NAME TEXT: the check fails and says TEXT.
expect_fault() {
  local output
  if output=$(bash "$check" "$scratch/src" 2>&1); then
    echo "FAIL: $1 passed the check"
    failures=$((failures + 1))
  elif ! grep -qF -- "$2" <<<"$output"; then
    echo "FAIL: $1 was not reported as \"$2\"; the check said:"
    echo "$output"
    failures=$((failures + 1))
  fi
}

sound_tree
if ! output=$(bash "$check" "$scratch/src" 2>&1); then
  echo "FAIL: the sound tree was refused:"
  echo "$output"
  failures=$((failures + 1))
fi

sound_tree
printf '#include "model/Other.h"\n' >>"$scratch/src/colour/CieLab.h"
expect_fault "colour including model" "colour/CieLab.h (layer 1) includes model/Other.h (layer 2) from above"

sound_tree
printf '#include "main/Application.h"\n' >"$scratch/src/algebra/Bad.h"
expect_fault "algebra including the front end" "algebra/Bad.h (layer 0) includes main/Application.h (layer 5)"

sound_tree
mkdir -p "$scratch/src/session"
printf '#include "imageopen/Texture.h"\n' >"$scratch/src/session/Session.cpp"
printf '#include "session/Session.h"\n' >>"$scratch/src/platform/Memory.h"
expect_fault "the loader's layer reaching up to the session" "platform/Memory.h (layer 3) includes session/Session.h (layer 4) from above"

sound_tree
printf '#include "imageopen/Texture.h"\n' >"$scratch/src/platform/Memory.cpp"
expect_fault "a circle within one layer" "folder imageopen includes itself through a circle"

sound_tree
printf '#include <GL/gl.h>\n' >>"$scratch/src/model/Model.cpp"
expect_fault "GL in the model" "model/Model.cpp includes a window-system header"

sound_tree
printf '#include <gtk/gtk.h>\n' >"$scratch/src/colour/Dialog.cpp"
expect_fault "GTK in the colour code" "colour/Dialog.cpp includes a window-system header"

sound_tree
mkdir -p "$scratch/src/newfolder"
echo '#pragma once' >"$scratch/src/newfolder/Thing.h"
expect_fault "a folder without a layer" "folder newfolder has no layer"

sound_tree
printf '#include "support/ScratchFolder.h"\n' >"$scratch/src/imageopen/Texture.cpp"
expect_fault "test helpers in shipped code" "imageopen/Texture.cpp is no test but includes the test helper"

sound_tree
printf '#include "../../tests/support/ScratchFolder.h"\n' >"$scratch/src/model/Model_test.cpp"
expect_fault "a relative include" "model/Model_test.cpp includes by a relative path"

sound_tree
printf '#include "Other.h"\n' >>"$scratch/src/model/Model.cpp"
expect_fault "an include without its folder" "model/Model.cpp includes Other.h without its folder"

if [ $failures -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "the layering check refuses every fault it was shown"
