#!/usr/bin/env bash
# Builds the game's Debian package: the game, its data, icons and manual page
# in build/ (or the folder STICKFIGHT_BUILD_DIR names, configured when it is
# not yet), then the package through CPack, with its library dependencies
# computed by dpkg-shlibdeps (package dpkg-dev, which scripts/setup.sh
# installs). The package lands in build-package/, or in the folder given:
#
#   scripts/package.sh [output folder]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${STICKFIGHT_BUILD_DIR:-$ROOT/build}"
OUT="${1:-$ROOT/build-package}"

command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps is missing: run scripts/setup.sh (package dpkg-dev)" >&2; exit 1; }
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target installed_game
mkdir -p "$OUT"
rm -f "$OUT"/stickfight_*.deb
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$OUT"
ls "$OUT"/stickfight_*.deb
