#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest. Window
# and OpenGL tests need an X server: one is started when there is no display.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")" && pwd)"
"$ROOT/scripts/setup.sh"

XVFB_PID=""
stop_xvfb() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true; }
trap stop_xvfb EXIT

if [ -z "${DISPLAY:-}" ]; then
  for number in $(seq 90 140); do
    [ -e "/tmp/.X${number}-lock" ] && continue
    # -noreset: otherwise the server resets whenever its last client leaves
    # and refuses new connections meanwhile, failing the next test's start.
    Xvfb ":$number" -screen 0 1600x1000x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X${number}" ] && break
      sleep 0.1
    done
    if kill -0 "$XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$number"
      break
    fi
    XVFB_PID=""
  done
  [ -n "${DISPLAY:-}" ] || { echo "Could not start Xvfb" >&2; exit 1; }
fi

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
cd "$ROOT/build"
# One test at a time: a bare X server refuses new connections while it is
# busy taking another client's frames, which would fail a starting test.
ctest --output-on-failure "$@"
