#!/usr/bin/env bash
# Shared first half of run.sh and test.sh: install what is missing, then
# configure and build incrementally in one build folder: build/, or the one
# STICKFIGHT_BUILD_DIR names, configured with the CMake options (if any) in
# STICKFIGHT_CMAKE_OPTIONS.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${STICKFIGHT_BUILD_DIR:-$ROOT/build}"
read -r -a CMAKE_OPTIONS <<< "${STICKFIGHT_CMAKE_OPTIONS:-}"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0
  libjpeg-dev libsdl2-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libassimp-dev lib3ds-dev
  clang-14 libclang-rt-14-dev
  fonts-comic-neue fonts-wine fonts-dejavu-core
  xvfb xauth libxcb1-dev stress
  xdotool x11-apps python3
  # The Debian package (its library dependencies), the checks of the installed
  # desktop entry, metadata and manual page, and scripts/package-test.sh.
  dpkg-dev appstream desktop-file-utils groff-base man-db debootstrap
  # The damaged-data test reads message boxes through the accessibility bus
  # (busctl comes with systemd).
  dbus-daemon at-spi2-core systemd
)

install_missing_packages() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing missing packages: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build() {
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${CMAKE_OPTIONS[@]}" >/dev/null
  fi
  cmake --build "$BUILD" -j"$(nproc)"
}

install_missing_packages
build
