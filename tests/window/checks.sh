# Sourced by the scripts that drive the program in an X window: each check
# counts in `passed` or `failed`, a failed one leaves a screenshot in $OUT.
# PROBE is the shotprobe.
passed=0
failed=0
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
within() { # SECONDS COMMAND...: true once COMMAND is
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.2
  done
}
shot() { import -window root "$OUT/$1.png"; echo "$OUT/$1.png"; }
pixel() { "$PROBE" pixel "$1" "$2" "$3"; }
screen_drag() { # x0 y0 x1 y1 on the screen, in eight moves
  xdotool mousemove "$1" "$2" mousedown 1
  local i
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(($1 + ($3 - $1) * i / 8)) $(($2 + ($4 - $2) * i / 8))
  done
  xdotool mouseup 1
  sleep 0.3
}
