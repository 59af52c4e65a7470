# Sourced by test.sh and scripts/bench.sh: starts an X server of the caller's
# own on the first free display number in FIRST..LAST, exports DISPLAY and
# stops the server when the calling script exits.
#   start_own_xvfb FIRST LAST
XVFB_PID=""
stop_own_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}

start_own_xvfb() {
  trap stop_own_xvfb EXIT INT TERM
  local number
  for number in $(seq "$1" "$2"); do
    [ -e "/tmp/.X${number}-lock" ] && continue
    # -noreset: otherwise the server resets whenever its last client leaves
    # and refuses new connections meanwhile, failing the next client's start.
    Xvfb ":$number" -screen 0 1600x1000x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X${number}" ] && break
      sleep 0.1
    done
    if kill -0 "$XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$number"
      return 0
    fi
    XVFB_PID=""
  done
  echo "Could not start Xvfb" >&2
  exit 1
}
