#!/usr/bin/env bash
# The layer-shell overlay under a compositor with two outputs: a headless sway
# (the second output at scale 2) or KWin on virtual outputs; under Weston,
# which has no layer shell, it must say so in one line. The overlay goes
# on the second output, a drag draws ink on it while the full-screen window
# beneath gets nothing, and in pass-through clicks on the ink and off it reach
# the window beneath while the ink stays. Skips (77) where the compositor
# cannot start. KWin runs inside a session bus of its own (for its pictures).
# Given the program and shotprobe, the same is done with the program's own
# live mode, asked for with `sketrin --live` as a desktop's key would.
#   wayland_layer.sh LAYERPROBE ARTIFACT_DIR sway|kwin|weston [SKETRIN SHOTPROBE]
set -u
PROBE=$1
OUT=$2
COMPOSITOR=$3
SKETRIN=${4:-}
SHOTPROBE=${5:-}
mkdir -p "$OUT"
LOG=$OUT/layer-$COMPOSITOR
rm -f "$LOG"-*
. "$(dirname "$0")/wayland_common.sh"
failures=0
check() {
  if [ "$1" = ok ]; then echo "ok   - $2"; else
    echo "FAIL - $2"
    failures=$((failures + 1))
  fi
}

start_sway() {
  cat >"$XDG_RUNTIME_DIR/config" <<CONFIG
xwayland disable
default_border none
output HEADLESS-1 resolution 800x600 position 0 0 scale 1 bg #303030 solid_color
CONFIG
  start_two_output_sway "$XDG_RUNTIME_DIR/config" "$LOG-compositor.log"
  swaymsg output HEADLESS-2 resolution 800x600 position 800 0 scale 2 bg '#303030' solid_color >/dev/null
  # HEADLESS-2 is 400 x 300 in the layout, beside HEADLESS-1.
  FIRST=HEADLESS-1 SECOND=HEADLESS-2 SCALE=2 LAYOUT="1200 600"
  shot() { grim -o "$1" "$2" 2>/dev/null; }
}

start_kwin() {
  local kwin
  kwin=$(command -v kwin_wayland) || skip "no kwin_wayland"
  command -v dbus-send >/dev/null || skip "no dbus-send"
  [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || skip "no session bus for KWin"
  # Its file capabilities keep it from starting where the process may not
  # gain them (a container): a copy has none.
  if ! "$kwin" --version >/dev/null 2>&1; then
    cp "$kwin" "$XDG_RUNTIME_DIR/kwin_wayland"
    kwin=$XDG_RUNTIME_DIR/kwin_wayland
  fi
  # The test's mouse (fake input) and pictures (ScreenShot2) are for trusted programs only.
  KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
    "$kwin" --virtual --socket sketrin-layer --width 800 --height 600 --output-count 2 --no-lockscreen \
    >"$LOG-compositor.log" 2>&1 &
  PIDS+=($!)
  export WAYLAND_DISPLAY=sketrin-layer
  waitfor 30 test -S "$XDG_RUNTIME_DIR/sketrin-layer" || skip "KWin did not start here"
  owned() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.KWin 2>/dev/null | grep -q true; }
  waitfor 30 owned || skip "KWin took no name on the bus"
  FIRST=Virtual-0 SECOND=Virtual-1 SCALE=1 LAYOUT="1600 600"
  shot() { "$PROBE" kwinshot "$1" "$2" >>"$LOG-shots.log" 2>&1; }
}

# A compositor without the layer shell: the overlay says so, and that is all.
without_layer_shell() {
  command -v weston >/dev/null || skip "no weston"
  weston --backend=headless-backend.so --use-pixman --width=800 --height=600 --socket=sketrin-layer \
    --idle-time=0 >"$LOG-compositor.log" 2>&1 &
  PIDS+=($!)
  export WAYLAND_DISPLAY=sketrin-layer
  waitfor 30 test -S "$XDG_RUNTIME_DIR/sketrin-layer" || skip "weston did not start here"
  QT_QPA_PLATFORM=offscreen "$PROBE" overlay "" >"$LOG-overlay.log" 2>&1
  local said
  said=$(grep -v QStandardPaths "$LOG-overlay.log")
  case $said in
  "error The Wayland compositor has no layer shell"*) echo "ok   - without a layer shell, one line says so ($said)" ;;
  *) echo "FAIL - without a layer shell, one line says so ($said)"; exit 1 ;;
  esac
  exit 0
}

case $COMPOSITOR in
sway) start_sway ;;
kwin) start_kwin ;;
weston) without_layer_shell ;;
*) echo "FAIL - no compositor $COMPOSITOR"; exit 1 ;;
esac

# A mouse of the probe's, fed a line at a time.
mkfifo "$XDG_RUNTIME_DIR/pointer"
"$PROBE" pointer $LAYOUT <"$XDG_RUNTIME_DIR/pointer" >"$LOG-pointer.log" 2>&1 &
PIDS+=($!)
exec 7>"$XDG_RUNTIME_DIR/pointer"
acks() { grep -c '^ok' "$LOG-pointer.log"; }
sent=0
mouse() {
  echo "$*" >&7
  sent=$((sent + 1))
  waitfor 10 eval '[ "$(acks)" -ge $sent ]' || { echo "FAIL - the mouse is stuck at: $*"; exit 1; }
}
waitfor 10 grep -q '^pointer' "$LOG-pointer.log" || skip "no virtual pointer here ($(cat "$LOG-pointer.log"))"

# The program's live mode over a full-screen window on the second output.
live_program() {
  export SKETRIN_NO_JOURNAL=1 XDG_STATE_HOME=$XDG_RUNTIME_DIR/state QT_QPA_PLATFORM=wayland
  mouse move 300 300 # the main window on the first output
  "$SKETRIN" >"$LOG-sketrin.log" 2>&1 &
  PIDS+=($!)
  running() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:test.velmorasw.Sketrin 2>/dev/null | grep -q true; }
  waitfor 30 running || { echo "FAIL - Sketrin did not come up"; exit 1; }
  mouse move 1000 150
  "$PROBE" clicks $SECOND >"$LOG-clicks.log" 2>&1 &
  PIDS+=($!)
  waitfor 30 grep -q "^on $SECOND" "$LOG-clicks.log" || { echo "FAIL - the window beneath did not come up"; exit 1; }
  sleep 0.5
  "$SKETRIN" --live
  sleep 1
  mouse move 900 50
  mouse press
  for i in 1 2 3 4 5 6 7 8; do mouse move $((900 + i * 25)) $((50 + i * 25)); done
  mouse release
  dark() { shot $SECOND "$LOG-live.png" && "$SHOTPROBE" count "$LOG-live.png" $((100 * SCALE)) $((50 * SCALE)) \
    $((200 * SCALE)) $((200 * SCALE)) 0 0 0 40; }
  inked() { [ "$(dark)" -gt $((100 * SCALE)) ]; }
  ink=no
  waitfor 10 inked && ink=ok
  check $ink "sketrin --live: a drag draws ink on $SECOND ($(dark) dark pixels)"
  grep -q clicked "$LOG-clicks.log" && check no "sketrin --live: the window beneath got the drag"
  "$SKETRIN" --live # letting through
  sleep 0.5
  mouse move 1000 150
  mouse press
  mouse release
  mouse move 1150 50
  mouse press
  mouse release
  through=no
  waitfor 10 clicked 2 && through=ok
  check $through "sketrin --live again: clicks on the ink and off it reach the window beneath"
  stays=no
  inked && stays=ok
  check $stays "sketrin --live again: the ink stays"
  [ $failures -eq 0 ] || { cat "$LOG-sketrin.log"; exit 1; }
  exit 0
}
clicked() { [ "$(grep -c '^clicked' "$LOG-clicks.log")" -ge "$1" ]; }
[ -n "$SKETRIN" ] && live_program

# The window beneath, full screen on the second output; the overlay over it.
# Both outputs are 800 x 600 pixels; the second starts at 800 in the layout.
mouse move 1000 150
QT_QPA_PLATFORM=wayland "$PROBE" clicks $SECOND >"$LOG-clicks.log" 2>&1 &
PIDS+=($!)
waitfor 30 grep -q "^on $SECOND" "$LOG-clicks.log" || { echo "FAIL - the window beneath did not come up on $SECOND"; exit 1; }
QT_QPA_PLATFORM=wayland "$PROBE" overlay $SECOND --pass-after-stroke >"$LOG-overlay.log" 2>&1 &
PIDS+=($!)
waitfor 30 grep -q '^open' "$LOG-overlay.log"
opened=$(grep -E '^(open|error)' "$LOG-overlay.log")
[ "$opened" = "open $((800 / SCALE))x$((600 / SCALE)) scale $SCALE" ] && placed=ok || placed=no
check $placed "the overlay opens on $SECOND at its logical size and scale ($opened)"

# The wheel turned down by ten pixels where the drag will start.
mouse move 900 50
mouse wheel
turned=no
waitfor 10 grep -q '^wheel 100 50 0,-120 0,-10$' "$LOG-overlay.log" && turned=ok
check $turned "the overlay gets the wheel as Qt counts it ($(grep '^wheel' "$LOG-overlay.log"))"

# Keys, where the compositor can make them up: the overlay takes them while drawing.
if [ $COMPOSITOR = kwin ]; then
  mouse key 45 # x
  took=no
  waitfor 10 grep -q '^key 88 x$' "$LOG-overlay.log" && ! grep -q '^typed' "$LOG-clicks.log" && took=ok
  check $took "while drawing the overlay takes the keys, not the window beneath"
fi

# A drag from (900, 50) to (1100, 250): (100, 50) to (300, 250) on the overlay, SCALE times that in pixels.
mouse move 900 50
mouse press
for i in 1 2 3 4 5 6 7 8; do mouse move $((900 + i * 25)) $((50 + i * 25)); done
mouse release
waitfor 10 grep -q '^passthrough' "$LOG-overlay.log"
drawn=no
grep -q '^pressed 100 50$' "$LOG-overlay.log" && grep -q '^released 300 250$' "$LOG-overlay.log" && drawn=ok
check $drawn "the overlay gets the drag in its own coordinates"
beneath=ok
grep -q clicked "$LOG-clicks.log" && beneath=no
check $beneath "the window beneath gets nothing of the drag"
red_on() { shot "$1" "$LOG-$2.png" && "$PROBE" red "$LOG-$2.png" $3 $4 $5 $6; }
stroke() { red_on $SECOND drawn $((100 * SCALE)) $((50 * SCALE)) $((200 * SCALE)) $((200 * SCALE)); }
inked() { [ "$(stroke)" -gt $((400 * SCALE * SCALE)) ]; }
ink=no
waitfor 10 inked && ink=ok
check $ink "the ink shows on $SECOND, at scale $SCALE ($(stroke) red pixels)"
clean=no
[ "$(red_on $FIRST other 0 0 800 600)" = 0 ] && clean=ok
check $clean "$FIRST shows no ink"

# Pass-through: a click on the ink and one off it both reach the window beneath.
mouse move 1000 150
mouse press
mouse release
through=no
waitfor 10 clicked 1 && through=ok
check $through "in pass-through a click on the ink reaches the window beneath"
mouse move 1150 50
mouse press
mouse release
through=no
waitfor 10 clicked 2 && through=ok
check $through "in pass-through a click off the ink reaches the window beneath"
[ "$(grep -c '^pressed' "$LOG-overlay.log")" -eq 1 ] || check no "the overlay got the clicks meant for the window beneath"
if [ $COMPOSITOR = kwin ]; then
  mouse key 45
  passed=no
  waitfor 10 grep -q '^typed x$' "$LOG-clicks.log" && [ "$(grep -c '^key' "$LOG-overlay.log")" -eq 1 ] && passed=ok
  check $passed "in pass-through the keys reach the window beneath"
fi
stays=no
inked && stays=ok
check $stays "the ink stays in pass-through"
alive=no
kill -0 "${PIDS[-1]}" 2>/dev/null && ! grep -q '^closed' "$LOG-overlay.log" && alive=ok
check $alive "the overlay is still there"

# A hundred presents in ten bursts on the first output: one commit a frame of
# the display at most (two a burst: one at once, one when the frame is done),
# and every square on screen however the buffers came round.
WAYLAND_DEBUG=1 QT_QPA_PLATFORM=offscreen "$PROBE" flood $FIRST >"$LOG-flood.log" 2>"$LOG-flood-wire.log" &
PIDS+=($!)
waitfor 30 grep -q '^done' "$LOG-flood.log"
all_squares() { [ "$(red_on $FIRST flood 0 0 200 200)" = 10000 ]; }
squares=no
waitfor 10 all_squares && squares=ok
check $squares "a hundred squares presented in bursts all show ($(red_on $FIRST flood 0 0 200 200) of 10000 red pixels)"
kill "${PIDS[-1]}"
attached=$(grep -c 'wl_surface@[0-9]*\.attach(' "$LOG-flood-wire.log")
throttled=no
[ "$attached" -ge 2 ] && [ "$attached" -le 21 ] && throttled=ok
check $throttled "the hundred presents took $attached commits, at most one at once and one a frame for each burst"

# An output that is not there: one line, no overlay.
QT_QPA_PLATFORM=offscreen "$PROBE" overlay NO-SUCH-OUTPUT >"$LOG-nosuch.log" 2>&1
said=$(grep '^error' "$LOG-nosuch.log")
nosuch=no
[ "$said" = "error The Wayland compositor has no output named NO-SUCH-OUTPUT." ] && nosuch=ok
check $nosuch "an output that is not there is named in one line ($said)"
# The compositor goes: the overlay says so and ends, without a crash. (Qt on
# Wayland would end the program itself: here Qt is elsewhere.)
QT_QPA_PLATFORM=offscreen "$PROBE" overlay $FIRST >"$LOG-gone.log" 2>&1 &
GONE=$!
PIDS+=($GONE)
waitfor 30 grep -q '^open' "$LOG-gone.log"
kill "${PIDS[0]}"
waitfor 30 grep -q '^closed' "$LOG-gone.log"
wait $GONE
gone=$?
closed=no
[ $gone = 1 ] && grep -q '^closed' "$LOG-gone.log" && closed=ok
check $closed "when the compositor goes the overlay says so and ends (exit $gone: $(grep -v QStandardPaths "$LOG-gone.log" | tr '\n' ' '))"
[ $failures -eq 0 ] || { cat "$LOG-overlay.log" "$LOG-clicks.log"; exit 1; }
