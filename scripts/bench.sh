#!/usr/bin/env bash
# Builds the game and its speed measurements in build/ (the normal
# RelWithDebInfo build: -O2 -g), starts an X server of its own, runs every
# measurement one after the other on it and prints one table: measurement,
# ours, peer or target, ratio, met. Takes about ten minutes on two cores.
#
#   scripts/bench.sh [--runs N]   N fresh starts of the program (default 5)
#
# Each program's own output is kept in build/bench-logs/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build"
LOGS="$BUILD/bench-logs"

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j"$(nproc)" --target stickfight fight_speed_bench minimal_fight_bench fight_load_bench \
  smd_load_bench menu_tick_bench
mkdir -p "$LOGS"

XVFB_PID=""
stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}
trap stop_xvfb EXIT INT TERM

# Always a server of its own, never the caller's display: nothing else draws
# or takes the pointer meanwhile.
for number in $(seq 150 199); do
  [ -e "/tmp/.X${number}-lock" ] && continue
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
[ -n "$XVFB_PID" ] || { echo "Could not start Xvfb" >&2; exit 1; }

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
echo "load before the run: $(uptime | sed 's/.*load average/load average/')"
python3 "$ROOT/scripts/bench.py" "$BUILD" "$LOGS" "$@"
echo "load after the run: $(uptime | sed 's/.*load average/load average/')"
