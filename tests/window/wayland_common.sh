# Sourced by the scripts that start a Wayland compositor of their own: a
# private runtime folder, the processes in PIDS (and a bus in BUS_PID) ended
# with the script, a wait that polls, and a headless sway with two outputs.
skip() { echo "skip - $*"; exit 77; }
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
PIDS=()
finish() {
  exec 7>&- 2>/dev/null # a pipe a script may have opened there
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "${BUS_PID:-}" ] && kill "$BUS_PID" 2>/dev/null
  rm -rf "$XDG_RUNTIME_DIR"
}
trap finish EXIT
# Polls COMMAND until it succeeds, for up to SECONDS: a loaded machine gets time.
waitfor() { # SECONDS COMMAND...
  local seconds=$1
  shift
  for _ in $(seq 1 $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
# Starts sway headless with CONFIG (whose outputs it names HEADLESS-1 and
# HEADLESS-2), its log in LOG, and adds the second output; SWAYSOCK and
# WAYLAND_DISPLAY are then set. Skips where sway cannot start.
start_two_output_sway() { # CONFIG LOG
  local run=() tool
  for tool in sway swaymsg grim; do
    command -v $tool >/dev/null || skip "no $tool"
  done
  # sway will not run as root: there it runs as nobody, in a runtime folder of
  # nobody's that root reaches all the same.
  if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || skip "no setpriv to run sway unprivileged"
    chown 65534 "$XDG_RUNTIME_DIR"
    run=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  chmod 644 "$1"
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    "${run[@]}" sway -c "$1" >"$2" 2>&1 &
  PIDS+=($!)
  sway_up() { ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock >/dev/null 2>&1 && ls "$XDG_RUNTIME_DIR"/wayland-? >/dev/null 2>&1; }
  waitfor 30 sway_up || skip "sway did not start here"
  export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n1)
  export WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-? | head -n1)")
  swaymsg create_output >/dev/null || skip "sway cannot add an output"
  outputs_up() { [ "$(swaymsg -t get_outputs | grep -c '"name": "HEADLESS')" -eq 2 ]; }
  waitfor 30 outputs_up || { echo "FAIL - sway has not two outputs"; exit 1; }
}
