#!/usr/bin/env bash
# How long the screen capture keeps the window off the screen on X11: five
# captures under Xvfb, the window's map state polled from outside every 10 ms.
#   bash bench/capture_hidden.sh BUILD_DIR
set -u
BUILD=${1:-build}
source "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb 1024x768 || { echo "Xvfb did not start"; exit 1; }
XVFB=$XVFB_PID
export DISPLAY=$XVFB_DISPLAY QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$(mktemp -d) XDG_STATE_HOME=$(mktemp -d) XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
"$BUILD/sketrin" >/dev/null 2>&1 &
APP=$!
trap 'kill $APP $XVFB 2>/dev/null' EXIT
WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^Sketrin Ver' | head -n1)
sleep 1
for run in 1 2 3 4 5; do
  times=$(mktemp)
  (while :; do xwininfo -id "$WID" 2>/dev/null | grep -q IsUnMapped && date +%s%3N; sleep 0.01; done) >"$times" &
  watch=$!
  xdotool windowfocus --sync "$WID" key ctrl+shift+g
  sleep 1.5
  kill $watch
  echo $(($(tail -n1 "$times") - $(head -n1 "$times")))
  rm -f "$times"
done | sort -n | awk '{ v[NR] = $1 } END { printf "hidden (ms): median %d  min %d  max %d\n", v[3], v[1], v[5] }'
