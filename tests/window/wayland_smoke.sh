#!/usr/bin/env bash
# Starts the program on Wayland, under a headless Weston, and looks at it: the
# window must come up with its toolbar drawn. Input cannot be sent to a Wayland
# window from outside, so this is a look, not a drive. Skips (77) when Weston
# cannot start here.
# Then the program's screen capture there, through a stand-in screenshot portal.
#   wayland_smoke.sh SKETRIN SHOTPROBE ARTIFACT_DIR [TST_PORTAL BUS_CONFIG]
set -u
APP=$1
PROBE=$2
OUT=$3
PORTAL_TEST=${4:-}
BUS_CONFIG=${5:-}
mkdir -p "$OUT"
rm -f "$OUT/wayland.png"
command -v weston >/dev/null && command -v weston-screenshooter >/dev/null || { echo "no weston"; exit 77; }
export XDG_RUNTIME_DIR=$(mktemp -d)
# Sketrin is ended here by SIGTERM, an end the user did not choose, and started
# again: no journal of the drawing is kept, or the next start would ask about it.
export SKETRIN_NO_JOURNAL=1
chmod 700 "$XDG_RUNTIME_DIR"
socket=sketrin-test
weston --backend=headless-backend.so --use-pixman --width=800 --height=600 --socket=$socket \
  --idle-time=0 --debug >"$OUT/weston.log" 2>&1 &
WESTON=$!
APP_PID=""
trap 'kill $APP_PID $WESTON 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
for _ in $(seq 1 300); do [ -S "$XDG_RUNTIME_DIR/$socket" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || { echo "weston did not start"; exit 77; }
export WAYLAND_DISPLAY=$socket
QT_QPA_PLATFORM=wayland "$APP" >"$OUT/wayland-app.log" 2>&1 &
APP_PID=$!
# The window is up once its toolbar is on screen: looked for until then, for as
# long as a loaded machine may need.
frames=0
for _ in $(seq 1 30); do
  sleep 1
  kill -0 "$APP_PID" 2>/dev/null || { echo "FAIL - the program ended on Wayland"; exit 1; }
  (cd "$OUT" && rm -f wayland-screenshot-*.png && timeout 10 weston-screenshooter) || continue
  shot=$(ls "$OUT"/wayland-screenshot-*.png 2>/dev/null | head -n1)
  [ -n "$shot" ] || continue
  mv "$shot" "$OUT/wayland.png"
  frames=$("$PROBE" count "$OUT/wayland.png" 0 0 800 600 82 150 247)
  [ "$frames" -ge 100 ] && break
done
[ -f "$OUT/wayland.png" ] || { echo "no screenshot"; exit 77; }
echo "pressed-frame pixels on screen: $frames"
if [ "$frames" -ge 100 ]; then echo "ok   - the window is up on Wayland with its toolbar drawn"; else
  echo "FAIL - the toolbar is not on screen"; exit 1; fi

[ -n "$PORTAL_TEST" ] || exit 0
kill "$APP_PID" 2>/dev/null
APP_PID=""
# The Wayland client library keeps a few allocations at exit that are not ours:
# no leak check for this run.
# The program's own use of the portals, against stand-ins on a private bus.
if ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" QT_QPA_PLATFORM=wayland timeout 240 \
  dbus-run-session --config-file="$BUS_CONFIG" -- "$PORTAL_TEST" theProgramTakesThePortalOnWayland \
  >"$OUT/wayland-portal.log" 2>&1 &&
  grep -q '^PASS   : TestPortal::theProgramTakesThePortalOnWayland(capture)' "$OUT/wayland-portal.log" &&
  grep -q '^PASS   : TestPortal::theProgramTakesThePortalOnWayland(drawing mode)' "$OUT/wayland-portal.log"; then
  echo "ok   - on Wayland the capture and the drawing mode (called up by the global shortcuts portal) take the screenshot portal's picture"
else
  echo "FAIL - the portals on Wayland"
  cat "$OUT/wayland-portal.log"
  exit 1
fi
