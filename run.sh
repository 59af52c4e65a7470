#!/usr/bin/env bash
# Installs what is missing, builds the game and its data, and starts it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")" && pwd)"
"$ROOT/scripts/setup.sh"
# The game reads its files relative to its working directory: bin/, with
# Combo/, Sons/ and Anime/ beside it.
cd "$ROOT/build/game/bin"
exec ./stickfight "$@"
