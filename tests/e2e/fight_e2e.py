#!/usr/bin/env python3
"""Plays a fight with the real program, as a player would.

The fight is reached through the menu, as a player reaches it: the pointer
on PLAY, then a click. Fighter 2 walks up to fighter 1 and hits it until its
life gauge is empty; fighter 1 must die once, and "p" must end the program with
exit status 0. Everything is driven by real X pointer and key events (xdotool,
through the XTEST extension) and everything is read from the screen:
screenshots of the root window and the window's caption. Nothing is read from
inside.

Usage: fight_e2e.py --game PATH/stickfight --layout PATH/Jeu.json [--shots DIR]
"""

import json
import os
import time

import menu_view
from screen import (
    FIGHT_CAPTION,
    Failure,
    Screen,
    find_window,
    layout_rect,
    press,
    run_test,
    start_display,
    start_game,
    wait_for_exit,
    wait_for_rate,
    window_origin,
    xdotool,
)

# Well within the test's limit: software rendering on two shared cores.
MENU_LIMIT_S = 30.0
WINDOW_LIMIT_S = 30.0
FIGHT_LIMIT_S = 40.0
EXIT_LIMIT_S = 10.0
# One walk cycle of the fighters' walk animation (24 frames at 50 ms) and a bit.
WALK_WAIT_S = 1.5
# From a combo key to the end of the first hit and the opponent's reaction.
HIT_WAIT_S = 1.1
# Longer than any hit or reaction animation (the second hit: 25 frames at 50 ms).
SETTLE_S = 1.5
# The death animation lasts 30 frames at 50 ms; the fighter then stands again.
DEATH_LIMIT_S = 4.0
# After getting up, a second death would start within this time.
STAY_UP_S = 3.0
# Pixels darker than this on every channel belong to fighter 1 (black material).
BLACK_MAX = 8
# The gauge's fill colour (red 255, green 128, blue 0).
GAUGE_FILL = (255, 128, 0)

class FightView:
    """What the fight shows: fighter 1's gauge and whether fighter 1 stands."""

    def __init__(self, layout, origin, shots_dir):
        self.origin = origin
        self.shots_dir = shots_dir
        left, top, width, height = layout_rect(layout, "Vie1")
        border = 2
        self.gauge_y = top + height // 2
        self.gauge_x = range(max(left, 0) + border, left + width - border)
        left, top, width, height = layout_rect(layout, "GLSceneViewer1")
        self.viewer = (left, top, width, height)
        self.full_fill = None
        self.head_rows = None

    def grab(self):
        return Screen()

    def gauge_fill(self, screen):
        ox, oy = self.origin
        return sum(1 for x in self.gauge_x if screen.at(ox + x, oy + self.gauge_y) == GAUGE_FILL)

    def gauge_tenths(self, screen):
        """Fighter 1's life in tenths of the full gauge seen at the start."""
        return round(10 * self.gauge_fill(screen) / self.full_fill)

    def learn_standing(self, screen):
        """The rows above the arena's low walls where fighter 1's head and
        shoulders are the only black pixels; a fighter lying on the floor has
        none there. The camera only slides sideways, so the rows stay valid."""
        ox, oy = self.origin
        left, top, width, height = self.viewer
        upper = []
        for y in range(oy + top + 1, oy + top + height - 1, 2):
            xs = self.black_columns(screen, y)
            if not xs:
                if upper:
                    break
                continue
            # The walls' shadows reach across the view; the fighter is narrow.
            if xs[-1] - xs[0] > width // 10:
                break
            upper.append(y)
        if len(upper) < 10:
            raise Failure("fighter 1 does not stand above the arena's walls after set-up")
        self.head_rows = range(upper[0] - 20, upper[-1] + 1, 2)

    def black_columns(self, screen, y):
        ox = self.origin[0]
        left, _, width, _ = self.viewer
        row = screen.row(y)
        step = screen.step
        return [
            x
            for x in range(ox + max(left, 0), min(ox + left + width, screen.width), 2)
            if row[x * step] <= BLACK_MAX and row[x * step + 1] <= BLACK_MAX and row[x * step + 2] <= BLACK_MAX
        ]

    def upright(self, screen):
        return sum(len(self.black_columns(screen, y)) for y in self.head_rows)

    def save(self, screen, name):
        screen.save_png(os.path.join(self.shots_dir, name))


def wait_for_gauge_change(view, level, limit):
    """Fighter 1's life once it changes, or at the end of the wait: the death
    that an empty gauge starts is watched from its first moments."""
    deadline = time.monotonic() + limit
    while True:
        seen = view.gauge_tenths(view.grab())
        if seen != level or time.monotonic() > deadline:
            return seen
        time.sleep(0.05)


def fight(game, view, window, shots, log):
    # Keys go to the window with the focus; no window manager gives it one.
    xdotool("mousemove", "--window", window, "700", "700")
    xdotool("windowfocus", "--sync", window)
    log("caption after set-up: " + wait_for_rate(window, 10))

    screen = view.grab()
    view.full_fill = view.gauge_fill(screen)
    if view.full_fill < 100:
        raise Failure(f"fighter 1's gauge is not full after set-up ({view.full_fill} filled pixels)")
    view.learn_standing(screen)
    standing = view.upright(screen)
    log(f"gauge full at {view.full_fill} pixels; fighter 1 upright measure {standing}")
    if shots:
        view.save(screen, "fight_setup.png")

    # Fighter 2 walks up: two walk cycles bring it from 2 units away to about 0.8.
    for _ in range(2):
        press("l")
        time.sleep(WALK_WAIT_S)

    levels = [10]
    presses = 0
    presses_at_last_level = 0
    combo_shot_taken = not shots
    deadline = time.monotonic() + FIGHT_LIMIT_S
    while levels[-1] > 0:
        if time.monotonic() > deadline:
            raise Failure(f"fighter 1's gauge is still at {levels[-1]} tenths after {presses} combo keys: {levels}")
        if game.poll() is not None:
            raise Failure(f"the program ended during the fight (status {game.returncode})")
        if not combo_shot_taken and levels[-1] <= 8:
            # A two-hit combo with both skeletons shown, pictured mid-swing.
            # From idle, once every running animation has ended.
            time.sleep(SETTLE_S)
            press("space")
            press("o")
            time.sleep(0.2)
            press("o")
            time.sleep(0.4)
            view.save(view.grab(), "fight_combo_skeletons.png")
            press("space")
            combo_shot_taken = True
            presses += 2
        else:
            press("o")
            presses += 1
        level = wait_for_gauge_change(view, levels[-1], HIT_WAIT_S)
        if level > levels[-1]:
            raise Failure(f"fighter 1's gauge went up: {levels + [level]}")
        if level < levels[-1]:
            # Each landed hit costs a tenth: never more than one per combo key.
            if levels[-1] - level > presses - presses_at_last_level:
                raise Failure(f"fighter 1 lost {levels[-1] - level} tenths to {presses - presses_at_last_level} combo keys")
            presses_at_last_level = presses
            levels.append(level)
            log(f"gauge at {level} tenths after {presses} combo keys")
    return standing


def watch_death(game, view, shots, standing, log):
    """Fighter 1 goes down once, gets up, and stays up."""
    lowest = None
    hit_again = False
    trace = []
    went_down = None
    got_up = None
    start = time.monotonic()
    while time.monotonic() - start < DEATH_LIMIT_S + STAY_UP_S:
        screen = view.grab()
        measure = view.upright(screen)
        now = time.monotonic() - start
        trace.append(f"{now:.1f}:{measure}")
        if hit_again and view.gauge_fill(screen) != 0:
            raise Failure("fighter 1's gauge is no longer empty after its death")
        is_down = measure < standing // 5
        if is_down:
            if got_up is not None:
                log("fighter 1 upright measure (s:pixels): " + " ".join(trace))
                raise Failure(f"fighter 1 went down again {now - got_up:.1f} s after getting up")
            if went_down is None:
                went_down = now
            # The last of the lowest pictures: the fall has ended.
            if lowest is None or measure <= lowest[0]:
                lowest = (measure, screen)
        elif went_down is not None and got_up is None:
            got_up = now
            log(f"fighter 1 lay from {went_down:.1f} s to {got_up:.1f} s after its gauge emptied")
            # Another combo key: the gauge stays empty and the death is not played again.
            press("o")
            hit_again = True
        if got_up is None and went_down is None and now > DEATH_LIMIT_S:
            break
        if got_up is not None and now - got_up > STAY_UP_S:
            break
        time.sleep(0.05)
    log("fighter 1 upright measure after its gauge emptied (s:pixels): " + " ".join(trace))
    if went_down is None:
        raise Failure("fighter 1 never lay down after its gauge emptied")
    if got_up is None:
        raise Failure("fighter 1 did not get up after its death")
    if shots:
        view.save(lowest[1], "fight_death.png")
    if game.poll() is not None:
        raise Failure("the program ended after the death")


def run(arguments, processes, work_dir, log):
    with open(arguments.layout) as text:
        layout = json.load(text)
    start_display(processes)
    game = start_game(processes, arguments.game, work_dir)
    menu_view.start_fight(game, MENU_LIMIT_S, log)
    window = find_window(game, FIGHT_CAPTION, WINDOW_LIMIT_S, "fight window")
    log(f"fight window {window} on {os.environ['DISPLAY']}")
    view = FightView(layout, window_origin(window), arguments.shots)
    standing = fight(game, view, window, bool(arguments.shots), log)
    watch_death(game, view, bool(arguments.shots), standing, log)
    log("caption after the death: " + wait_for_rate(window, 5))
    press("p")
    status, _ = wait_for_exit(game, EXIT_LIMIT_S, '"p"')
    if status != 0:
        raise Failure(f'"p" ended the program with status {status}')
    log("ended with status 0")


def add_arguments(parser):
    parser.add_argument("--game", required=True)
    parser.add_argument("--layout", required=True)


if __name__ == "__main__":
    raise SystemExit(run_test(add_arguments, run))
