#!/usr/bin/env python3
"""Plays a fight with the real program, as a player would.

The program is started with its test hook that runs the hand-over from the menu
to the fight at start-up. Fighter 2 walks up to fighter 1 and hits it until its
life gauge is empty; fighter 1 must die once, and "p" must end the program with
exit status 0. Everything is driven by real X key events (xdotool, through the
XTEST extension) and everything is read from the screen: screenshots of the
root window (xwd) and the window's caption. Nothing is read from inside.

Usage: fight_e2e.py --game PATH/stickfight --layout PATH/Jeu.json [--shots DIR]
"""

import argparse
import ctypes
import json
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

# Well within the test's limit: software rendering on two shared cores.
WINDOW_LIMIT_S = 30.0
FIGHT_LIMIT_S = 40.0
EXIT_LIMIT_S = 10.0
# A key held this long is one press: the host's key repetition starts later.
KEY_HOLD_S = 0.06
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
CAPTION_RATE = re.compile(r"^(\d+)[.,](\d) FPS$")
FIGHT_CAPTION = re.compile(r"^(Jeu|\d+[.,]\d FPS)$")

PR_SET_PDEATHSIG = 1


class Failure(Exception):
    pass


def die_with_parent():
    """Runs in each child before exec: a test killed by its runner takes its
    X server and its game with it."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class Processes:
    """Everything the test starts, ended on every path."""

    def __init__(self):
        self.children = []

    def start(self, args, **kwargs):
        child = subprocess.Popen(args, preexec_fn=die_with_parent, **kwargs)
        self.children.append(child)
        return child

    def end_all(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()


def start_display(processes):
    """Uses the given display, or starts an X server on a free one."""
    if os.environ.get("DISPLAY"):
        return os.environ["DISPLAY"]
    read_end, write_end = os.pipe()
    processes.start(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-nolisten", "tcp"],
        pass_fds=(write_end,),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        raise Failure("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number
    return os.environ["DISPLAY"]


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10)
    return result.stdout.strip() if result.returncode == 0 else None


def press(key):
    xdotool("keydown", key, "sleep", str(KEY_HOLD_S), "keyup", key)


def caption(window):
    return xdotool("getwindowname", window) or ""


def find_fight_window(game):
    """The fight window: it is named "Jeu" until its first tick writes the
    frame rate in its caption."""
    deadline = time.monotonic() + WINDOW_LIMIT_S
    while time.monotonic() < deadline:
        if game.poll() is not None:
            raise Failure(f"the program ended before its fight window showed (status {game.returncode})")
        for window in (xdotool("search", "--onlyvisible", "--pid", str(game.pid), "--name", "") or "").split():
            if FIGHT_CAPTION.match(caption(window)):
                return window
        time.sleep(0.2)
    raise Failure("no fight window within %.0f s" % WINDOW_LIMIT_S)


def window_origin(window):
    text = xdotool("getwindowgeometry", "--shell", window) or ""
    values = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
    return int(values.get("X", 0)), int(values.get("Y", 0))


class Screen:
    """One screenshot of the root window, read from xwd's dump."""

    def __init__(self, path):
        subprocess.run(["xwd", "-root", "-silent", "-out", path], check=True, timeout=10)
        with open(path, "rb") as dump:
            data = dump.read()
        fields = struct.unpack(">25I", data[:100])
        self.width, self.height = fields[4], fields[5]
        byte_order, bits_per_pixel, self.line = fields[7], fields[11], fields[12]
        self.step = bits_per_pixel // 8
        masks = fields[14:17]
        self.pixels = memoryview(data)[len(data) - self.height * self.line :]
        # Where in a pixel's bytes each of red, green and blue lies.
        shifts = [mask.bit_length() - 8 for mask in masks]
        if byte_order == 0:
            self.offsets = [shift // 8 for shift in shifts]
        else:
            self.offsets = [self.step - 1 - shift // 8 for shift in shifts]

    def row(self, y):
        return self.pixels[y * self.line : y * self.line + self.width * self.step]

    def at(self, x, y):
        start = y * self.line + x * self.step
        return tuple(self.pixels[start + offset] for offset in self.offsets)

    def save_png(self, path):
        red, green, blue = self.offsets
        lines = []
        for y in range(self.height):
            source = self.row(y)
            rgb = bytearray(self.width * 3)
            rgb[0::3] = source[red :: self.step]
            rgb[1::3] = source[green :: self.step]
            rgb[2::3] = source[blue :: self.step]
            lines.append(b"\x00" + bytes(rgb))

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as picture:
            picture.write(b"\x89PNG\r\n\x1a\n")
            picture.write(chunk(b"IHDR", header))
            picture.write(chunk(b"IDAT", zlib.compress(b"".join(lines), 6)))
            picture.write(chunk(b"IEND", b""))


def layout_rect(layout, name):
    """Left, top, width and height of a window control in the fight's layout."""
    for component in layout["components"]:
        if component.get("name") == name:
            values = {}
            for pair in component.get("properties", []):
                values.update(pair)
            return values["Left"], values["Top"], values["Width"], values["Height"]
    raise Failure(f"no {name} in the layout")


class FightView:
    """What the fight shows: fighter 1's gauge and whether fighter 1 stands."""

    def __init__(self, layout, origin, shots_dir, work_dir):
        self.origin = origin
        self.shots_dir = shots_dir
        left, top, width, height = layout_rect(layout, "Vie1")
        border = 2
        self.gauge_y = top + height // 2
        self.gauge_x = range(max(left, 0) + border, left + width - border)
        left, top, width, height = layout_rect(layout, "GLSceneViewer1")
        self.viewer = (left, top, width, height)
        self.dump = os.path.join(work_dir, "screen.xwd")
        self.full_fill = None
        self.head_rows = None

    def grab(self):
        return Screen(self.dump)

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


def wait_for_rate(window, limit):
    deadline = time.monotonic() + limit
    text = ""
    while time.monotonic() < deadline:
        text = caption(window)
        match = CAPTION_RATE.match(text)
        if match and float(match.group(1) + "." + match.group(2)) > 0:
            return text
        time.sleep(0.2)
    raise Failure(f"the caption shows no frame rate: {text!r}")


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
    game_dir = os.path.dirname(os.path.abspath(arguments.game))
    environment = dict(os.environ, SDL_AUDIODRIVER="dummy")
    with open(os.path.join(work_dir, "game.log"), "wb") as output:
        game = processes.start(
            [os.path.abspath(arguments.game), "--start-fight"],
            cwd=game_dir,
            env=environment,
            stdout=output,
            stderr=subprocess.STDOUT,
        )
    window = find_fight_window(game)
    log(f"fight window {window} on {os.environ['DISPLAY']}")
    view = FightView(layout, window_origin(window), arguments.shots, work_dir)
    standing = fight(game, view, window, bool(arguments.shots), log)
    watch_death(game, view, bool(arguments.shots), standing, log)
    log("caption after the death: " + wait_for_rate(window, 5))
    press("p")
    try:
        status = game.wait(timeout=EXIT_LIMIT_S)
    except subprocess.TimeoutExpired:
        raise Failure('"p" did not end the program')
    if status != 0:
        raise Failure(f'"p" ended the program with status {status}')
    log("ended with status 0")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--layout", required=True)
    parser.add_argument("--shots", help="folder to save the fight's pictures in")
    arguments = parser.parse_args()
    if arguments.shots:
        os.makedirs(arguments.shots, exist_ok=True)
    processes = Processes()
    # The runner's own termination ends what the test started, too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    started = time.monotonic()

    def log(message):
        print(f"[{time.monotonic() - started:5.1f} s] {message}", flush=True)

    with tempfile.TemporaryDirectory() as work_dir:
        try:
            run(arguments, processes, work_dir, log)
        except Failure as failure:
            print(f"FAILED: {failure}", flush=True)
            show_game_output(work_dir)
            return 1
        finally:
            processes.end_all()
    return 0


def show_game_output(work_dir):
    path = os.path.join(work_dir, "game.log")
    if os.path.exists(path):
        with open(path, errors="replace") as output:
            lines = output.readlines()[-20:]
        if lines:
            print("the program's last output:\n" + "".join(lines), flush=True)


if __name__ == "__main__":
    sys.exit(main())
