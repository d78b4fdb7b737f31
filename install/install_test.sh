#!/usr/bin/env bash
# cmake --install into a DESTDIR puts every file where a desktop looks for it;
# the desktop entry validates, the man pages render without warnings, and the
# installed tool started far from the repository opens the installed door.
# cpack -G DEB makes a package whose dependencies were worked out.
#   install_test.sh <build folder>
set -uo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/weathering-install-test.XXXXXX")
own_xvfb=""
failures=0
app_pid=""
source "$(dirname "$0")/../tests/gui/xdisplay.sh"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  release_display_and_scratch "${E2E_KEEP:-}"
}
trap cleanup EXIT

root="$scratch/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 || fail "cmake --install: $(tail -3 "$scratch/install.log")"
for file in bin/weathering bin/weathering-batch libexec/weathering/weathering-decode \
  share/weathering/images/image1.jpg share/weathering/images/image1_mask.jpg \
  share/applications/weathering.desktop share/icons/hicolor/scalable/apps/weathering.svg \
  share/man/man1/weathering.1.gz share/man/man1/weathering-batch.1.gz \
  share/doc/weathering/copyright share/doc/weathering/changelog.gz; do
  [ -s "$root/usr/$file" ] || fail "not installed: /usr/$file"
done
[ -x "$root/usr/bin/weathering" ] && [ -x "$root/usr/bin/weathering-batch" ] || fail "the programs are not executable"

desktop-file-validate "$root/usr/share/applications/weathering.desktop" || fail "the desktop entry does not validate"
grep -q '^Exec=weathering %f$' "$root/usr/share/applications/weathering.desktop" || fail "the desktop entry runs something else"
python3 -c 'import sys, xml.dom.minidom; sys.exit(xml.dom.minidom.parse(sys.argv[1]).documentElement.tagName != "svg")' \
  "$root/usr/share/icons/hicolor/scalable/apps/weathering.svg" || fail "the icon is not an SVG picture"

for page in weathering weathering-batch; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >"$scratch/$page.txt")
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
  grep -q "^NAME" "$scratch/$page.txt" || fail "man $page shows no NAME section"
  grep -q "@PROJECT_VERSION@" "$scratch/$page.txt" && fail "man $page still has the version placeholder"
done

version=$("$root/usr/bin/weathering-batch" --version)
[ "$version" = "$("$root/usr/bin/weathering" --version | sed 's/^weathering/weathering-batch/')" ] || fail "versions differ: $version"

# Started from an empty folder, the installed tool finds the door through its
# installed images folder.
ensure_display 1600x1200
mkdir "$scratch/home"
(cd "$scratch/home" && LIBGL_ALWAYS_SOFTWARE=1 exec "$root/usr/bin/weathering" >"$scratch/out" 2>"$scratch/err") &
app_pid=$!
wait_until 60 grep -q "file loaded: image1_mask.jpg" "$scratch/err" || fail "the installed tool did not load the mask: $(cat "$scratch/err")"
grep -q "file loaded: ./images/image1.jpg (512x602)" "$scratch/err" || fail "the installed tool did not load the door: $(cat "$scratch/err")"
grep -q "file not found" "$scratch/out" && fail "the installed tool missed a file: $(cat "$scratch/out")"
kill "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null
app_pid=""

# The Debian package: the programs inside, dependencies from the libraries.
if (cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1); then
  deb=$(ls "$scratch"/package/*.deb 2>/dev/null | head -n 1)
  if [ -z "$deb" ]; then
    fail "cpack made no .deb"
  else
    dpkg-deb -c "$deb" >"$scratch/contents"
    grep -q '\./usr/bin/weathering-batch$' "$scratch/contents" || fail "the package lacks weathering-batch"
    grep -q '\./usr/libexec/weathering/weathering-decode$' "$scratch/contents" || fail "the package lacks the decoder"
    # Debian's own package checker finds no error (copyright, changelog,
    # compressed man pages, stripped programs, a maintainer it accepts).
    if command -v lintian >/dev/null; then
      lintian --fail-on error "$deb" >"$scratch/lintian" 2>&1 || fail "lintian: $(grep -v '^running with root' "$scratch/lintian")"
    else
      fail "lintian is not installed (scripts/setup.sh installs it)"
    fi
    depends=$(dpkg-deb -f "$deb" Depends)
    for library in libc6 libdevil1c2 libglut3.12 libgtk-3-0 libseccomp2; do
      grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
    done
  fi
else
  fail "cpack -G DEB failed: $(tail -5 "$scratch/cpack.log")"
fi

[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit "$failures"
