#!/usr/bin/env python3
"""Plays the whole game through its menu with the real program, as a player
would: real pointer and key events (xdotool, through the XTEST extension),
and everything read from the screen, the windows' captions and the exit
status.

Run 1: the menu at rest is still; PLAY under the pointer is animated, QUIT
is not; a click on PLAY plays the start sequence (PLAY's letters fly away
while the menu is still on screen), then the loading window shows the title
picture of its stored layout with a bar that only advances, then the fight
window counts frames per second in its caption; fight keys move the
fighters; "p" ends the program with exit status 0.

Run 2: a click on QUIT ends the program with exit status 0, once the farewell
sound has played to its end: no earlier than its length after the click, and
not much later.

Usage: menu_e2e.py --game PATH/stickfight --layouts PATH/src/layouts
                   --title PATH/title.png [--shots DIR]
"""

import json
import os
import struct
import time

from menu_view import DARK, hover, pick, wait_for_menu
from screen import (
    FIGHT_CAPTION,
    Failure,
    Screen,
    find_window,
    layout_rect,
    press,
    read_png,
    run_test,
    start_display,
    start_game,
    wait_for_exit,
    wait_for_rate,
    window_origin,
    xdotool,
)

# Software rendering on two shared cores.
MENU_LIMIT_S = 30.0
# From the click on PLAY to the fight window: 26 start frames and 25 loads.
HAND_OVER_LIMIT_S = 30.0
RATE_LIMIT_S = 10.0
EXIT_LIMIT_S = 10.0
# How long after its sound's end the program may take to close.
QUIT_LATENESS_S = 3.0
# Start frames leave PLAY's place: fewer than this share of its dark pixels.
LEFT_PLACE = 0.5
# The saved start picture keeps about this share of PLAY's dark pixels.
START_PICTURE_INK = 0.7
# Most pictures of the start sequence kept for choosing the one to save.
KEPT_START_PICTURES = 30
# The title picture and the screen agree on this share of sampled pixels.
TITLE_AGREEMENT = 0.95
TITLE_SAMPLES = 1500
# The fighters walk for one cycle (24 frames at 50 ms) and a bit.
WALK_WAIT_S = 1.5
# A walking fighter and the camera that follows it move it this far at least,
# also when a busy machine runs few fight ticks; idle, it stays within 2 pixels.
WALKED_PIXELS = 10
# Fighter 2 is red; its debug text at the top of the view is red too.
HUD_SHARE = 0.15


def load_layout(layouts, name):
    with open(os.path.join(layouts, name + ".json")) as text:
        return json.load(text)


def wav_duration(path):
    """Seconds of sound in a WAV file, from its format and data chunks."""
    with open(path, "rb") as sound:
        data = sound.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise Failure(f"{path} is not a WAV file")
    position = 12
    bytes_per_second = None
    while position + 8 <= len(data):
        kind, length = struct.unpack("<4sI", data[position : position + 8])
        if kind == b"fmt ":
            bytes_per_second = struct.unpack("<I", data[position + 16 : position + 20])[0]
        elif kind == b"data":
            if not bytes_per_second:
                raise Failure(f"{path} has its data before its format")
            return min(length, len(data) - position - 8) / bytes_per_second
        position += 8 + length + (length & 1)
    raise Failure(f"{path} has no sound data")


class LoadingView:
    """The loading window as its stored layout places it: the title picture
    and the progress bar, on a maximised window at the screen's corner (no
    window manager takes room)."""

    def __init__(self, layout, title_path):
        image_left, image_top, _, _ = layout_rect(layout, "Image1")
        self.bar = layout_rect(layout, "ProgressBar1")
        label = layout_rect(layout, "Loading")
        width, height, rows = read_png(title_path)
        ink, paper = [], []
        for y in range(0, height, 4):
            row = rows[y]
            for x in range(0, width, 4):
                point = (image_left + x, image_top + y)
                if inside(point, self.bar) or inside(point, label):
                    continue
                dark = all(value < DARK for value in row[3 * x : 3 * x + 3])
                (ink if dark else paper).append(point)
        if not ink:
            raise Failure(f"{title_path} has no dark lettering")
        self.ink = ink[:: max(1, len(ink) // TITLE_SAMPLES)]
        self.paper = paper[:: max(1, len(paper) // TITLE_SAMPLES)]

    def shown(self, screen):
        dark_ink = sum(1 for x, y in self.ink if screen.is_dark(x, y, DARK))
        light_paper = sum(1 for x, y in self.paper if not screen.is_dark(x, y, DARK))
        return dark_ink >= TITLE_AGREEMENT * len(self.ink) and light_paper >= TITLE_AGREEMENT * len(self.paper)

    def bar_fill(self, screen):
        """Share of the bar's middle row in its chunk colour (bluish), or None
        when nothing of a bar is drawn there."""
        left, top, width, height = self.bar
        y = top + height // 2
        drawn = 0
        filled = 0
        for x in range(left, left + width):
            red, green, blue = screen.at(x, y)
            if (red, green, blue) != (255, 255, 255):
                drawn += 1
            if blue > red + 60:
                filled += 1
        return filled / width if drawn else None


def inside(point, rect):
    x, y = point
    left, top, width, height = rect
    return left <= x < left + width and top <= y < top + height


class Shots:
    def __init__(self, folder, viewer):
        self.folder = folder
        self.viewer = viewer

    def save(self, screen, name, whole=False):
        if self.folder:
            screen.save_png(os.path.join(self.folder, name), None if whole else self.viewer)


def check_rest(menu, log):
    """Without the pointer on a word, nothing on the menu moves."""
    first = Screen()
    time.sleep(0.3)
    second = Screen()
    for word in (menu.play, menu.quit):
        if word.picture(first) != word.picture(second):
            raise Failure(f"{word.name} moves while the pointer is off it")
    log("the menu at rest is still")
    return second


def check_hover(menu, shots, log):
    """Hovered PLAY changes from picture to picture; QUIT stays as it was."""
    pictures = [menu.play.picture(shot) for shot in shots]
    changes = [len(a ^ b) for a, b in zip(pictures, pictures[1:])]
    log(f"PLAY's changed sampled pixels between hover pictures: {changes}")
    if max(changes) < 0.02 * len(menu.play.cells):
        raise Failure("PLAY does not move while the pointer is on it")
    quit_pictures = {menu.quit.picture(shot) for shot in shots}
    if len(quit_pictures) > 1:
        raise Failure("QUIT moves while the pointer is on PLAY")


def most_changed(menu, rest, shots):
    resting = menu.play.picture(rest)
    return max(shots, key=lambda shot: len(menu.play.picture(shot) ^ resting))


def watch_hand_over(game, menu, loading, resting_ink, log):
    """Pictures from the click on PLAY until the loading window has gone.
    Returns PLAY's dark samples in each picture of the menu, the pictures of
    the menu in which PLAY has lost some (the start sequence), and the
    pictures of the loading window with the bar's filled share."""
    start_inks = []
    start_pictures = []
    loading_pictures = []
    seen = []
    deadline = time.monotonic() + HAND_OVER_LIMIT_S
    while time.monotonic() < deadline:
        if game.poll() is not None:
            raise Failure(f"the program ended during the hand-over (status {game.returncode})")
        screen = Screen()
        if menu.shown(screen):
            ink = menu.play.ink(screen)
            seen.append(("menu", ink))
            start_inks.append(ink)
            # Screenshots come faster than frames: keep each frame once.
            is_new = not start_pictures or start_pictures[-1][0] != ink
            if ink < resting_ink and is_new and len(start_pictures) < KEPT_START_PICTURES:
                start_pictures.append((ink, screen))
        elif loading.shown(screen):
            fill = loading.bar_fill(screen)
            seen.append(("loading", fill))
            loading_pictures.append((fill, screen))
        else:
            seen.append(("other", None))
            if loading_pictures:
                break
    log("pictures after the click: " + summary(seen))
    return start_inks, start_pictures, loading_pictures


def summary(seen):
    """Runs of pictures of one kind, with what was measured in each."""
    runs = []
    for kind, value in seen:
        if not runs or runs[-1][0] != kind:
            runs.append((kind, []))
        runs[-1][1].append(value if not isinstance(value, float) else round(value, 2))
    parts = []
    for kind, values in runs:
        measured = [value for value in values if value is not None]
        parts.append(f"{len(values)} {kind}" + (f" {measured}" if measured else ""))
    return ", ".join(parts)


def check_start_sequence(resting_ink, start_inks, start_pictures, shots):
    if not any(ink < LEFT_PLACE * resting_ink for ink in start_inks):
        raise Failure(
            f"PLAY's letters never left its place while the menu showed (dark samples {start_inks}, at rest {resting_ink})"
        )
    # Letters on their way out, most of them still in sight.
    shots.save(min(start_pictures, key=lambda item: abs(item[0] - START_PICTURE_INK * resting_ink))[1], "menu_start.png")


def check_loading(loading_pictures, shots, log):
    if not loading_pictures:
        raise Failure("no loading window with the title picture between the menu and the fight")
    fills = [fill for fill, _ in loading_pictures]
    if any(fill is None for fill in fills):
        raise Failure("the loading window shows no progress bar")
    if any(later < earlier for earlier, later in zip(fills, fills[1:])):
        raise Failure(f"the loading bar went back: {fills}")
    shots.save(min(loading_pictures, key=lambda item: abs(item[0] - 0.5))[1], "loading.png", whole=True)


def red_fighter_x(screen, viewer):
    """Mean column of fighter 2's red pixels below the debug texts."""
    left, top, width, height = viewer
    columns = []
    for y in range(top + int(HUD_SHARE * height), top + height, 3):
        row = screen.row(y)
        red, green, blue = screen.offsets
        for x in range(left, left + width, 3):
            start = x * screen.step
            if row[start + red] > 150 and row[start + green] < 70 and row[start + blue] < 70:
                columns.append(x)
    if len(columns) < 20:
        raise Failure("fighter 2 (red) is not in the fight's view")
    return sum(columns) / len(columns)


def play_fight(game, window, viewer, shots, log):
    # Keys go to the window with the focus; no window manager gives it one.
    xdotool("windowfocus", "--sync", window)
    log("fight caption: " + wait_for_rate(window, RATE_LIMIT_S))
    before = Screen()
    shots.save(before, "fight.png", whole=True)
    x_before = red_fighter_x(before, viewer)
    # Both fighters walk towards each other; the camera follows their middle,
    # so on screen fighter 2 moves right with its own walk and with fighter 1's.
    press("l")
    press("a")
    time.sleep(WALK_WAIT_S)
    x_after = red_fighter_x(Screen(), viewer)
    log(f"fighter 2 seen at column {x_before:.0f}, then {x_after:.0f} after walking")
    if x_after - x_before < WALKED_PIXELS:
        raise Failure(f"the walk keys did not move fighter 2 (column {x_before:.0f}, then {x_after:.0f})")
    if game.poll() is not None:
        raise Failure(f"the program ended during the fight (status {game.returncode})")
    press("p")
    status, _ = wait_for_exit(game, EXIT_LIMIT_S, '"p"')
    if status != 0:
        raise Failure(f'"p" ended the program with status {status}')
    log('"p" ended the program with status 0')


def play_through_menu(arguments, processes, work_dir, log):
    loading = LoadingView(load_layout(arguments.layouts, "SplashScreen"), arguments.title)
    game = start_game(processes, arguments.game, work_dir, "play.log")
    window, menu, _ = wait_for_menu(game, MENU_LIMIT_S)
    log(f"menu: dark regions per row {menu.region_counts}, PLAY {menu.play.envelope}, QUIT {menu.quit.envelope}")
    shots = Shots(arguments.shots, placed(window, load_layout(arguments.layouts, "Menu_Jeu"), "GLSceneViewer1"))
    rest, hover_shots = watch_menu(menu, shots, log)

    resting_ink = menu.play.ink(rest)
    _, clicker = pick(menu.play, [rest] + hover_shots)
    start_inks, start_pictures, loading_pictures = watch_hand_over(game, menu, loading, resting_ink, log)
    clicker.wait(timeout=10)
    check_start_sequence(resting_ink, start_inks, start_pictures, shots)
    check_loading(loading_pictures, shots, log)

    window = find_window(game, FIGHT_CAPTION, HAND_OVER_LIMIT_S, "fight window")
    play_fight(game, window, placed(window, load_layout(arguments.layouts, "Jeu"), "GLSceneViewer1"), shots, log)


def placed(window, layout, name):
    """A control's rectangle on the screen."""
    ox, oy = window_origin(window)
    left, top, width, height = layout_rect(layout, name)
    return ox + left, oy + top, width, height


def watch_menu(menu, shots, log):
    """The menu at rest, then PLAY under the pointer: a picture at rest and
    pictures of the hovered PLAY."""
    rest = check_rest(menu, log)
    shots.save(rest, "menu_rest.png")
    hover_shots = hover(menu.play, log)
    check_hover(menu, hover_shots, log)
    shots.save(most_changed(menu, rest, hover_shots), "menu_hover.png")
    return rest, hover_shots


def quit_through_menu(arguments, processes, work_dir, log):
    game_dir = os.path.dirname(os.path.abspath(arguments.game))
    farewell = wav_duration(os.path.join(game_dir, "..", "Sons", "comeon.wav"))
    game = start_game(processes, arguments.game, work_dir, "quit.log")
    _, menu, rest = wait_for_menu(game, MENU_LIMIT_S)
    hover_shots = hover(menu.quit, log)
    clicked, clicker = pick(menu.quit, [rest] + hover_shots)
    status, ended = wait_for_exit(game, farewell + QUIT_LATENESS_S + EXIT_LIMIT_S, "a click on QUIT")
    clicker.wait(timeout=10)
    took = ended - clicked
    log(f"a click on QUIT ended the program after {took:.2f} s with status {status}; the sound lasts {farewell:.2f} s")
    if status != 0:
        raise Failure(f"a click on QUIT ended the program with status {status}")
    if took < farewell:
        raise Failure(f"the program ended {took:.2f} s after the click on QUIT, before its {farewell:.2f} s sound ended")
    if took > farewell + QUIT_LATENESS_S:
        raise Failure(f"the program ended {took - farewell:.2f} s after the end of the QUIT sound")


def run(arguments, processes, work_dir, log):
    start_display(processes)
    log(f"display {os.environ['DISPLAY']}")
    play_through_menu(arguments, processes, work_dir, log)
    quit_through_menu(arguments, processes, work_dir, log)


def add_arguments(parser):
    parser.add_argument("--game", required=True)
    parser.add_argument("--layouts", required=True, help="folder of the windows' stored layouts")
    parser.add_argument("--title", required=True, help="the loading window's title picture")


if __name__ == "__main__":
    raise SystemExit(run_test(add_arguments, run))
