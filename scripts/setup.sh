#!/usr/bin/env bash
# Installs the Debian packages the tool and its tests need (only those missing),
# then configures and builds with CMake. Safe to run again: nothing is redone.
#   scripts/setup.sh [build-dir] [extra cmake options...]
#   scripts/setup.sh --packages-only
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ pkg-config make
  freeglut3-dev libgl-dev libglu1-mesa-dev libdevil-dev libimgui-dev libgtk-3-dev libx11-dev libzstd-dev
  libcli11-dev libseccomp-dev
  libpng-dev libjpeg-dev libtiff-dev libwebp-dev libjpeg-turbo-progs
  libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  desktop-file-utils dpkg-dev file man-db lintian
  xvfb xauth xdotool imagemagick x11-utils libgl1-mesa-dri
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" != "--packages-only" ] || exit 0
build_dir="${1:-build}"
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
