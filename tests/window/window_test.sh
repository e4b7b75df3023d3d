#!/usr/bin/env bash
# Drives the real program in an X window under Xvfb with xdotool, as a user would,
# and judges only screenshots and the process's behaviour.
#   window_test.sh SKETRIN SHOTPROBE ARTIFACT_DIR
set -u
APP=$1
PROBE=$2
OUT=$3
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.bmp "$OUT"/*.jpg
passed=0
failed=0

for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh"; exit 1; }
done

# --- X server -------------------------------------------------------------------
exec 3< <(true)
fdfile=$(mktemp)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$fdfile" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$fdfile")"
rm -f "$fdfile"
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
export QT_QPA_PLATFORM=xcb

# --- helpers ------------------------------------------------------------------
check() { # NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok   - $name"
  else
    failed=$((failed + 1))
    echo "FAIL - $name"
    import -window root "$OUT/failed-$(echo "$name" | tr -c 'A-Za-z0-9' '_').png" 2>/dev/null
  fi
}

shot() { import -window root "$OUT/$1.png"; echo "$OUT/$1.png"; }

start_app() {
  "$APP" >"$OUT/app.log" 2>&1 &
  APP_PID=$!
  WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^Sketrin Ver' | head -n1)
  [ -n "$WID" ] || { echo "the main window did not appear"; return 1; }
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  MENU=$((HEIGHT - 292))
  # The drawing area starts inside the surface's one-pixel border at (5, 49).
  SX=$((X + 6))
  SY=$((Y + MENU + 50))
  xdotool mousemove $((X + 240)) $((Y + MENU + 200))
  sleep 0.2
}

stop_app() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  wait "$APP_PID" 2>/dev/null
  APP_PID=""
}

drag() { # x0 y0 x1 y1 in surface pixels
  xdotool mousemove $((SX + $1)) $((SY + $2)) mousedown 1
  local i
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((SX + $1 + ($3 - $1) * i / 8)) $((SY + $2 + ($4 - $2) * i / 8))
  done
  xdotool mouseup 1
  sleep 0.3
}

count() { # FILE x y w h r g b [tol], area in surface pixels
  "$PROBE" count "$1" $((SX + $2)) $((SY + $3)) "$4" "$5" "$6" "$7" "$8" "${9:-0}"
}

greater() { [ "$1" -gt "$2" ]; }
between() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
equal() { [ "$1" = "$2" ]; }

# --- the title, the toolbar after start-up -------------------------------------
start_app || exit 1
check "title reads Sketrin Ver2.0" equal "$(xdotool getwindowname "$WID")" "Sketrin Ver2.0"

f=$(shot startup)
CX=$X
CY=$((Y + MENU))
convert "$f" -crop "474x48+$CX+$CY" +repage -filter point -resize 300% "$OUT/toolbar.png"
frame_at() { equal "$("$PROBE" pixel "$f" $((CX + $1)) $((CY + $2)))" "82 150 247"; }
check "pen-mode button (TBarB 0) shows the pressed frame" frame_at 56 8
check "width-1 button (TBarB 3) shows the pressed frame" frame_at 60 32
check "eraser-mode button (TBarB 1) is plain" eval '! frame_at 76 8'

button() { # left top: click the toolbar button at that client position
  xdotool mousemove $((CX + $1 + 8)) $((CY + $2 + 8)) click 1
  sleep 0.8
}
message_shown() { timeout 5 xdotool search --sync --onlyvisible --name '^Sketrin$' >/dev/null; }
answer() { xdotool key "$1"; sleep 0.5; }
for left in 224 244 264 284 304; do
  button "$left" 0
  check "scale button at $left says there is no picture" message_shown
  answer Return
done
for left in 352 372; do
  button "$left" 0
  check "filter button at $left says there is no picture" message_shown
  answer Return
done
no_message() { ! xdotool search --onlyvisible --name '^Sketrin$' >/dev/null; }
check "Enter closed every message" no_message
dialog_open() { [ "$(xdotool getwindowfocus)" != "$WID" ]; }
button 112 0
check "the load button opens the file dialog" dialog_open
answer Escape
button 172 0
check "the colour button opens the colour dialog" dialog_open
answer Escape
xdotool mousemove $((SX + 200)) $((SY + 200))

drag 40 40 200 120
f=$(shot stroke)
check "a drag leaves black pixels" greater "$(count "$f" 0 0 464 237 0 0 0 60)" 100
button 132 0
f=$(shot cleared)
check "the clear button clears the surface" equal "$(count "$f" 0 0 462 237 0 0 0 60)" 0

# --- F5 gives a pen about five pixels wide --------------------------------------
xdotool key F5
sleep 0.3
drag 60 180 360 180
f=$(shot width5)
check "F5 then a drag draws a line about 5 pixels wide" \
  between "$("$PROBE" run "$f" $((SX + 200)) $((SY + 165)) $((SY + 195)) 0 0 0)" 4 6

# --- Ctrl+O, a path typed into Qt's own file dialog ---------------------------
picture="$OUT/red-picture.bmp"
convert -size 120x80 xc:'rgb(220,20,30)' "BMP3:$picture"
xdotool key ctrl+o
sleep 1.5
xdotool type --delay 10 "$picture"
sleep 0.3
xdotool key Return
sleep 1
f=$(shot loaded)
check "the loaded picture shows on the surface" \
  greater "$(count "$f" 0 0 110 70 220 20 30 8)" 7000

# --- exit through the File menu ----------------------------------------------
xdotool mousemove $((X + 25)) $((Y + MENU / 2)) click 1
sleep 0.7
xdotool key x
gone=no
for _ in $(seq 1 50); do
  if ! kill -0 "$APP_PID" 2>/dev/null; then gone=yes; break; fi
  sleep 0.1
done
check "File > exit (access key X) ends the process" equal "$gone" yes
[ "$gone" = yes ] && APP_PID=""

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
