#!/usr/bin/env bash
# Refreshes the pictures the README shows (docs/*.png) from the tests that take
# them: the loading window, the fight window reached through the hand-over and
# the corpus room model drawn by the engine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/test.sh" -R 'LoadingWindowStartsItsBarAtOneOfTwentyFive|HandedOverFightShowsSkyGroundWallsAndDebugTexts|RoomModelIsDrawnLitAndSavedForReview'
cp "$ROOT/build/tests/app/loading_window.png" "$ROOT/docs/loading_window.png"
cp "$ROOT/build/tests/fight/fight_window.png" "$ROOT/docs/fight_window.png"
cp "$ROOT/build/tests/mesh/room_model.png" "$ROOT/docs/room.png"
echo "Refreshed docs/loading_window.png, docs/fight_window.png and docs/room.png"
