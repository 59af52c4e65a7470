#!/usr/bin/env bash
# Refreshes the pictures the README shows (docs/*.png) from the tests that take
# them: the loading window and the fight window reached through the hand-over.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/test.sh" -R 'LoadingWindowStartsItsBarAtOneOfTwentyFive|HandedOverFightShowsSkyGroundWallsAndDebugTexts'
cp "$ROOT/build/tests/app/loading_window.png" "$ROOT/docs/loading_window.png"
cp "$ROOT/build/tests/fight/fight_window.png" "$ROOT/docs/fight_window.png"
echo "Refreshed docs/loading_window.png and docs/fight_window.png"
