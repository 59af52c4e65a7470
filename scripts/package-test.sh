#!/usr/bin/env bash
# Builds the game's Debian package and tries it on a fresh Debian 12: in a
# chroot under build-package/, `apt-get install ./stickfight_*.deb` must find
# every dependency in the archive; the game, started by its desktop entry's
# Exec command under Xvfb inside the chroot, must show its menu and, once
# PLAY is clicked, the fight with its fighters; and
# `apt-get purge` followed by `apt-get autoremove --purge` must leave no file
# behind. Slow (minutes, mostly downloads), so ./test.sh does not run it.
#
#   sudo scripts/package-test.sh
#
# Needs root, debootstrap and a Debian mirror (STICKFIGHT_DEBIAN_MIRROR,
# deb.debian.org by default). The freshly bootstrapped system is kept as
# build-package/bookworm-base.tar.gz and reused; delete it to start anew.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WORK="$(realpath -m "$ROOT/build-package")"
CHROOT="$WORK/chroot"
BASE="$WORK/bookworm-base.tar.gz"
MIRROR="${STICKFIGHT_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
# What the check inside needs besides the package: an X server, a way to
# find the game's window, and Python for the shared screen-reading code.
TEST_TOOLS=(xvfb xauth xdotool python3)

STARTED=$SECONDS
step() { printf '[%4d s] %s\n' "$((SECONDS - STARTED))" "$*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run as root: debootstrap and chroot need it"
command -v debootstrap >/dev/null || fail "debootstrap is missing: apt-get install debootstrap"

mounted_under_chroot() { awk -v root="$CHROOT" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/mounts; }

# Processes whose root is the chroot were started by this script, inside it.
processes_in_chroot() {
  local entry
  for entry in /proc/[0-9]*; do
    [ "$(readlink "$entry/root" 2>/dev/null)" = "$CHROOT" ] && echo "${entry#/proc/}"
  done
  return 0
}

cleanup() {
  local pid mount
  for pid in $(processes_in_chroot); do kill -TERM "$pid" 2>/dev/null || true; done
  sleep 1
  for pid in $(processes_in_chroot); do kill -KILL "$pid" 2>/dev/null || true; done
  for mount in $(mounted_under_chroot | sort -r); do
    umount "$mount" 2>/dev/null || umount -l "$mount"
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Removing a chroot with the host's /dev still bound inside would remove the
# host's devices.
remove_chroot() {
  [ -z "$(mounted_under_chroot)" ] || fail "something is still mounted under $CHROOT"
  rm -rf --one-file-system "$CHROOT"
}

in_chroot() { chroot "$CHROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

make_base() {
  step "bootstrapping Debian 12 from $MIRROR"
  remove_chroot
  debootstrap --variant=minbase bookworm "$CHROOT" "$MIRROR" >"$WORK/debootstrap.log" 2>&1 \
    || fail "debootstrap failed, see $WORK/debootstrap.log"
  # Packages install their files without starting any service.
  printf '#!/bin/sh\nexit 101\n' >"$CHROOT/usr/sbin/policy-rc.d"
  chmod +x "$CHROOT/usr/sbin/policy-rc.d"
  in_chroot apt-get clean
  tar -C "$CHROOT" -czf "$BASE.part" . && mv "$BASE.part" "$BASE"
}

fresh_chroot() {
  [ -f "$BASE" ] || make_base
  step "unpacking a fresh system from $(basename "$BASE")"
  remove_chroot
  mkdir -p "$CHROOT"
  tar -C "$CHROOT" -xzf "$BASE"
  cp /etc/resolv.conf "$CHROOT/etc/resolv.conf"
  mount -t proc proc "$CHROOT/proc"
  mount -t sysfs sysfs "$CHROOT/sys"
  mount --bind /dev "$CHROOT/dev"
  mount -t tmpfs tmpfs "$CHROOT/tmp"
}

# Every path of the system but the pseudo file systems, the check's own
# files and the records apt and dpkg keep of what they did.
snapshot() {
  in_chroot find / -xdev \
    \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /run -o -path /root \
       -o -path /var/log -o -path /var/cache -o -path /var/lib/apt -o -path /var/lib/dpkg \) -prune \
    -o -print | sort >"$1"
}

mkdir -p "$WORK"
step "building the package"
"$ROOT/scripts/package.sh" "$WORK" >"$WORK/package.log" 2>&1 || fail "the package did not build, see $WORK/package.log"
DEB="$(ls "$WORK"/stickfight_*_amd64.deb)"
step "built $(basename "$DEB") ($(du -h "$DEB" | cut -f1))"

fresh_chroot
step "updating the package lists"
in_chroot apt-get update -qq
snapshot "$WORK/files-before.txt"

cp "$DEB" "$CHROOT/tmp/"
step "installing $(basename "$DEB") with its dependencies from the archive"
in_chroot apt-get install -y --no-install-recommends "/tmp/$(basename "$DEB")" >"$WORK/install.log" 2>&1 \
  || fail "apt-get install failed, see $WORK/install.log"
PULLED="$(in_chroot apt-mark showauto | wc -l)"
step "installed, with $PULLED packages pulled in as dependencies"

step "installing the check's tools: ${TEST_TOOLS[*]}"
in_chroot apt-get install -y --no-install-recommends "${TEST_TOOLS[@]}" >"$WORK/tools.log" 2>&1 \
  || fail "the check's tools did not install, see $WORK/tools.log"

mkdir -p "$CHROOT/tmp/check/e2e" "$CHROOT/tmp/check/packaging"
cp "$ROOT/tests/e2e/screen.py" "$ROOT/tests/e2e/menu_view.py" "$ROOT/tests/e2e/menu_e2e.py" "$CHROOT/tmp/check/e2e/"
cp "$ROOT/tests/packaging/installed_game_e2e.py" "$CHROOT/tmp/check/packaging/"
cp "$ROOT/src/layouts/Jeu.json" "$CHROOT/tmp/check/"
step "starting the game from its desktop entry under Xvfb, on to the fight"
in_chroot PYTHONDONTWRITEBYTECODE=1 python3 /tmp/check/packaging/installed_game_e2e.py \
  --desktop-entry /usr/share/applications/io.github.stickfight.desktop \
  --launcher /usr/games/stickfight --program /usr/lib/games/stickfight/bin/stickfight \
  --fight-layout /tmp/check/Jeu.json --shots /tmp/check || fail "the installed game did not show its menu and fight"
cp "$CHROOT/tmp/check/installed_menu.png" "$WORK/chroot_menu.png"
cp "$CHROOT/tmp/check/installed_fight.png" "$WORK/chroot_fight.png"

step "purging the package, the check's tools and what they pulled in"
in_chroot apt-get purge -y stickfight "${TEST_TOOLS[@]}" >"$WORK/purge.log" 2>&1 || fail "apt-get purge failed, see $WORK/purge.log"
in_chroot apt-get autoremove --purge -y >>"$WORK/purge.log" 2>&1 || fail "apt-get autoremove failed, see $WORK/purge.log"
in_chroot dpkg-query -W -f='${Status}\n' stickfight 2>/dev/null | grep -q "install ok" && fail "stickfight is still installed"
snapshot "$WORK/files-after.txt"
if ! diff -u "$WORK/files-before.txt" "$WORK/files-after.txt" >"$WORK/files.diff"; then
  cat "$WORK/files.diff"
  fail "the purged system differs from the one before the install"
fi
step "nothing is left: $(wc -l <"$WORK/files-before.txt") paths before the install and after the purge, the same"

cleanup
remove_chroot
step "done"
