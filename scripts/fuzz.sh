#!/usr/bin/env bash
# Builds the 3DS reader's fuzz target with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs it on one core, seeded with the
# shared corpus and the regression files.
#
#   scripts/fuzz.sh [runs]           default 10000000 executions
#
# New inputs go to build-fuzz/corpus-3ds, findings to build-fuzz/artifacts/.
# A finding, once fixed, is copied to fuzz/regressions/3ds/ so that the
# File3DS_fuzz_replay test checks it on every test run.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$ROOT/build-fuzz"
RUNS="${1:-10000000}"
SHARED="${STICKFIGHT_SHARED_DIR:-$ROOT/../shared}"
mkdir -p "$OUT/corpus-3ds" "$OUT/artifacts"

clang++-14 -std=c++20 -g -O1 -fPIC \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  $(pkg-config --cflags Qt6Core) -I"$ROOT/src/base" -I"$ROOT/src/mesh" \
  "$ROOT/fuzz/File3DS_fuzz.cpp" "$ROOT/src/mesh/File3DS.cpp" \
  "$ROOT/src/base/BinaryReader.cpp" "$ROOT/src/base/Exceptions.cpp" \
  $(pkg-config --libs Qt6Core) -o "$OUT/File3DS_fuzz"

# Seeds: the shared corpus's model files (not its pictures) and every past
# finding.
rm -rf "$OUT/seeds-3ds" && mkdir -p "$OUT/seeds-3ds"
if [ -d "$SHARED/corpus/3ds" ]; then
  find "$SHARED/corpus/3ds" -type f \( -iname '*.3ds' -o -name testFormatDetection \) \
    -exec sh -c 'cp "$1" "$2/$(echo "$1" | md5sum | cut -c1-12)-$(basename "$1")"' _ {} "$OUT/seeds-3ds" \;
else
  echo "The shared corpus is not at $SHARED; seeding with the regressions only" >&2
fi

# The largest seed (about 480 KB) would make every mutation slow; inputs are
# cut at 16 KB, which still holds every structure the reader knows.
exec "$OUT/File3DS_fuzz" "$OUT/corpus-3ds" "$OUT/seeds-3ds" "$ROOT/fuzz/regressions/3ds" \
  -runs="$RUNS" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$OUT/artifacts/" -print_final_stats=1
