#!/usr/bin/env bash
# Refreshes the pictures the README shows (docs/*.png) from the tests that take
# them: the loading window, the fight window reached through the hand-over, the
# corpus room model drawn by the engine, and the fight played through the real
# program by the end-to-end test (after set-up, a combo with both skeletons
# shown, a death).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/test.sh" -R 'LoadingWindowStartsItsBarAtOneOfTwentyFive|HandedOverFightShowsSkyGroundWallsAndDebugTexts|RoomModelIsDrawnLitAndSavedForReview|FightEndToEnd'
cp "$ROOT/build/tests/app/loading_window.png" "$ROOT/docs/loading_window.png"
cp "$ROOT/build/tests/fight/fight_window.png" "$ROOT/docs/fight_window.png"
cp "$ROOT/build/tests/mesh/room_model.png" "$ROOT/docs/room.png"
for picture in fight_setup fight_combo_skeletons fight_death; do
  cp "$ROOT/build/tests/e2e/$picture.png" "$ROOT/docs/$picture.png"
done
echo "Refreshed docs/loading_window.png, docs/fight_window.png, docs/room.png," \
  "docs/fight_setup.png, docs/fight_combo_skeletons.png and docs/fight_death.png"
