#!/usr/bin/env bash
# The presenter's kit in the drawing modes, driven through X input on a white
# screen: the laser's ink fades and is never handed back, the spotlight dims
# around the pointer, numbered steps come off with undo, redaction pixelates
# text, and the key card shows and goes without ending the mode. Then the laser
# and the card in the live mode, under a compositing manager.
#   kit_test.sh SKETRIN SHOTPROBE ARTIFACT_DIR
set -u
APP=$1
PROBE=$2
OUT=$3/kit
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.log
for tool in Xvfb xcompmgr xdotool xclip import; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh"; exit 1; }
done

# A white root: the frozen screen is white wherever the main window is not.
fdfile=$(mktemp)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -wr 5>"$fdfile" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$fdfile")" QT_QPA_PLATFORM=xcb SKETRIN_NO_JOURNAL=1
rm -f "$fdfile"
PIDS=()
cleanup() {
  kill "${PIDS[@]}" 2>/dev/null
  kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
source "$(dirname "$0")/checks.sh"
drag() { screen_drag "$@"; }

count() { "$PROBE" count "$@"; }
white() { [ "$(pixel "$1" "$2" "$3")" = "255 255 255" ]; }
keys() { xdotool key --delay 60 "$@"; sleep 0.5; }
mode_up() { [ "$(xdotool search --onlyvisible --name '^画面に描く - Sketrin$' 2>/dev/null | wc -l)" = 1 ]; }

"$APP" >"$OUT/app.log" 2>&1 &
PIDS+=($!)
WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^Sketrin Ver' | head -n1)
[ -n "$WID" ] || { echo "the main window did not appear"; exit 1; }
xdotool windowmove "$WID" 540 440
sleep 1

# === the frozen mode =============================================================
keys ctrl+shift+d
check "the drawing mode is up" within 5 mode_up

keys l
drag 100 100 300 100
check "an L stroke shows at once" eval '! white "$(shot laser)" 200 100'
gone() { white "$(shot laser-gone)" 200 100; }
sleep 2
check "and is gone 3 s later" within 2 gone
keys l

xdotool mousemove 500 300
keys s
f=$(shot spot)
check "S dims a corner" [ "$(pixel "$f" 20 20)" != "255 255 255" ]
check "and leaves the pointer's surroundings as they were" white "$f" 530 300
keys s
check "S again takes the spotlight away" white "$(shot spot-off)" 20 20

keys n
for x in 100 200 300; do
  xdotool mousemove $x 220 click 1
  sleep 0.3
done
f=$(shot steps)
check "three N clicks put three marks" eval '! white "$f" 100 220 && ! white "$f" 200 220 && ! white "$f" 300 220'
keys ctrl+z
f=$(shot steps-undone)
check "Ctrl+Z takes the third off" eval 'white "$f" 300 220 && ! white "$f" 200 220'
keys n

# Text to hide: black letters, anti-aliased.
xdotool mousemove 100 320
keys F5 t
xdotool type --delay 40 "SECRET 1234"
keys Return Escape
sleep 0.3
black() { count "$1" 90 300 260 60 0 0 0 0; }
f=$(shot text)
check "the text is there, in black" [ "$(black "$f")" -gt 20 ]
keys m
drag 90 300 350 360
f=$(shot redacted)
check "M and a drag pixelate it: no black letter is left" [ "$(black "$f")" = 0 ]
check "and it is not white either" [ "$(count "$f" 90 300 260 60 255 255 255 0)" -lt 15600 ]
keys m

keys question
f=$(shot card)
check "? shows the key card in the middle" [ "$(pixel "$f" 512 384)" != "255 255 255" ]
keys Escape
check "Esc hides it" white "$(shot card-gone)" 512 384
check "without leaving the mode" mode_up

# Laser ink never goes back with the picture.
keys l
drag 100 160 300 160
xdotool key Escape
check "Esc leaves the mode" within 5 eval '! mode_up'
sleep 0.5
xdotool windowfocus --sync "$WID" 2>/dev/null
xdotool key ctrl+shift+c
sleep 0.8
xclip -selection clipboard -t image/png -o >"$OUT/handed.png" 2>/dev/null
check "the picture handed back holds no laser ink" white "$OUT/handed.png" 250 160

# === the live mode ===============================================================
xcompmgr >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5
keys ctrl+shift+l
check "the live mode is up" within 5 mode_up
# The screen beneath is the compositor's grey here, not white.
base=$(pixel "$(shot live-base)" 200 100)
centre=$(pixel "$OUT/live-base.png" 512 384)
keys l
drag 100 100 300 100
check "live: an L stroke shows at once" [ "$(pixel "$(shot live-laser)" 200 100)" != "$base" ]
livegone() { [ "$(pixel "$(shot live-laser-gone)" 200 100)" = "$base" ]; }
sleep 2
check "live: and is gone 3 s later" within 2 livegone
xdotool mousemove 500 300
keys s
check "live: S dims a corner" [ "$(pixel "$(shot live-spot)" 20 20)" != "$(pixel "$OUT/live-base.png" 20 20)" ]
keys s
keys question
check "live: ? shows the key card" [ "$(pixel "$(shot live-card)" 512 384)" != "$centre" ]
xdotool mousemove 700 100 click 1
sleep 0.5
check "live: a click hides it" [ "$(pixel "$(shot live-card-gone)" 512 384)" = "$centre" ]
check "live: without leaving the mode" mode_up
keys Escape

echo "kit: $passed passed, $failed failed"
[ "$failed" = 0 ]
