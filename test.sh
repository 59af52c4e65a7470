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
  # intercept_tls_get_addr=0: this runtime's own tracking of dynamically
  # loaded libraries' thread-local blocks makes the leak check at exit scan a
  # bogus range and crash now and then ("Tracer caught signal 11"). Without it
  # those blocks are still scanned, as the heap blocks they are.
  export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:print_stacktrace=1:intercept_tls_get_addr=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitize/lsan.supp:print_suppressions=0"
fi
"$ROOT/scripts/setup.sh"

# shellcheck source=scripts/xvfb.sh
source "$ROOT/scripts/xvfb.sh"
[ -n "${DISPLAY:-}" ] || start_own_xvfb 90 140

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
