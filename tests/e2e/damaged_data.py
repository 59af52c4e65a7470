#!/usr/bin/env python3
"""Plays the real game with one damaged data file at a time and checks that it
survives: a model that the menu or the fight cannot read is named in a
message box, a menu animation frame that cannot be read stops the menu's
animation (Quit still works), a damaged sound is silence, and never a crash,
a hang or a process left behind.

For each case the pristine game tree (bin/, Combo/, Sons/, Anime/) is copied
to a temporary folder, one file is damaged there (missing, empty, truncated
at a seeded random point, or a few bytes changed at seeded random places),
and the program is started there on an X server of its own, with sound
through SDL's silent driver. The case is driven through the stage that uses
the file with real pointer and key events: the menu's creation, the pointer
on PLAY or QUIT (their hover animations), a click on PLAY (the start
sequence, the hand-over and the fight, where a few fight keys are pressed),
a click on QUIT. A message box is read as a screen reader reads it: through
the platform's accessibility bus (AT-SPI, on a D-Bus session of the case's
own), which gives the box's title and text; then it is dismissed with
Return, as a player would, and the case goes on.

Outcomes: "message box naming <file>", "menu animation stops", "silent",
"loads normally", "crash" (a signal or an unexpected exit), "hang" (no
progress within a limit). With SDL's silent driver only the farewell's
length (QUIT waits for it) tells a played sound from silence; another
damaged sound counts as silent when the game goes on without a message. A
crash or hang always fails; an outcome other than the expected one fails
too, except "loads normally" for a changed (not truncated) file, which may
still read validly, and for a truncated sound, which plays what is left.

Without --all a representative subset runs (each kind of file missing, plus
truncations and changed bytes of Stick.smd, Miniville.3ds, a hover frame and
a sound). The full run:

    python3 tests/e2e/damaged_data.py --game build/game/bin/stickfight --all

covers every file of bin/, Combo/ and Sons/ with every damage, and every
frame file of Anime/ missing and empty; truncation and changed bytes of the
frame files are run on a sample (the first frames, a middle frame, the last
frame each loop shows and the frame files no loop reads).

Usage: damaged_data.py --game PATH/bin/stickfight [--all] [--only REGEX]
                       [--seed N] [--list]
"""

import argparse
import ctypes
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import menu_e2e
import menu_view
from screen import (
    FIGHT_CAPTION,
    Failure,
    Processes,
    Screen,
    caption,
    move_pointer,
    press,
    start_click,
    start_display,
    start_game,
    visible_windows,
    xdotool,
)

MENU_LIMIT_S = 25.0
# From the click on PLAY to the fight window: 26 start frames and 25 loads.
HAND_OVER_LIMIT_S = 40.0
# A hovered word shows a new frame every few tens of milliseconds; unchanged
# this long, its animation has stopped.
STILL_S = 1.5
HOVER_WATCH_S = 3.5
# The farewell sound lasts about a second; the program then ends.
QUIT_LIMIT_S = 8.0
EXIT_LIMIT_S = 5.0
# Windows narrower than this are dialogs, not the game's maximised windows.
DIALOG_WIDTH = 900
TRUNCATIONS = 2
CHANGES = 2
CHANGED_BYTES = 4

MESSAGE = "message box naming {}"
STOPS = "menu animation stops"
SILENT = "silent"
NORMAL = "loads normally"
CRASH = "crash"
HANG = "hang"

# Frame files whose truncation and changed bytes are run: the first frames
# (also the menu's initial meshes), a middle one, the last each loop shows,
# and the ones no loop reads.
SAMPLED_FRAMES = {
    "Anime/Play/Play1.3ds", "Anime/Play/Play2.3ds", "Anime/Play/Play13.3ds", "Anime/Play/Play25.3ds",
    "Anime/Play/Play26.3ds", "Anime/Quit/Quit1.3ds", "Anime/Quit/Quit2.3ds", "Anime/Quit/Quit11.3ds",
    "Anime/Quit/Quit12.3ds", "Anime/Play_game/Play_game1.3ds", "Anime/Play_game/Play_game13.3ds",
    "Anime/Play_game/Play_game26.3ds",
}

QUICK = [
    ("bin/Miniville.3ds", "missing"), ("bin/Miniville.3ds", "truncated 1"), ("bin/Option1.3ds", "missing"),
    ("Combo/Stick.smd", "missing"), ("Combo/Stick.smd", "truncated 1"), ("Combo/Stick.smd", "changed 1"),
    ("bin/Miniville.3ds", "changed 1"), ("Anime/Play/Play5.3ds", "missing"), ("Anime/Play/Play2.3ds", "changed 1"),
    ("Anime/Quit/Quit3.3ds", "truncated 1"), ("Anime/Play_game/Play_game3.3ds", "empty"),
    ("Sons/comeon.wav", "missing"), ("Sons/amamaison.wav", "truncated 1"), ("Sons/wow.wav", "changed 1"),
]


# --- Which stage reads a file, and what it must lead to ---------------------

def stage_of(path):
    """The stage of the game that reads the file."""
    name = os.path.basename(path)
    if path in ("Anime/Play/Play1.3ds", "Anime/Quit/Quit1.3ds", "bin/Option1.3ds", "bin/Stick.3ds"):
        return "menu"
    if path.startswith("Anime/Play/"):
        return "play hover"
    if path.startswith("Anime/Quit/"):
        return "quit hover"
    if path.startswith("Anime/Play_game/"):
        return "start"
    return {"star.wav": "menu", "wow.wav": "start", "comeon.wav": "quit"}.get(name, "fight")


def frame_number(path):
    match = re.search(r"(\d+)\.3ds$", path)
    return int(match.group(1)) if match else None


def expected(path):
    """The outcome of a file that cannot be read."""
    name = os.path.basename(path)
    if path.startswith("Sons/"):
        return SILENT
    stage = stage_of(path)
    # The hover loops show frames 1 to 25 and 1 to 11: the last file of each
    # is never read.
    if (stage == "play hover" and frame_number(path) == 26) or (stage == "quit hover" and frame_number(path) == 12):
        return NORMAL
    if stage in ("play hover", "quit hover", "start"):
        return STOPS
    return MESSAGE.format(name)


# --- Damage ------------------------------------------------------------------

def damages(path, size, run_all):
    kinds = ["missing", "empty"]
    if not path.startswith("Anime/") or path in SAMPLED_FRAMES or not run_all:
        kinds += [f"truncated {i}" for i in range(1, TRUNCATIONS + 1)]
        kinds += [f"changed {i}" for i in range(1, CHANGES + 1)]
    return kinds if size > 0 else kinds[:2]


def damage_file(full_path, relative, damage, seed):
    """Damages the file in place; returns a short note of what was done."""
    if damage == "missing":
        os.remove(full_path)
        return ""
    with open(full_path, "rb") as original:
        data = bytearray(original.read())
    rng = random.Random(f"{seed}:{relative}:{damage}")
    if damage == "empty":
        data = bytearray()
        note = ""
    elif damage.startswith("truncated"):
        keep = rng.randrange(1, len(data))
        data = data[:keep]
        note = f"{keep} bytes kept"
    else:
        places = sorted(rng.sample(range(len(data)), min(CHANGED_BYTES, len(data))))
        for place in places:
            data[place] ^= rng.randrange(1, 256)
        note = "at " + ",".join(str(place) for place in places)
    with open(full_path, "wb") as damaged:
        damaged.write(data)
    return note


# --- Reading message boxes through the accessibility bus ---------------------

def busctl(address, *args):
    try:
        result = subprocess.run(
            ["busctl", "--address=" + address, "--json=short", *args], capture_output=True, text=True, timeout=5
        )
    except subprocess.TimeoutExpired:
        return None
    if result.returncode != 0 or not result.stdout.strip():
        return None
    return json.loads(result.stdout)["data"]


class Accessibility:
    """A D-Bus session of the case's own; the program shows its windows to
    the accessibility bus that the session's launcher starts."""

    def __init__(self, runtime_dir):
        environment = dict(os.environ, XDG_RUNTIME_DIR=runtime_dir)
        # A session of its own: the bus launcher, the accessibility bus and
        # the registry it starts all end with it.
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=environment, start_new_session=True,
        )
        self.address = self.daemon.stdout.readline().strip()
        if not self.address:
            raise Failure("no D-Bus session bus")
        self.bus = None
        self.program = None

    def environment(self):
        return {"DBUS_SESSION_BUS_ADDRESS": self.address, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def end(self):
        try:
            os.killpg(self.daemon.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            self.daemon.wait(timeout=3)
        except subprocess.TimeoutExpired:
            os.killpg(self.daemon.pid, signal.SIGKILL)
            self.daemon.wait()

    def _program_root(self):
        if self.bus is None:
            reply = busctl(self.address, "call", "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")
            if reply is None:
                return None
            self.bus = reply[0]
        if self.program is None:
            names = busctl(self.bus, "call", "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "ListNames") or [[]]
            for name in names[0]:
                if name.startswith(":") and self._name(name, "/org/a11y/atspi/accessible/root") == "stickfight":
                    role = self._role(name, "/org/a11y/atspi/accessible/root")
                    if role == "application":
                        self.program = name
        return self.program

    def _name(self, name, path):
        reply = busctl(self.bus, "get-property", name, path, "org.a11y.atspi.Accessible", "Name")
        return reply if isinstance(reply, str) else None

    def _role(self, name, path):
        reply = busctl(self.bus, "call", name, path, "org.a11y.atspi.Accessible", "GetRoleName")
        return reply[0] if reply else None

    def _children(self, name, path):
        reply = busctl(self.bus, "call", name, path, "org.a11y.atspi.Accessible", "GetChildren")
        return reply[0] if reply else []

    def message_boxes(self):
        """Title and texts of each message box the program shows."""
        program = self._program_root()
        if program is None:
            return []
        boxes = []
        for child_name, child_path in self._children(program, "/org/a11y/atspi/accessible/root"):
            if self._role(child_name, child_path) != "alert message":
                continue
            texts = [
                self._name(name, path)
                for name, path in self._children(child_name, child_path)
                if self._role(name, path) == "label"
            ]
            boxes.append((self._name(child_name, child_path), [text for text in texts if text]))
        return boxes


PR_SET_CHILD_SUBREAPER = 36


def adopt_orphans():
    """The accessibility bus's processes outlive their parent for a moment
    when the session ends; adopted by this process, they are reaped here
    instead of lingering as zombies."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1)


def reap_orphans():
    """Called once a case's own children have been waited for."""
    deadline = time.monotonic() + 2
    while time.monotonic() < deadline:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            time.sleep(0.05)


# --- One case ----------------------------------------------------------------

class Outcome(Exception):
    """Ends a case early with its outcome."""

    def __init__(self, outcome, detail=""):
        super().__init__(outcome)
        self.outcome = outcome
        self.detail = detail


class Case:
    def __init__(self, game, accessibility, calibration, log):
        self.game = game
        self.accessibility = accessibility
        self.calibration = calibration
        self.log = log
        self.messages = []
        self.notes = []
        self.menu = None

    def alive(self, where):
        status = self.game.poll()
        if status is not None:
            raise Outcome(CRASH if status != 0 else "exit", f"status {status} {where}")

    def windows(self):
        """Visible windows of the program: (id, caption, width)."""
        found = []
        for window in visible_windows(self.game):
            text = xdotool("getwindowgeometry", "--shell", window) or ""
            values = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
            found.append((window, caption(window), int(values.get("WIDTH", 0))))
        return found

    def take_message(self):
        """Reads a message box that is up, dismisses it with Return and
        returns its text, or None when none is shown."""
        boxes = self.accessibility.message_boxes()
        if not boxes:
            return None
        title, texts = boxes[0]
        dialogs = [w for w, text, width in self.windows() if text == title and width < DIALOG_WIDTH]
        if not dialogs:
            return None
        text = " ".join(texts)
        self.messages.append(f"[{title}] {text}")
        self.log(f"message box [{title}]: {text}")
        xdotool("windowfocus", "--sync", dialogs[0])
        press("Return")
        deadline = time.monotonic() + 5
        while self.accessibility.message_boxes() and time.monotonic() < deadline:
            time.sleep(0.1)
        return text

    def wait_for(self, what, ready, limit):
        """Polls until `ready()` gives a value; message boxes shown meanwhile
        are read and dismissed."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            self.alive(f"while waiting for {what}")
            if self.take_message() is not None:
                deadline = time.monotonic() + limit
                continue
            value = ready()
            if value:
                return value
            time.sleep(0.15)
        shown = [text for _, text, _ in self.windows()]
        raise Outcome(HANG, f"no {what} within {limit:.0f} s; windows shown: {shown}")

    def menu_window(self):
        for window, text, width in self.windows():
            if text == "stickfight" and width >= DIALOG_WIDTH:
                return window
        return None

    def fight_window(self):
        for window, text, _ in self.windows():
            if FIGHT_CAPTION.match(text):
                return window
        return None

    def hover_is_still(self, word, target):
        """Points at the word and watches it; true when it stops changing."""
        move_pointer(*target)
        pictures = []
        start = time.monotonic()
        while time.monotonic() - start < HOVER_WATCH_S:
            self.alive("while a word was hovered")
            pictures.append((time.monotonic(), word.picture(Screen())))
            time.sleep(0.05)
        last = pictures[-1][1]
        changed_at = max((moment for moment, picture in pictures if picture != last), default=start)
        return pictures[-1][0] - changed_at >= STILL_S

    def play_is_whole(self):
        """PLAY looks as it does in the pristine game, once the screen has
        been repainted after the message box."""
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            if self.calibration["play"].picture(Screen()) == self.calibration["play at rest"]:
                return True
            time.sleep(0.2)
        return False

    def click(self, point):
        move_pointer(*point)
        clicker = start_click()
        clicker.wait(timeout=10)

    def quit_through_menu(self):
        """QUIT still ends the program, with status 0; returns the seconds
        from the click to the end."""
        move_pointer(*self.calibration["quit click"])
        clicked = time.monotonic()
        clicker = start_click()
        deadline = clicked + QUIT_LIMIT_S
        while self.game.poll() is None and time.monotonic() < deadline:
            time.sleep(0.02)
        ended = time.monotonic()
        clicker.wait(timeout=10)
        status = self.game.poll()
        if status is None:
            raise Outcome(HANG, "a click on QUIT did not end the program")
        if status != 0:
            raise Outcome(CRASH, f"status {status} after a click on QUIT")
        return ended - clicked

    def fight(self, window):
        """A few fight keys, then "p", which ends the program with status 0."""
        xdotool("mousemove", "--window", window, "700", "700")
        xdotool("windowfocus", "--sync", window)
        for key in ("l", "a", "e", "o", "w", "i", "s", "k", "d", "j", "space", "plus", "minus", "e", "e", "o", "o"):
            press(key)
            time.sleep(0.05)
        time.sleep(1.0)
        self.alive("after the fight keys")
        if self.take_message() is not None:
            raise Outcome(HANG, "a message box during the fight")
        press("p")
        deadline = time.monotonic() + EXIT_LIMIT_S
        while self.game.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        if self.game.poll() is None:
            raise Outcome(HANG, '"p" did not end the program')
        if self.game.returncode != 0:
            raise Outcome(CRASH, f'status {self.game.returncode} after "p"')

    def play(self, stage):
        """Drives the game through the stage; returns the case's outcome
        ("message box naming ..." is decided by the caller from the messages
        read on the way)."""
        self.menu = self.wait_for("menu window", self.menu_window, MENU_LIMIT_S)
        # The menu's meshes are drawn a moment after the window maps.
        time.sleep(0.5)
        self.alive("at the menu")
        if stage == "play hover":
            still = self.hover_is_still(self.calibration["play"], self.calibration["play hover"])
            self.quit_through_menu()
            return STOPS if still else NORMAL
        if stage == "quit hover":
            still = self.hover_is_still(self.calibration["quit"], self.calibration["quit hover"])
            self.quit_through_menu()
            return STOPS if still else NORMAL
        if stage == "quit":
            # The farewell holds the window for its length: a program that
            # ends sooner played nothing.
            took = self.quit_through_menu()
            self.notes.append(f"ended {took:.1f} s after the click")
            return NORMAL if took >= self.calibration["farewell"] else SILENT
        return self.through_start(stage)

    def through_start(self, stage):
        if self.messages and not self.play_is_whole():
            # A PLAY read only in part (what a reader added before it failed
            # stays shown) may not be where the pointer clicks: the case ends
            # with the message box.
            return None
        move_pointer(*self.calibration["play hover"])
        time.sleep(0.3)
        self.click(self.calibration["play click"])
        started = time.monotonic()
        seen_play = self.calibration["play"].picture(Screen())
        last_change = time.monotonic()
        while time.monotonic() - started < HAND_OVER_LIMIT_S:
            self.alive("after the click on PLAY")
            if self.take_message() is not None:
                last_change = time.monotonic()
                continue
            window = self.fight_window()
            if window:
                self.fight(window)
                return NORMAL
            # The loading window has the menu's caption too; the menu is the
            # window seen first.
            if self.menu in [window for window, _, _ in self.windows()]:
                picture = self.calibration["play"].picture(Screen())
                if picture != seen_play:
                    seen_play, last_change = picture, time.monotonic()
                elif time.monotonic() - last_change > STILL_S + 1.0:
                    self.quit_through_menu()
                    return STOPS
            time.sleep(0.1)
        shown = [text for _, text, _ in self.windows()]
        raise Outcome(HANG, f"no fight window within {HAND_OVER_LIMIT_S:.0f} s; windows shown: {shown}")


def classify(path, damage, result, messages):
    """The outcome seen and whether it is acceptable."""
    name = os.path.basename(path)
    want = expected(path)
    if result in (CRASH, HANG, "exit"):
        return result, False
    # The player sees a box with the program's name as its title.
    naming = [text for text in messages if text.startswith("[stickfight] ") and name in text]
    if messages and not naming:
        return "message box naming another file", False
    outcome = MESSAGE.format(name) if naming else result
    if path.startswith("Sons/") and outcome == NORMAL:
        # Only the farewell's length tells a played sound from silence.
        outcome = SILENT if stage_of(path) != "quit" else NORMAL
    if outcome == want:
        return outcome, True
    # Changed bytes may leave a file that still reads validly.
    if outcome == NORMAL and damage.startswith("changed"):
        return outcome, True
    if path.startswith("Sons/") and outcome == NORMAL and damage not in ("missing", "empty"):
        return outcome, True
    return outcome, False


def run_case(arguments, calibration, path, damage, log):
    processes = Processes()
    accessibility = None
    started = time.monotonic()
    note = ""
    with tempfile.TemporaryDirectory(prefix="damaged-") as work_dir:
        tree = os.path.join(work_dir, "game")
        shutil.copytree(arguments.tree, tree)
        note = damage_file(os.path.join(tree, path), path, damage, arguments.seed)
        runtime = os.path.join(work_dir, "runtime")
        os.mkdir(runtime, 0o700)
        case = None
        try:
            start_display(processes)
            accessibility = Accessibility(runtime)
            saved = dict(os.environ)
            os.environ.update(accessibility.environment())
            try:
                game = start_game(processes, os.path.join(tree, "bin", "stickfight"), work_dir)
            finally:
                os.environ.clear()
                os.environ.update(saved)
            case = Case(game, accessibility, calibration, log)
            try:
                result = case.play(stage_of(path))
            except Outcome as ended:
                result = ended.outcome
                note = (note + "; " if note else "") + ended.detail
            if result not in (CRASH, HANG, "exit") and game.poll() is None:
                # A case that stopped early ends the program as its owner does.
                game.terminate()
                try:
                    game.wait(timeout=EXIT_LIMIT_S)
                except subprocess.TimeoutExpired:
                    result, note = HANG, note + "; SIGTERM did not end the program"
        finally:
            processes.end_all()
            if accessibility:
                accessibility.end()
            reap_orphans()
        messages = case.messages if case else []
        if case and case.notes:
            note = "; ".join(([note] if note else []) + case.notes)
        outcome, good = classify(path, damage, result, messages)
        return outcome, good, time.monotonic() - started, note, messages


# --- Where the words are -----------------------------------------------------

def calibrate(arguments, log):
    """The menu's words, read once from the pristine game: the damaged runs
    point at the same places, though a word may be missing there."""
    processes = Processes()
    try:
        start_display(processes)
        with tempfile.TemporaryDirectory() as work_dir:
            game = start_game(processes, arguments.game, work_dir)
            _, menu, rest = menu_view.wait_for_menu(game, MENU_LIMIT_S)
            found = {"play": menu.play, "quit": menu.quit, "play at rest": menu.play.picture(rest)}
            for word in ("play", "quit"):
                target = menu_view.deepest(found[word].cells, found[word].centre)
                shots = menu_view.hover(found[word])
                found[word + " hover"] = target
                found[word + " click"] = menu_view.steady_point(found[word], [rest] + shots)
            move_pointer(0, 0)
            found["farewell"] = menu_e2e.wav_duration(os.path.join(arguments.tree, "Sons", "comeon.wav"))
            return found
    finally:
        processes.end_all()


def all_cases(tree, run_all):
    cases = []
    for folder in ("bin", "Combo", "Sons", "Anime"):
        for root, _, files in sorted(os.walk(os.path.join(tree, folder))):
            for name in sorted(files, key=lambda n: (len(n), n)):
                path = os.path.relpath(os.path.join(root, name), tree)
                if not re.search(r"\.(3ds|smd|wav)$", name):
                    continue
                size = os.path.getsize(os.path.join(tree, path))
                cases += [(path, damage) for damage in damages(path, size, run_all)]
    return cases


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--game", required=True, help="bin/stickfight of a built game tree")
    parser.add_argument("--all", action="store_true", help="every file and damage (long)")
    parser.add_argument("--only", help="only cases whose 'file damage' matches this expression")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--list", action="store_true", help="list the cases and stop")
    parser.add_argument("--verbose", action="store_true")
    arguments = parser.parse_args()
    arguments.game = os.path.abspath(arguments.game)
    arguments.tree = os.path.dirname(os.path.dirname(arguments.game))
    cases = all_cases(arguments.tree, True) if arguments.all else list(QUICK)
    if arguments.only:
        cases = [case for case in cases if re.search(arguments.only, f"{case[0]} {case[1]}")]
    if arguments.list:
        for path, damage in cases:
            print(f"{path:34} {damage:12} expect {expected(path)}")
        return 0
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    adopt_orphans()
    begun = time.monotonic()

    def log(message):
        if arguments.verbose:
            print(f"    [{time.monotonic() - begun:6.1f} s] {message}", flush=True)

    calibration = calibrate(arguments, log)
    failures = 0
    counts = {}
    print(f"{'file':34} {'damage':12} {'outcome':40} {'s':>5}  note", flush=True)
    for path, damage in cases:
        outcome, good, seconds, note, _ = run_case(arguments, calibration, path, damage, log)
        failures += not good
        kind = {"bin": "bin/*.3ds", "Combo": "Combo/*.smd", "Sons": "Sons/*.wav"}.get(path.split("/")[0], "Anime frames")
        label = "message box naming the file" if outcome.startswith("message box naming ") and good else outcome
        counts[(kind, label)] = counts.get((kind, label), 0) + 1
        mark = "" if good else f"  FAIL (expected {expected(path)})"
        print(f"{path:34} {damage:12} {outcome:40} {seconds:5.1f}  {note}{mark}", flush=True)
    for (kind, label), count in sorted(counts.items()):
        print(f"{kind:14} {label:40} {count:4}")
    print(f"{len(cases)} cases, {failures} failed, {time.monotonic() - begun:.0f} s in all", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    raise SystemExit(main())
