# Sourced by the scripts that need an X server of their own:
#   start_xvfb WIDTHxHEIGHT
# starts Xvfb on a display no one uses (it picks the number itself) and sets
# XVFB_PID and XVFB_DISPLAY; it fails if the server did not come up.
start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 5 -screen 0 "${1}x24" -nolisten tcp 5>"$fdfile" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 1 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  XVFB_DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  [ "$XVFB_DISPLAY" != ":" ]
}
