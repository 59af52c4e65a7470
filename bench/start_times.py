"""Times the real program on screen: from its start (the moment just before
the process is made) to the menu's picture on screen, and from the click on
PLAY to the fight's picture on screen (the loading window in between).

Each run is a fresh process; the files it reads are in the page cache after
the first. The screen is photographed as fast as the X server gives pictures
(one request each); every picture keeps one pixel in three each way, with the
moment it was taken. Once the menu (or the fight) is known, the first kept
picture that shows it gives the time:
- the menu: the pixels of its three words dark and the paper's light (the
  words as the end-to-end tests find them);
- the fight: nine in ten kept pixels within a few levels of the fight's
  picture once settled (the fighters and the debug texts move; the sky box,
  the ground, the town and the gauges do not).
The times are as exact as the gap between two pictures, printed too.

    python3 bench/start_times.py --game build/game/bin/stickfight [--runs 5]

Uses DISPLAY when it is set (the caller's own X server), else starts its own
Xvfb and ends it. Prints readable lines and "RESULT key value" lines.
"""

import argparse
import concurrent.futures
import multiprocessing
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import menu_view  # noqa: E402
import screen  # noqa: E402
from screen import FIGHT_CAPTION, Failure, Processes, Screen  # noqa: E402

STEP = 3
MATCH_LEVELS = 12
FIGHT_MATCH = 0.9
LIMIT_S = 60
SETTLE_S = 1.5
# Each picture costs the X server and this script about 10 ms of processor
# time: taken at most every 20 ms, they leave most of the machine to the game.
GRAB_GAP_S = 0.02
ASK_GAP_S = 0.3


class Sample:
    """One picture of the screen, every third pixel of every third row."""

    def __init__(self):
        shot = Screen()
        self.moment = time.monotonic()
        words = memoryview(shot.pixels).cast("I")
        per_line = shot.line // 4
        self.width = (shot.width + STEP - 1) // STEP
        self.rows = [words[y * per_line : y * per_line + shot.width : STEP].tobytes()
                     for y in range(0, shot.height, STEP)]
        self.offsets = shot.offsets

    def is_dark(self, x, y, limit):
        """As Screen.is_dark, for a pixel on the kept grid."""
        row = self.rows[y // STEP]
        start = (x // STEP) * 4
        return all(row[start + offset] < limit for offset in self.offsets)

    def matching_share(self, reference):
        same = total = 0
        for mine, theirs in zip(self.rows, reference.rows):
            for i in range(0, len(mine), 8):
                total += 1
                if all(abs(mine[i + o] - theirs[i + o]) <= MATCH_LEVELS for o in self.offsets):
                    same += 1
        return same / max(total, 1)


def record_until(samples, done, limit, game):
    """Pictures every few milliseconds until `done()`, asked a few times a
    second, says so."""
    deadline = time.monotonic() + limit
    asked = time.monotonic()
    while True:
        if game.poll() is not None:
            raise Failure(f"the program ended (status {game.returncode})")
        if time.monotonic() > deadline:
            raise Failure("timed out")
        samples.append(Sample())
        if time.monotonic() - asked > ASK_GAP_S:
            if done():
                return
            asked = time.monotonic()
        time.sleep(GRAB_GAP_S)


def first_showing(samples, shows):
    for index, sample in enumerate(samples):
        if shows(sample):
            gap = sample.moment - samples[index - 1].moment if index > 0 else 0.0
            return sample.moment, gap
    raise Failure("no picture shows it")


def words_shown(menu, sample):
    """The three words dark where they rest and the paper light: the menu's
    fighter moves, its words stay put while the pointer is off them."""
    cells = [cell for word in (menu.play, menu.options, menu.quit) for cell in sorted(word.cells)]
    dark = sum(1 for x, y in cells if sample.is_dark(x, y, menu_view.DARK))
    light = sum(1 for x, y in menu.paper if not sample.is_dark(x, y, menu_view.DARK))
    return dark >= 0.9 * len(cells) and light >= 0.9 * len(menu.paper)


def program_window_shown(pid):
    """Whether the program shows a window; run in the reader."""
    return bool(screen.xdotool("search", "--onlyvisible", "--pid", str(pid), "--name", ""))


def read_menu(_pid):
    """The menu as a fresh picture shows it, or None; run in the reader."""
    try:
        return menu_view.Menu(Screen())
    except Failure:
        return None


def time_menu(processes, game_path, work_dir, reader):
    # Off anything the menu could pick; without waiting, as a pointer
    # already there never reports a move.
    screen.xdotool("mousemove", "0", "0")
    environment = dict(os.environ, SDL_AUDIODRIVER="dummy")
    output = open(os.path.join(work_dir, "game.log"), "wb")
    samples = []
    started = time.monotonic()
    game = processes.start([os.path.abspath(game_path), "--scale", "1"], cwd=os.path.dirname(os.path.abspath(game_path)),
                           env=environment, stdout=output, stderr=subprocess.STDOUT)
    output.close()
    state = {"menu": None, "window": False, "reading": None}

    def menu_known():
        # Finding the window and reading the whole menu take long: another
        # process does both, the menu once the window is there, while the
        # pictures go on.
        reading = state["reading"]
        if reading is None:
            state["reading"] = reader.submit(read_menu if state["window"] else program_window_shown, game.pid)
            return False
        if not reading.done():
            return False
        state["reading"] = None
        if not state["window"]:
            state["window"] = reading.result()
            return False
        state["menu"] = reading.result()
        return state["menu"] is not None

    record_until(samples, menu_known, LIMIT_S, game)
    shown, gap = first_showing(samples, lambda sample: words_shown(state["menu"], sample))
    return game, state["menu"], shown - started, gap


def fight_window_shown(pid):
    """Whether the program shows a window captioned as the fight's; run in
    the reader."""
    found = screen.xdotool("search", "--onlyvisible", "--pid", str(pid), "--name", "") or ""
    return any(FIGHT_CAPTION.match(screen.caption(window)) for window in found.split())


def time_fight(game, menu, reader):
    shots = menu_view.hover(menu.play)
    clicked, clicker = menu_view.pick(menu.play, shots)
    samples = []
    state = {"since": None, "looking": None}

    def fight_settled():
        # Finding the window takes several X clients: another process looks,
        # while the pictures go on.
        if state["since"] is not None:
            return time.monotonic() - state["since"] > SETTLE_S
        looking = state["looking"]
        if looking is None:
            state["looking"] = reader.submit(fight_window_shown, game.pid)
        elif looking.done():
            state["looking"] = None
            if looking.result():
                state["since"] = time.monotonic()
        return False

    record_until(samples, fight_settled, LIMIT_S, game)
    clicker.wait(timeout=10)
    reference = samples[-1]
    shown, gap = first_showing(samples, lambda sample: sample.matching_share(reference) >= FIGHT_MATCH)
    return shown - clicked, gap


def end_game(game):
    game.terminate()
    try:
        game.wait(timeout=5)
    except subprocess.TimeoutExpired:
        game.kill()
        game.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--runs", type=int, default=5)
    arguments = parser.parse_args()
    processes = Processes()
    menu_times, fight_times, gaps = [], [], []
    try:
        if not os.environ.get("DISPLAY"):
            screen.start_display(processes)
        # A process of its own, started afresh: it opens its own connection
        # to the X server.
        with tempfile.TemporaryDirectory() as work_dir, concurrent.futures.ProcessPoolExecutor(
            1, mp_context=multiprocessing.get_context("spawn")
        ) as reader:
            # Started before the first run, so that its start-up is not timed.
            reader.submit(int).result()
            for run in range(arguments.runs):
                game, menu, to_menu, menu_gap = time_menu(processes, arguments.game, work_dir, reader)
                to_fight, fight_gap = time_fight(game, menu, reader)
                end_game(game)
                menu_times.append(to_menu)
                fight_times.append(to_fight)
                gaps += [menu_gap, fight_gap]
                print(f"  run {run + 1}: start to menu {to_menu * 1e3:7.0f} ms (+0/-{menu_gap * 1e3:.0f}), "
                      f"PLAY to fight {to_fight * 1e3:7.0f} ms (+0/-{fight_gap * 1e3:.0f})", flush=True)
    except Failure as failure:
        print(f"start times: {failure}", file=sys.stderr)
        return 1
    finally:
        processes.end_all()
    for name, times in (("start_to_menu", menu_times), ("play_to_fight", fight_times)):
        print(f"{name}: median {statistics.median(times) * 1e3:.0f} ms, min {min(times) * 1e3:.0f}, "
              f"max {max(times) * 1e3:.0f} ms over {len(times)} runs")
        print(f"RESULT {name}_ms {statistics.median(times) * 1e3:.1f}")
        print(f"RESULT {name}_min_ms {min(times) * 1e3:.1f}")
        print(f"RESULT {name}_max_ms {max(times) * 1e3:.1f}")
    # How late a time can be: the gap before the picture that first showed it.
    print(f"largest gap before a deciding picture: {max(gaps) * 1e3:.0f} ms")
    print(f"RESULT picture_gap_ms {max(gaps) * 1e3:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
