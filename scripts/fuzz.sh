#!/usr/bin/env bash
# Builds the readers' fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them on one core each, seeded with the
# shared corpus, generated seeds and the regression files.
#
#   scripts/fuzz.sh all [runs] [seconds]
#                              every target one after another, each until
#                              `runs` executions (default 10000000) or
#                              `seconds` (default 1800), whichever comes
#                              first; then the table below
#   scripts/fuzz.sh FORMAT [runs] [seconds]
#                              one target, same limits; FORMAT is one of
#                              3ds smd md2 glsm picture layout
#   scripts/fuzz.sh [runs]     the 3DS reader (kept for old habits)
#   scripts/fuzz.sh table      the table of the last run of every target:
#                              executions, exec/s, seconds, libFuzzer's cov:
#                              and ft:, corpus files and findings
#   scripts/fuzz.sh regressions
#                              builds every target and runs each once over its
#                              regression files; fails on any finding
#
# FUZZ_RSS_LIMIT_MB (default 2048) is the memory a run may hold; the picture
# target may need more, since a picture of the largest size allowed takes
# 256 MB and AddressSanitizer keeps freed memory for a while.
# Two targets may run at once from two shells (each writes only its own files);
# on a shared machine prefix the command with `nice -n 19`.
#
# Kept between runs in build-fuzz/: corpus-<format>/ (new inputs),
# artifacts-<format>/ (findings), fuzz-<format>.log (libFuzzer's output) and
# summary-<format>.txt (the table's row). A finding, once fixed, is copied to
# fuzz/regressions/<format>/ so that the <Target>_fuzz_replay test and the
# regressions run check it on every test run.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$ROOT/build-fuzz"
SHARED="${STICKFIGHT_SHARED_DIR:-$ROOT/../shared}"
FORMATS=(3ds smd md2 glsm picture layout)
# Leaks inside system libraries are silenced as in the sanitized test build.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/sanitize/lsan.supp:print_suppressions=0}"

# Sets TARGET, SOURCES, PACKAGES, LIBS, SEED_DIRS, SEED_PATTERN, MAX_LEN and
# EXTRA for a format.
describe_target() {
  PACKAGES=(Qt6Core)
  LIBS=()
  EXTRA=()
  case "$1" in
    3ds)
      TARGET=File3DS_fuzz
      SOURCES=("$ROOT/src/mesh/File3DS.cpp" "$ROOT/src/base/BinaryReader.cpp")
      SEED_DIRS=("$SHARED/corpus/3ds")
      SEED_PATTERN=(\( -iname '*.3ds' -o -name testFormatDetection \))
      # The largest seed (about 480 KB) would make every mutation slow; inputs
      # are cut at 16 KB, which still holds every structure the reader knows.
      MAX_LEN=16384
      ;;
    smd)
      TARGET=SMD_fuzz
      SOURCES=("$ROOT/src/mesh/SMD.cpp" "$ROOT/src/base/BinaryReader.cpp")
      SEED_DIRS=("$SHARED/corpus/smd")
      SEED_PATTERN=(-iname '*.smd')
      # 8 KB holds a header, nodes, frames and triangles; longer inputs only
      # repeat lines and slow the mutations down.
      MAX_LEN=8192
      EXTRA=(-dict="$ROOT/fuzz/SMD.dict")
      ;;
    md2)
      TARGET=MD2_fuzz
      SEED_DIRS=("$ROOT/fuzz/seeds/md2" "$SHARED/corpus/md2")
      SEED_PATTERN=(-iname '*.md2')
      # The corpus's models are 40 to 400 KB; 64 KB holds a header and every
      # table of a model of a few hundred vertices and frames.
      MAX_LEN=65536
      ;;
    glsm)
      TARGET=GLSM_fuzz
      SEED_DIRS=("$ROOT/fuzz/seeds/glsm")
      SEED_PATTERN=(-iname '*.glsm')
      MAX_LEN=32768
      EXTRA=(-dict="$ROOT/fuzz/GLSM.dict")
      ;;
    picture)
      TARGET=Picture_fuzz
      SEED_DIRS=("$ROOT/fuzz/seeds/picture" "$SHARED/corpus")
      SEED_PATTERN=(\( -iname '*.jpg' -o -iname '*.bmp' -o -iname '*.tga' -o -iname '*.png' -o -iname '*.gif'
        -o -iname '*.pgm' -o -iname '*.ppm' -o -iname '*.pbm' -o -iname '*.stored' \))
      # Every header and a few blocks of pixels; the corpus's larger pictures
      # are cut short, which the decoders must refuse cleanly.
      MAX_LEN=32768
      ;;
    layout)
      TARGET=Layout_fuzz
      SEED_DIRS=("$ROOT/src/layouts")
      SEED_PATTERN=(-iname '*.json')
      MAX_LEN=16384
      EXTRA=(-dict="$ROOT/fuzz/Layout.dict")
      ;;
    *)
      echo "unknown format: $1 (one of ${FORMATS[*]})" >&2
      exit 2
      ;;
  esac
}

# The readers of 3DS and SMD files stand alone and are built here directly;
# the others read into the game's objects and come from a CMake build of the
# whole program with clang, coverage for libFuzzer and the sanitizers.
build_target() {
  mkdir -p "$OUT"
  case "$TARGET" in
    File3DS_fuzz | SMD_fuzz) build_standalone_target ;;
    *) build_cmake_target ;;
  esac
}

build_cmake_target() {
  local sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
  if [ ! -f "$OUT/cmake/build.ninja" ]; then
    cmake -S "$ROOT" -B "$OUT/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DCMAKE_C_FLAGS="-g -O1 $sanitize" -DCMAKE_CXX_FLAGS="-g -O1 $sanitize" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
      $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) \
      -DSTICKFIGHT_LIBFUZZER=ON -DSTICKFIGHT_BENCH=OFF -DSTICKFIGHT_SHARED_DIR="$SHARED" >"$OUT/cmake.log"
  fi
  ninja -C "$OUT/cmake" -j"${FUZZ_BUILD_JOBS:-2}" "$TARGET" >"$OUT/build-$TARGET.log" ||
    { tail -n 40 "$OUT/build-$TARGET.log" >&2; exit 1; }
  # Renamed into place, so that a run of the old program goes on undisturbed.
  cp "$OUT/cmake/fuzz/$TARGET" "$OUT/$TARGET.new" && mv -f "$OUT/$TARGET.new" "$OUT/$TARGET"
}

build_standalone_target() {
  clang++-14 -std=c++20 -g -O1 -fPIC \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    $(pkg-config --cflags "${PACKAGES[@]}") -I"$ROOT/src/base" -I"$ROOT/src/mesh" -I"$ROOT/src/scene" \
    "$ROOT/fuzz/$TARGET.cpp" "${SOURCES[@]}" "$ROOT/src/base/Exceptions.cpp" \
    $(pkg-config --libs "${PACKAGES[@]}") "${LIBS[@]}" -o "$OUT/$TARGET.new"
  mv -f "$OUT/$TARGET.new" "$OUT/$TARGET"
}

# Each past finding once, through the sanitizers; libFuzzer stops with an
# error at the first report.
replay_regressions() {
  local format
  for format in "${FORMATS[@]}"; do
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

# Copies the format's seed files into build-fuzz/seeds-<format>, each under a
# name made unique by its path.
collect_seeds() {
  local format="$1" dir
  rm -rf "$OUT/seeds-$format" && mkdir -p "$OUT/seeds-$format"
  for dir in "${SEED_DIRS[@]}"; do
    if [ -d "$dir" ]; then
      find "$dir" -type f "${SEED_PATTERN[@]}" \
        -exec sh -c 'cp "$1" "$2/$(echo "$1" | md5sum | cut -c1-12)-$(basename "$1")"' _ {} "$OUT/seeds-$format" \;
    else
      echo "No seeds at $dir; seeding with the rest and the regressions" >&2
    fi
  done
}

# Runs one target until `runs` executions or `seconds`, logging to
# build-fuzz/fuzz-<format>.log, then writes its row of the table.
run_target() {
  local format="$1" runs="$2" seconds="$3"
  describe_target "$format"
  build_target
  mkdir -p "$OUT/corpus-$format" "$OUT/artifacts-$format" "$ROOT/fuzz/regressions/$format"
  collect_seeds "$format"
  local log="$OUT/fuzz-$format.log" stamp="$OUT/.started-$format"
  touch "$stamp"
  local started=$SECONDS status=0
  # At the lowest priority on a shared machine a process can wait many
  # seconds for a core, so an input is called a hang only after 30.
  "$OUT/$TARGET" "$OUT/corpus-$format" "$OUT/seeds-$format" "$ROOT/fuzz/regressions/$format" \
    -runs="$runs" -max_total_time="$seconds" -max_len="$MAX_LEN" -timeout=30 -rss_limit_mb="${FUZZ_RSS_LIMIT_MB:-2048}" \
    -artifact_prefix="$OUT/artifacts-$format/" -print_final_stats=1 "${EXTRA[@]}" \
    >"$log" 2>&1 || status=$?
  write_summary "$format" $((SECONDS - started)) "$stamp"
  rm -f "$stamp"
  tail -n 20 "$log"
  return "$status"
}

# One row: format, executions, exec/s, seconds, cov, ft, corpus files,
# findings (crashes, leaks, hangs and memory blow-ups written during this run;
# not the slow units, which on a busy machine are mostly waits for a core).
write_summary() {
  local format="$1" elapsed="$2" stamp="$3" log="$OUT/fuzz-$1.log"
  local status_line execs rate cov ft corpus findings
  status_line="$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)"
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  [ -n "$execs" ] || execs="$(echo "$status_line" | sed -n 's/^#\([0-9]*\).*/\1/p')"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  [ -n "$rate" ] || rate="$(echo "$status_line" | sed -n 's/.*exec\/s: \([0-9]*\).*/\1/p')"
  cov="$(echo "$status_line" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')"
  ft="$(echo "$status_line" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')"
  corpus="$(find "$OUT/corpus-$format" -type f | wc -l)"
  findings="$(find "$OUT/artifacts-$format" -type f -newer "$stamp" \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)"
  echo "$format ${execs:-?} ${rate:-?} $elapsed ${cov:-?} ${ft:-?} $corpus $findings" >"$OUT/summary-$format.txt"
}

print_table() {
  local format
  {
    echo "target executions exec/s seconds cov ft corpus findings"
    for format in "${FORMATS[@]}"; do
      if [ -f "$OUT/summary-$format.txt" ]; then
        cat "$OUT/summary-$format.txt"
      else
        echo "$format - - - - - - -"
      fi
    done
  } | column -t
}

main() {
  case "${1:-}" in
    regressions)
      replay_regressions
      ;;
    table)
      print_table
      ;;
    all)
      failed=0
      for format in "${FORMATS[@]}"; do
        echo "== $format"
        run_target "$format" "${2:-10000000}" "${3:-1800}" || failed=1
      done
      print_table
      exit "$failed"
      ;;
    3ds | smd | md2 | glsm | picture | layout)
      run_target "$1" "${2:-10000000}" "${3:-1800}"
      ;;
    *)
      run_target 3ds "${1:-10000000}" "${2:-1800}"
      ;;
  esac
}

# On one line, so that bash has read the whole script before it runs: a run
# lasts half an hour, and the file may be replaced meanwhile.
main "$@"; exit
