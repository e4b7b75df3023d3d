#!/usr/bin/env bash
# From Ctrl+Shift+D, pressed while another program has the focus, to the drawing
# mode's frozen screen on show, on X11 at 1920 x 1080 (or SIZE): ten times under
# Xvfb, timed from outside by keyprobe, the window system's round trip included.
# The main window shows on the screen, so it steps aside first.
#   bash bench/draw_key.sh BUILD_DIR [RUNS] [SIZE [GOAL_MS]]
set -u
BUILD=${1:-build-release}
RUNS=${2:-10}
SIZE=${3:-1920x1080}
GOAL=${4:-60}
source "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb "$SIZE" || { echo "Xvfb did not start"; exit 1; }
XVFB=$XVFB_PID
export DISPLAY=$XVFB_DISPLAY QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$(mktemp -d) XDG_STATE_HOME=$(mktemp -d) XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'kill $(jobs -p) 2>/dev/null' EXIT
BUS=$(dirname "$0")/../tests/session-bus.conf.in
conf=$(mktemp)
sed "s|@SKETRIN_TEST_BUS_SERVICES@|$(mktemp -d)|" "$BUS" >"$conf"
dbus-run-session --config-file="$conf" -- 2>/dev/null bash -c '
  "$0/tests/window/patternwindow" 60 120 >/dev/null 2>&1 &
  "$0/sketrin" >/dev/null 2>&1 &
  timeout 20 xdotool search --sync --onlyvisible --name "^Sketrin Ver" >/dev/null
  pattern=$(timeout 20 xdotool search --sync --onlyvisible --name "^pattern$" | head -n1)
  sleep 1
  xdotool windowfocus --sync "$pattern"
  "$0/bench/keyprobe" "$1"
' "$BUILD" "$RUNS" | sort -n | awk -v size="$SIZE" -v goal="$GOAL" '{ v[NR] = $1 } END {
  if (NR == 0) { print "key to frozen screen: no figure"; exit 1 }
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%-44s median %6.1f  min %6.1f  max %6.1f   goal %-8s %s\n", "key to frozen screen " size ", ms", m, v[1], v[NR], "<= " goal, (m <= goal ? "PASS" : "MISSED") }'
