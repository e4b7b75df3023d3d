#!/usr/bin/env bash
# Installs the built program into a staging folder, checks what was installed and
# the Debian package, then runs the acceptance suite on the installed program.
#   install_test.sh BUILD_DIR SHOTPROBE ARTIFACT_DIR
set -u
BUILD=$1
PROBE=$2
OUT=$3
HERE=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$OUT"
STAGE="$OUT/stage"
rm -rf "$STAGE"
failed=0
passed=0
equal() { [ "$1" = "$2" ]; }
check() {
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); echo "ok   - $name"; else failed=$((failed + 1)); echo "FAIL - $name"; fi
}

cmake --install "$BUILD" --prefix "$STAGE" >/dev/null
check "the launcher is on the PATH folder" test -x "$STAGE/bin/sketrin"
check "the program sits in its program folder" test -x "$STAGE/libexec/sketrin/sketrin"
check "readme.txt sits beside the program" test -f "$STAGE/libexec/sketrin/readme.txt"
check "the desktop entry is installed" test -f "$STAGE/share/applications/sketrin.desktop"
for size in 16 32 48 256; do
  check "the ${size}px icon is installed" test -f "$STAGE/share/icons/hicolor/${size}x${size}/apps/sketrin.png"
done
check "desktop-file-validate has nothing to say of the entry" test -z "$(desktop-file-validate "$STAGE/share/applications/sketrin.desktop" 2>&1)"

# The command line, with no display at all: none of these opens a window.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$STAGE/bin/sketrin" --help 2>&1)
helped=$?
check "sketrin --help ends well and lists --draw and the file" \
  eval '[ "$helped" -eq 0 ] && echo "$help" | grep -q -- "--draw" && echo "$help" | grep -q FILE'
check "sketrin --version prints the version" equal "$(env -u DISPLAY "$STAGE/bin/sketrin" --version 2>&1)" "sketrin 2.0"
env -u DISPLAY -u WAYLAND_DISPLAY "$STAGE/bin/sketrin" --no-such-option >/dev/null 2>"$OUT/bad-option.txt"
bad=$?
check "an unknown option ends with a short error and a non-zero status" \
  eval '[ "$bad" -ne 0 ] && [ "$(wc -l <"$OUT/bad-option.txt")" -le 2 ] && grep -q no-such-option "$OUT/bad-option.txt"'

# The Debian package and the dependencies it declares.
(cd "$BUILD" && cpack -G DEB >/dev/null 2>&1)
deb=$(ls "$BUILD"/sketrin_*.deb 2>/dev/null | head -n1)
check "cpack makes a .deb" test -n "$deb"
if [ -n "$deb" ]; then
  depends=$(dpkg-deb -f "$deb" Depends)
  for need in libqt6widgets6 libqt6gui6 libqt6network6 qt6-image-formats-plugins fonts-ipafont-gothic; do
    check "the .deb depends on $need" eval "echo '$depends' | grep -q '$need'"
  done
  if command -v apt-get >/dev/null && [ "$(id -u)" -eq 0 ]; then
    check "apt-get can install the .deb (simulated)" eval "apt-get install -s '$deb' >/dev/null 2>&1"
  fi
fi

echo "$passed passed, $failed failed (installation)"
bash "$HERE/window_test.sh" "$STAGE/bin/sketrin" "$PROBE" "$OUT" || failed=$((failed + 1))
[ "$failed" -eq 0 ]
