#!/usr/bin/env bash
# Refreshes the pictures the README shows (docs/*.png) from the tests that take
# them: the loading window, the fight window reached through the hand-over,
# the corpus room model drawn by the engine and a corpus character running
# with its skeleton drawn over it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/test.sh" -R 'LoadingWindowStartsItsBarAtOneOfTwentyFive|HandedOverFightShowsSkyGroundWallsAndDebugTexts|RoomModelIsDrawnLitAndSavedForReview|RunningCharacterIsDrawnWithItsSkeletonOverTheBody'
cp "$ROOT/build/tests/app/loading_window.png" "$ROOT/docs/loading_window.png"
cp "$ROOT/build/tests/fight/fight_window.png" "$ROOT/docs/fight_window.png"
cp "$ROOT/build/tests/mesh/room_model.png" "$ROOT/docs/room.png"
cp "$ROOT/build/tests/mesh/barney_skeleton.png" "$ROOT/docs/barney_skeleton.png"
echo "Refreshed docs/loading_window.png, docs/fight_window.png, docs/room.png and docs/barney_skeleton.png"
