#!/usr/bin/env bash
# The live drawing mode on X11, driven through X input as a presenter would: with
# a compositing manager (xcompmgr) the programs beneath go on showing and get the
# clicks that pass through; without one, the key puts up the frozen mode.
#   live_test.sh SKETRIN SHOTPROBE ARTIFACT_DIR
set -u
APP=$1
PROBE=$2
OUT=$3/live
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.log
for tool in Xvfb xcompmgr xdotool xclip import; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh"; exit 1; }
done

source "$(dirname "$0")/../../scripts/xvfb.sh"
start_xvfb 1024x768 || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=$XVFB_DISPLAY QT_QPA_PLATFORM=xcb SKETRIN_NO_JOURNAL=1
PIDS=()
cleanup() {
  kill "${PIDS[@]}" 2>/dev/null
  kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
source "$(dirname "$0")/checks.sh"
drag() { screen_drag "$@"; }

live_key() { xdotool key ctrl+shift+l; sleep 0.6; }
overlay_up() { [ "$(xdotool search --onlyvisible --name '^画面に描く - Sketrin$' 2>/dev/null | wc -l)" = 1 ]; }
clicks() { grep -c '^click' "$OUT/beneath.log"; }

start() {
  "$(dirname "$PROBE")/patternwindow" 60 60 --live >"$OUT/beneath.log" 2>&1 &
  PIDS+=($!)
  "$APP" >"$OUT/app.log" 2>&1 &
  APP_PID=$!
  PIDS+=($APP_PID)
  WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^Sketrin Ver' | head -n1)
  [ -n "$WID" ] || { echo "the main window did not appear"; exit 1; }
  # Out of the way: the picture handed back is seen through its top-left part.
  xdotool windowmove "$WID" 520 420
  sleep 1
}

# === with a compositing manager ==================================================
xcompmgr >/dev/null 2>&1 &
PIDS+=($!)
start
live_key
check "Ctrl+Shift+L puts up the live overlay" within 5 overlay_up
# The program beneath goes on changing through the overlay (its top-left block
# swaps magenta and cyan); the ink goes over it.
first=$(pixel "$(shot beneath1)" 70 70)
changes() { [ "$(pixel "$(shot beneath2)" 70 70)" != "$first" ]; }
check "the program beneath is seen changing through the overlay" within 3 changes
drag 40 120 300 120
f=$(shot ink)
check "a drag draws ink over the screen" [ "$(pixel "$f" 170 120)" = "0 0 0" ]
check "away from the ink the screen shows through" [ "$(pixel "$f" 300 300)" != "0 0 0" ]

live_key
before=$(clicks)
xdotool mousemove 120 80 click 1 # where there is no ink
sleep 0.3
xdotool mousemove 170 120 click 1 # on the ink
sleep 0.5
check "passing through, clicks on and off the ink reach the program beneath" [ $(($(clicks) - before)) = 2 ]
check "passing through, the ink stays on the screen" [ "$(pixel "$(shot passing)" 170 120)" = "0 0 0" ]

live_key
drag 40 180 300 180
xdotool key Escape
check "Esc leaves the live overlay" within 5 eval '! overlay_up'
sleep 0.5
# The main window's picture: the screen as it was, ink and all.
xdotool windowfocus --sync "$WID" 2>/dev/null
xdotool key ctrl+shift+c
sleep 0.8
xclip -selection clipboard -t image/png -o >"$OUT/handed.png" 2>/dev/null
check "the picture handed back holds the ink" [ "$(pixel "$OUT/handed.png" 170 180)" = "0 0 0" ]
check "the picture handed back holds the live screen" \
  [ "$(pixel "$OUT/handed.png" 65 105)" = "255 128 0" ]
kill "${PIDS[@]}" 2>/dev/null
wait "${PIDS[@]}" 2>/dev/null
PIDS=()

# === without one =================================================================
start
live_key
check "without a compositing manager the key puts up the frozen mode" within 5 overlay_up
check "and one line says why" grep -q "no compositing manager" "$OUT/app.log"
xdotool key Escape
check "Esc leaves it" within 5 eval '! overlay_up'

echo "live: $passed passed, $failed failed"
[ "$failed" = 0 ]
