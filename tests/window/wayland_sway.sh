#!/usr/bin/env bash
# The drawing mode on Wayland, under a headless sway with two outputs (one at
# scale 2), the desktop's own screenshot portal (xdg-desktop-portal with its
# wlroots backend) on a private session bus, and the pointer and the focus put
# on each output in turn: the mode must open on that output, showing exactly
# what grim takes of it. Skips (77) where sway cannot start.
#   wayland_sway.sh SKETRIN SHOTPROBE ARTIFACT_DIR BUS_CONFIG
set -u
APP=$1
PROBE=$2
OUT=$3
BUS_CONFIG=$4
mkdir -p "$OUT"
LOG=$OUT/sway
rm -f "$LOG"-*
. "$(dirname "$0")/wayland_common.sh"
for tool in sway swaymsg swaybg grim pipewire python3 dbus-daemon; do
  command -v $tool >/dev/null || skip "no $tool"
done
for service in xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk; do
  [ -x /usr/libexec/$service ] || skip "no $service"
done

# Sketrin is ended here by SIGTERM, an end the user did not choose, and started
# again: no journal of the drawing is kept, or the next start would ask about it.
export SKETRIN_NO_JOURNAL=1

# Fine detail on each output, drawn pixel for pixel: any resampling shows.
"$PROBE" pattern "$XDG_RUNTIME_DIR/one.png" 800 600 20 60 200
"$PROBE" pattern "$XDG_RUNTIME_DIR/two.png" 800 600 200 40 30
chmod 644 "$XDG_RUNTIME_DIR"/*.png
cat >"$XDG_RUNTIME_DIR/config" <<EOF
xwayland disable
default_border none
focus_follows_mouse yes
output HEADLESS-1 resolution 800x600 position 0 0 scale 1 bg $XDG_RUNTIME_DIR/one.png stretch
output HEADLESS-2 resolution 800x600 position 800 0 scale 2 bg $XDG_RUNTIME_DIR/two.png stretch
EOF
start_two_output_sway "$XDG_RUNTIME_DIR/config" "$LOG-compositor.log"
export XDG_CURRENT_DESKTOP=sway
swaymsg output HEADLESS-2 resolution 800x600 position 800 0 scale 2 >/dev/null

# Each output as it is with no window on it: what the mode must show there.
shot_same() { grim -o "$1" "$OUT/sway-now.png" 2>/dev/null && [ "$("$PROBE" diff "$OUT/sway-now.png" "$2")" = 0 ]; }
for o in 1 2; do
  settled() { grim -o HEADLESS-$o "$OUT/sway-ref$o.png" 2>/dev/null && sleep 0.5 && shot_same HEADLESS-$o "$OUT/sway-ref$o.png"; }
  waitfor 60 settled || { echo "FAIL - no steady picture of HEADLESS-$o"; exit 1; }
done

# The desktop's portals, started here on a private bus (never by activation).
BUS=$(dbus-daemon --config-file="$BUS_CONFIG" --fork --print-address=1 --print-pid=1) || skip "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(echo "$BUS" | head -n1)
BUS_PID=$(echo "$BUS" | sed -n 2p)
owned() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:"$1" 2>/dev/null | grep -q true; }
pipewire >"$LOG-pipewire.log" 2>&1 &
PIDS+=($!)
waitfor 30 test -S "$XDG_RUNTIME_DIR/pipewire-0" || skip "pipewire did not start"
/usr/libexec/xdg-desktop-portal-wlr >"$LOG-portal-wlr.log" 2>&1 &
PIDS+=($!)
GDK_BACKEND=wayland /usr/libexec/xdg-desktop-portal-gtk >"$LOG-portal-gtk.log" 2>&1 &
PIDS+=($!)
waitfor 60 owned org.freedesktop.impl.portal.desktop.wlr || skip "the wlroots portal did not start"
waitfor 60 owned org.freedesktop.impl.portal.desktop.gtk || skip "the GTK portal did not start"
/usr/libexec/xdg-desktop-portal >"$LOG-portal.log" 2>&1 &
PIDS+=($!)
waitfor 60 owned org.freedesktop.portal.Desktop || skip "the portal did not start"

# What sway says of the drawing mode's window: "OUTPUT fullscreen focused".
mode_window() {
  swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node, output):
    if node.get("type") == "output":
        output = node["name"]
    if node.get("name") == "画面に描く - Sketrin":
        print(output, node.get("fullscreen_mode", 0) > 0, node.get("focused"))
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child, output)
walk(json.load(sys.stdin), None)'
}
main_window() { swaymsg -t get_tree | grep -q '"name": "Sketrin Ver'; }
no_mode_window() { [ -z "$(mode_window)" ]; }
has_mode_window() { [ -n "$(mode_window)" ]; }
failures=0
check() {
  if [ "$1" = ok ]; then echo "ok   - $2"; else
    echo "FAIL - $2"
    failures=$((failures + 1))
  fi
}
APP_ENV=(env)
start_app() {
  "${APP_ENV[@]}" QT_QPA_PLATFORM=wayland "$APP" "$@" >>"$LOG-app.log" 2>&1 &
  APP_PID=$!
  PIDS+=($APP_PID)
}
# Puts the pointer and the focus on HEADLESS-N.
go_to() {
  local x=$(($1 == 1 ? 400 : 1000))
  swaymsg seat - cursor set $x 150 >/dev/null
  swaymsg focus output HEADLESS-$1 >/dev/null
}
# The mode, just entered, must be on HEADLESS-N, have the keyboard, and show
# that output exactly; then it is closed, as Alt+F4 would.
expect_mode_on() {
  local n=$1 what=$2
  local placed=no
  waitfor 90 has_mode_window && [ "$(mode_window)" = "HEADLESS-$n True True" ] && placed=ok
  check $placed "$what: the mode opens full screen on HEADLESS-$n, with the keyboard ($(mode_window))"
  local exact=no
  waitfor 30 shot_same HEADLESS-$n "$OUT/sway-ref$n.png" && exact=ok
  [ $exact = ok ] || cp "$OUT/sway-now.png" "$OUT/sway-mode-$n.png"
  check $exact "$what: it shows HEADLESS-$n as grim takes it, pixel for pixel ($("$PROBE" diff "$OUT/sway-now.png" "$OUT/sway-ref$n.png") differ)"
  if [ $CHECK_OUT_PNG = yes ]; then
    local gone=no
    [ -e /tmp/out.png ] || gone=ok
    check $gone "$what: no picture file of the portal's is left"
  fi
  swaymsg '[title="画面に描く - Sketrin"] kill' >/dev/null
  waitfor 60 no_mode_window || check no "$what: the mode ends when its window is closed"
}

# The fixed file the wlroots portal writes: checked only when it is not there before.
CHECK_OUT_PNG=yes
if [ -e /tmp/out.png ]; then
  echo "note - /tmp/out.png is there already: what becomes of it is not checked"
  CHECK_OUT_PNG=no
fi
# The main window on HEADLESS-1, the user on each output in turn; once as sway
# says where the user is, once as a desktop that does not say (the compositor
# places a window there), once through the screenshot portal, as where the
# compositor does not hand out an output's pixels (exact on the output at
# scale 2, the scale the portal renders the whole desktop at).
for way in sway placed portal; do
  case $way in
  sway) what="sketrin --draw" APP_ENV=(env) outputs="2 1" ;;
  placed) what="without sway's word" APP_ENV=(env -u SWAYSOCK) outputs="2 1" ;;
  portal) what="through the screenshot portal" APP_ENV=(env SKETRIN_SCREENSHOT=portal) outputs=2 ;;
  esac
  go_to 1
  start_app
  waitfor 90 main_window || { echo "FAIL - the main window did not come up on sway"; cat "$LOG-app.log"; exit 1; }
  for n in $outputs; do
    go_to $n
    "${APP_ENV[@]}" QT_QPA_PLATFORM=wayland "$APP" --draw >>"$LOG-app.log" 2>&1
    expect_mode_on $n "$what with the user on HEADLESS-$n"
  done
  kill "$APP_PID"
  wait "$APP_PID" 2>/dev/null
done
# A cold start: the mode at once, on the output the user is on.
go_to 2
APP_ENV=(env)
start_app --draw
expect_mode_on 2 "a cold sketrin --draw"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null
[ $failures -eq 0 ] || { tail -n 30 "$LOG-app.log"; exit 1; }
