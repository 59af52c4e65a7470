#!/usr/bin/env bash
# Refreshes the pictures the README shows (docs/*.png) from the tests that take
# them: the loading window, the fight window reached through the hand-over,
# the corpus room model drawn by the engine, a corpus character running with
# its skeleton drawn over it, the menu and fight scenes with the generated
# models, and the contact sheet of the fighter's animations.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/test.sh" -R 'LoadingWindowStartsItsBarAtOneOfTwentyFive|HandedOverFightShowsSkyGroundWallsAndDebugTexts|RoomModelIsDrawnLitAndSavedForReview|RunningCharacterIsDrawnWithItsSkeletonOverTheBody|GameScenes\.|FighterAnimationSheet\.'
cp "$ROOT/build/tests/app/loading_window.png" "$ROOT/docs/loading_window.png"
cp "$ROOT/build/tests/fight/fight_window.png" "$ROOT/docs/fight_window.png"
cp "$ROOT/build/tests/mesh/room_model.png" "$ROOT/docs/room.png"
cp "$ROOT/build/tests/mesh/barney_skeleton.png" "$ROOT/docs/barney_skeleton.png"
cp "$ROOT/build/tests/tools/menu_scene.png" "$ROOT/docs/menu_scene.png"
cp "$ROOT/build/tests/tools/fight_scene.png" "$ROOT/docs/fight_scene.png"
cp "$ROOT/build/tests/tools/fighter/fighter_animations.png" "$ROOT/docs/fighter_animations.png"
echo "Refreshed docs/loading_window.png, docs/fight_window.png, docs/room.png, docs/barney_skeleton.png," \
  "docs/menu_scene.png, docs/fight_scene.png and docs/fighter_animations.png"
