#!/usr/bin/env bash
# Builds a reader's fuzz target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs it on one core, seeded with the shared
# corpus and the regression files.
#
#   scripts/fuzz.sh [runs]           the 3DS reader, default 10000000 executions
#   scripts/fuzz.sh 3ds [runs]       the same
#   scripts/fuzz.sh smd [runs]       the SMD reader
#   scripts/fuzz.sh regressions      builds both targets and runs each once over
#                                    its regression files; fails on any finding
#
# New inputs go to build-fuzz/corpus-<format>, findings to
# build-fuzz/artifacts-<format>/. A finding, once fixed, is copied to
# fuzz/regressions/<format>/ so that the <Target>_fuzz_replay test and the
# regressions run check it on every test run.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$ROOT/build-fuzz"
SHARED="${STICKFIGHT_SHARED_DIR:-$ROOT/../shared}"

# Sets TARGET, SOURCES, SEED_PATTERN, MAX_LEN and EXTRA for a format.
describe_target() {
  case "$1" in
    3ds)
      TARGET=File3DS_fuzz
      SOURCES=("$ROOT/src/mesh/File3DS.cpp" "$ROOT/src/base/BinaryReader.cpp")
      SEED_PATTERN=(\( -iname '*.3ds' -o -name testFormatDetection \))
      # The largest seed (about 480 KB) would make every mutation slow; inputs
      # are cut at 16 KB, which still holds every structure the reader knows.
      MAX_LEN=16384
      EXTRA=()
      ;;
    smd)
      TARGET=SMD_fuzz
      SOURCES=("$ROOT/src/mesh/SMD.cpp" "$ROOT/src/base/BinaryReader.cpp")
      SEED_PATTERN=(-iname '*.smd')
      # 8 KB holds a header, nodes, frames and triangles; longer inputs only
      # repeat lines and slow the mutations down.
      MAX_LEN=8192
      EXTRA=(-dict="$ROOT/fuzz/SMD.dict")
      ;;
  esac
}

build_target() {
  mkdir -p "$OUT"
  clang++-14 -std=c++20 -g -O1 -fPIC \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    $(pkg-config --cflags Qt6Core) -I"$ROOT/src/base" -I"$ROOT/src/mesh" \
    "$ROOT/fuzz/$TARGET.cpp" "${SOURCES[@]}" "$ROOT/src/base/Exceptions.cpp" \
    $(pkg-config --libs Qt6Core) -o "$OUT/$TARGET"
}

# Each past finding once, through the sanitizers; libFuzzer stops with an
# error at the first report.
replay_regressions() {
  local format
  for format in 3ds smd; do
    describe_target "$format"
    local inputs=()
    mapfile -t inputs < <(find "$ROOT/fuzz/regressions/$format" -type f ! -name .keep | sort)
    if ((${#inputs[@]} == 0)); then
      echo "$TARGET: no regression inputs"
      continue
    fi
    build_target
    echo "$TARGET: ${#inputs[@]} regression inputs"
    "$OUT/$TARGET" "${inputs[@]}" 2>"$OUT/regressions-$format.log" ||
      { cat "$OUT/regressions-$format.log" >&2; exit 1; }
  done
}

if [ "${1:-}" = regressions ]; then
  replay_regressions
  exit 0
fi

FORMAT=3ds
if [ "${1:-}" = 3ds ] || [ "${1:-}" = smd ]; then
  FORMAT="$1"
  shift
fi
RUNS="${1:-10000000}"
describe_target "$FORMAT"
build_target
mkdir -p "$OUT/corpus-$FORMAT" "$OUT/artifacts-$FORMAT"

# Seeds: the shared corpus's model files (not its pictures) and every past
# finding.
rm -rf "$OUT/seeds-$FORMAT" && mkdir -p "$OUT/seeds-$FORMAT"
if [ -d "$SHARED/corpus/$FORMAT" ]; then
  find "$SHARED/corpus/$FORMAT" -type f "${SEED_PATTERN[@]}" \
    -exec sh -c 'cp "$1" "$2/$(echo "$1" | md5sum | cut -c1-12)-$(basename "$1")"' _ {} "$OUT/seeds-$FORMAT" \;
else
  echo "The shared corpus is not at $SHARED; seeding with the regressions only" >&2
fi
mkdir -p "$ROOT/fuzz/regressions/$FORMAT"

exec "$OUT/$TARGET" "$OUT/corpus-$FORMAT" "$OUT/seeds-$FORMAT" "$ROOT/fuzz/regressions/$FORMAT" \
  -runs="$RUNS" -max_len="$MAX_LEN" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$OUT/artifacts-$FORMAT/" -print_final_stats=1 "${EXTRA[@]}"
