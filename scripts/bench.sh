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

# Always a server of its own, never the caller's display: nothing else draws
# or takes the pointer meanwhile.
# shellcheck source=xvfb.sh
source "$ROOT/scripts/xvfb.sh"
start_own_xvfb 150 199

export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
echo "load before the run: $(uptime | sed 's/.*load average/load average/')"
python3 "$ROOT/scripts/bench.py" "$BUILD" "$LOGS" "$@"
echo "load after the run: $(uptime | sed 's/.*load average/load average/')"
