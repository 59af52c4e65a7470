#!/usr/bin/env bash
# Installs what is missing, builds the game and its data, and starts it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")" && pwd)"
"$ROOT/scripts/setup.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "stickfight needs a graphical session (no DISPLAY is set)." >&2
  exit 1
fi
# The game is made and tested on X11; on a Wayland desktop it runs through
# its X11 compatibility server.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"

# The game reads its files relative to its working directory: bin/, with
# Combo/, Sons/ and Anime/ beside it.
cd "$ROOT/build/game/bin"
exec ./stickfight "$@"
