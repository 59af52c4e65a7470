#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest. Window
# and OpenGL tests need an X server: one is started when there is no display.
#
#   ./test.sh [ctest options]              build/, the normal build
#   ./test.sh --sanitize [ctest options]   build-sanitize/: everything built
#       with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer;
#       any report fails the test that made it. The fuzz regressions are then
#       replayed outside CTest too.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")" && pwd)"
BUILD="$ROOT/build"
SANITIZE=0
if [ "${1:-}" = --sanitize ]; then
  SANITIZE=1
  shift
  BUILD="$ROOT/build-sanitize"
  export STICKFIGHT_BUILD_DIR="$BUILD" STICKFIGHT_CMAKE_OPTIONS="-DSTICKFIGHT_SANITIZE=ON -DSTICKFIGHT_BENCH=OFF"
  # Set before the build: the data generators run under the sanitizers too.
  export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:print_stacktrace=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitize/lsan.supp:print_suppressions=0"
fi
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
cd "$BUILD"
# One test at a time: a bare X server refuses new connections while it is
# busy taking another client's frames, which would fail a starting test.
if ((SANITIZE)); then
  # Libraries stay loaded so that leaks inside them carry their names (see
  # tests/sanitize); the preloaded library then precedes the sanitizer's own.
  LD_PRELOAD="$BUILD/tests/sanitize/libkeep_libraries_loaded.so" \
    ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" \
    ctest --output-on-failure "$@"
  "$ROOT/scripts/fuzz.sh" regressions
else
  ctest --output-on-failure "$@"
fi
