#!/usr/bin/env bash
# Refreshes the pictures the README shows (docs/*.png) from the tests that take
# them: the loading window, the fight window reached through the hand-over,
# the corpus room model drawn by the engine, a corpus character running with
# its skeleton drawn over it, the menu and fight scenes with the generated
# models, the contact sheet of the fighter's animations, and the fight played
# through the real program by the end-to-end test (after set-up, a combo with
# both skeletons shown, a death), and the menu played by its end-to-end test
# (at rest, PLAY under the pointer, PLAY's start sequence after the click).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/test.sh" -R 'LoadingWindowStartsItsBarAtOneOfTwentyFive|HandedOverFightShowsSkyGroundWallsAndDebugTexts|RoomModelIsDrawnLitAndSavedForReview|RunningCharacterIsDrawnWithItsSkeletonOverTheBody|GameScenes\.|FighterAnimationSheet\.|FightEndToEnd|MenuEndToEnd'
copy() { cp "$ROOT/build/tests/$1" "$ROOT/docs/$2"; echo "Refreshed docs/$2"; }
copy app/loading_window.png loading_window.png
copy fight/fight_window.png fight_window.png
copy mesh/room_model.png room.png
copy mesh/barney_skeleton.png barney_skeleton.png
copy tools/menu_scene.png menu_scene.png
copy tools/fight_scene.png fight_scene.png
copy tools/fighter/fighter_animations.png fighter_animations.png
for picture in fight_setup fight_combo_skeletons fight_death menu_rest menu_hover menu_start; do
  copy "e2e/$picture.png" "$picture.png"
done
