#!/usr/bin/env python3
"""Plays the real program for a long time with random real X input and
watches that it stays healthy.

The program goes through its menu (the pointer wanders over the words), PLAY,
the loading window and the fight, which is then played by both fighters'
keys, camera drags, the mouse wheel, zoom keys and the skeleton key until the
time is up; "p" never comes before the end and QUIT is never clicked. Every
input is drawn from a seeded random generator; the seed is printed and
--seed repeats a run's choices.

While it plays, the run checks that:
- the program answers: a ping sent to its window (the window manager's
  _NET_WM_PING protocol, which the window answers from its user-interface
  thread) is answered within a few seconds;
- the user-interface thread draws: the screen changes at least every few
  seconds (the idle fighters never stand still);
- the fight timer's thread ticks: the caption, which each fight tick rewrites
  with the frame rate, changes at least every few seconds;
- its resident memory (VmRSS, every 10 s) is flat after a warm-up.
At the end "p" must end the program with status 0, and its output must hold
no sanitizer report. A sanitized build (found from the CMake cache beside the
program) runs with the options and the preloaded library of test.sh.

Usage: soak.py [--minutes 30] [--game PATH/stickfight] [--seed N]
"""

import ctypes
import json
import os
import random
import time

import menu_view
from screen import (
    FIGHT_CAPTION,
    Failure,
    Screen,
    caption,
    find_window,
    layout_rect,
    move_pointer,
    run_test,
    start_display,
    start_game,
    wait_for_exit,
    wait_for_rate,
    window_origin,
    xdotool,
)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_GAME = os.path.join(ROOT, "build-sanitize", "game", "bin", "stickfight")
DEFAULT_LAYOUT = os.path.join(ROOT, "src", "layouts", "Jeu.json")

SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "runtime error:", "LeakSanitizer")
# A small quarantine: freed memory parked by AddressSanitizer otherwise keeps
# the resident size growing for its first 256 MB, hiding a real slope.
QUARANTINE_MB = 16

RSS_PERIOD_S = 10.0
PING_PERIOD_S = 2.0
SCREEN_PERIOD_S = 1.0
CAPTION_PERIOD_S = 0.5
# Limits of silence; a sanitized program on two shared cores draws a frame
# in a few tenths of a second at worst.
PING_LIMIT_S = 10.0
STILL_LIMIT_S = 10.0
CAPTION_LIMIT_S = 10.0
MENU_LIMIT_S = 60.0
WINDOW_LIMIT_S = 180.0
EXIT_LIMIT_S = 60.0
# Resident memory once the caches, the quarantine and the driver's buffers are
# filled. The fight allocates nothing per frame or tick: after the warm-up a
# sanitized run wanders within some 5 MB and a normal one within 0.1 MB. A
# leak of 200 bytes a fight tick (33 a second) adds 8 MB in the 25 minutes
# after the warm-up.
WARM_UP_S = 300.0
RSS_GROWTH_LIMIT_MB = 8.0

FIGHTER_KEYS = {
    1: {"forward": "a", "back": "d", "crouch": "s", "jump": "w", "hit": "e"},
    2: {"forward": "l", "back": "j", "crouch": "k", "jump": "i", "hit": "o"},
}
ALL_KEYS = [key for keys in FIGHTER_KEYS.values() for key in keys.values()] + ["space", "plus", "minus"]


class ClientMessage(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("client", ClientMessage), ("pad", ctypes.c_long * 24)]


class Pinger:
    """Its own X connection, which sends the window manager's ping to a
    window and sees the answer that the window sends to the root window."""

    CLIENT_MESSAGE = 33
    # The answer goes to the root window for the clients that watch its
    # structure; toolkits differ in which of the two masks they name.
    STRUCTURE_NOTIFY_MASK = 1 << 17
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19

    def __init__(self):
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x = x
        self.handle = x.XOpenDisplay(None)
        if not self.handle:
            raise Failure("the ping cannot open the display")
        self.root = x.XDefaultRootWindow(self.handle)
        self.protocols = x.XInternAtom(self.handle, b"WM_PROTOCOLS", 0)
        self.ping = x.XInternAtom(self.handle, b"_NET_WM_PING", 0)
        x.XSelectInput(self.handle, self.root, self.STRUCTURE_NOTIFY_MASK | self.SUBSTRUCTURE_NOTIFY_MASK)
        self.token = 0
        self.sent_at = None
        self.answered_at = time.monotonic()

    def send(self, window):
        self.token += 1
        event = XEvent()
        message = event.client
        message.type = self.CLIENT_MESSAGE
        message.window = int(window)
        message.message_type = self.protocols
        message.format = 32
        message.data[0] = self.ping
        message.data[1] = self.token
        message.data[2] = int(window)
        self.x.XSendEvent(self.handle, int(window), 0, 0, ctypes.byref(event))
        self.x.XFlush(self.handle)
        self.sent_at = time.monotonic()

    def collect(self):
        """Reads what arrived; true once the last ping has been answered."""
        event = XEvent()
        while self.x.XPending(self.handle):
            self.x.XNextEvent(self.handle, ctypes.byref(event))
            message = event.client
            if (
                event.type == self.CLIENT_MESSAGE
                and message.message_type == self.protocols
                and message.data[0] == self.ping
                and message.data[1] == self.token
            ):
                self.answered_at = time.monotonic()
                self.sent_at = None
        return self.sent_at is None

    def close(self):
        self.x.XCloseDisplay(self.handle)


class Health:
    """The checks that run beside the input: ping, picture, caption, life
    gauges and memory."""

    def __init__(self, game, window, gauges, log):
        self.game = game
        self.window = window
        self.gauges = gauges
        self.log = log
        self.pinger = Pinger()
        now = time.monotonic()
        self.started = now
        self.next_ping = now
        self.next_screen = now
        self.next_rss = now
        self.next_caption = now
        self.last_ping = now
        self.screen_hash = None
        self.screen_changed = now
        self.caption_text = None
        self.caption_changed = now
        self.samples = []
        self.pings = 0
        self.slowest_ping = 0.0
        self.levels = None
        self.deaths = set()

    def wait(self, seconds):
        """Sleeps while checking, so that the checks keep their pace."""
        end = time.monotonic() + seconds
        while True:
            self.check()
            left = end - time.monotonic()
            if left <= 0:
                return
            time.sleep(min(left, 0.1))

    def check(self):
        now = time.monotonic()
        if self.game.poll() is not None:
            raise Failure(f"the program ended during the soak (status {self.game.returncode})")
        self.check_ping(now)
        if now >= self.next_caption:
            self.next_caption = now + CAPTION_PERIOD_S
            self.check_caption(now)
        if now >= self.next_screen:
            self.next_screen = now + SCREEN_PERIOD_S
            self.check_screen(now)
        if now >= self.next_rss:
            self.next_rss += RSS_PERIOD_S
            self.sample_memory(now)

    def check_ping(self, now):
        waiting = self.pinger.sent_at is not None
        if self.pinger.collect():
            if waiting:
                self.slowest_ping = max(self.slowest_ping, self.pinger.answered_at - self.last_ping)
        elif now - self.pinger.sent_at > PING_LIMIT_S:
            raise Failure(f"the fight window has not answered a ping for {now - self.pinger.sent_at:.0f} s")
        if self.pinger.sent_at is None and now >= self.next_ping:
            self.next_ping = now + PING_PERIOD_S
            self.last_ping = now
            self.pinger.send(self.window)
            self.pings += 1

    def check_caption(self, now):
        text = caption(self.window)
        if text != self.caption_text:
            self.caption_text = text
            self.caption_changed = now
        elif now - self.caption_changed > CAPTION_LIMIT_S:
            raise Failure(f"the caption has shown {text!r} for {now - self.caption_changed:.0f} s: no fight tick")

    def check_screen(self, now):
        screen = Screen()
        picture = hash(screen.pixels)
        if picture != self.screen_hash:
            self.screen_hash = picture
            self.screen_changed = now
        elif now - self.screen_changed > STILL_LIMIT_S:
            raise Failure(f"the screen has not changed for {now - self.screen_changed:.0f} s: nothing is drawn")
        levels = self.gauges.tenths(screen)
        if levels != self.levels:
            self.levels = levels
            self.log(f"life in tenths {levels}")
            self.deaths.update(fighter for fighter, level in levels.items() if level == 0)

    def sample_memory(self, now):
        status = read_status(self.game.pid)
        rss_mb = int(status["VmRSS"].split()[0]) / 1024
        threads = int(status["Threads"])
        self.samples.append((now - self.started, rss_mb, threads))
        self.log(f"RSS {rss_mb:7.1f} MB, {threads} threads, caption {self.caption_text!r}")

    def close(self):
        self.pinger.close()


def read_status(pid):
    with open(f"/proc/{pid}/status") as status:
        return dict(line.split(":", 1) for line in status if ":" in line)


class Gauges:
    """Both fighters' life read from their gauges on the screen, in tenths of
    the fill first seen."""

    FILL = (255, 128, 0)

    def __init__(self, layout, origin):
        self.origin = origin
        self.rows = {}
        for fighter, name in ((1, "Vie1"), (2, "Vie2")):
            left, top, width, height = layout_rect(layout, name)
            self.rows[fighter] = (range(max(left, 0) + 2, left + width - 2), top + height // 2)
        self.full = None

    def tenths(self, screen):
        ox, oy = self.origin
        fills = {
            fighter: sum(1 for x in xs if screen.at(ox + x, oy + y) == self.FILL)
            for fighter, (xs, y) in self.rows.items()
        }
        if self.full is None:
            self.full = fills
        return {fighter: round(10 * fills[fighter] / max(self.full[fighter], 1)) for fighter in fills}


class Player:
    """Random real input: keys of both fighters, drags, wheel, zoom."""

    def __init__(self, generator, health, viewer, origin):
        self.random = generator
        self.health = health
        left, top, width, height = viewer
        ox, oy = origin
        self.area = (ox + max(left, 0) + 20, oy + top + 20, width - 40, height - 40)
        self.zoom = 0
        self.counts = {}

    def point(self):
        left, top, width, height = self.area
        return left + self.random.randrange(width), top + self.random.randrange(height)

    def count(self, what):
        self.counts[what] = self.counts.get(what, 0) + 1

    def act(self):
        choice = self.random.random()
        if choice < 0.45:
            self.attack()
        elif choice < 0.75:
            self.fighter_key()
        elif choice < 0.85:
            self.drag()
        elif choice < 0.92:
            self.zoom_step()
        elif choice < 0.96:
            self.wheel()
        else:
            self.tap("space", 0.05)
            self.count("skeletons")

    def tap(self, key, hold):
        xdotool("keydown", key)
        try:
            self.health.wait(hold)
        finally:
            xdotool("keyup", key)

    def fighter_key(self):
        keys = FIGHTER_KEYS[self.random.choice((1, 2))]
        action = self.random.choice(list(keys))
        hold = self.random.uniform(0.6, 2.0) if action == "crouch" else self.random.uniform(0.03, 0.3)
        self.tap(keys[action], hold)
        self.count(action)
        self.health.wait(self.random.uniform(0.0, 0.4))

    def attack(self):
        """A fighter walks up and throws a combo: deaths need hits to land."""
        fighter = self.random.choice((1, 2))
        keys = FIGHTER_KEYS[fighter]
        for _ in range(self.random.randrange(0, 3)):
            self.tap(keys["forward"], 0.05)
            self.health.wait(self.random.uniform(0.3, 1.3))
        for _ in range(self.random.randrange(1, 4)):
            self.tap(keys["hit"], 0.05)
            self.health.wait(self.random.uniform(0.1, 0.5))
        self.count(f"combo {fighter}")

    def drag(self):
        x, y = self.point()
        xdotool("mousemove", str(x), str(y), "mousedown", "1")
        try:
            for _ in range(self.random.randrange(2, 8)):
                x, y = self.point()
                xdotool("mousemove", str(x), str(y))
                self.health.wait(0.05)
        finally:
            xdotool("mouseup", "1")
        self.count("drag")

    def zoom_step(self):
        # Zoom keys drawn towards the start: the camera stays near the fight.
        closer = self.random.random() < 0.5 - 0.05 * self.zoom
        self.tap("plus" if closer else "minus", 0.05)
        self.zoom += 1 if closer else -1
        self.count("zoom")

    def wheel(self):
        x, y = self.point()
        xdotool("mousemove", str(x), str(y), "click", "--repeat", str(self.random.randrange(1, 4)),
                self.random.choice(("4", "5")))
        self.count("wheel")

    def release_all(self):
        for key in ALL_KEYS:
            xdotool("keyup", key)
        xdotool("mouseup", "1")


def wander_over_menu(game, generator, seconds, log):
    """The pointer rests on the menu's words and between them, never clicking."""
    _, menu, _ = menu_view.wait_for_menu(game, MENU_LIMIT_S)
    deadline = time.monotonic() + seconds
    visits = 0
    while time.monotonic() < deadline:
        word = generator.choice((menu.play, menu.options, menu.quit, None))
        if word is None:
            move_pointer(generator.randrange(0, 200), generator.randrange(0, 1000))
        else:
            move_pointer(*generator.choice(sorted(word.cells)))
        visits += 1
        time.sleep(generator.uniform(0.1, 1.5))
        if game.poll() is not None:
            raise Failure(f"the program ended in its menu (status {game.returncode})")
    log(f"pointer rested {visits} times on the menu's words and beside them")
    return menu


def click_play(menu, log):
    """PLAY under the pointer, then a click on a point that stays on it."""
    for _ in range(5):
        shots = menu_view.hover(menu.play)
        try:
            _, clicker = menu_view.pick(menu.play, shots)
        except Failure:
            move_pointer(0, 0)
            time.sleep(1.0)
            continue
        clicker.wait(timeout=10)
        log("clicked PLAY")
        return
    raise Failure("no point of PLAY stayed under the pointer")


def play_fight(game, window, layout, generator, seconds, log):
    origin = window_origin(window)
    xdotool("mousemove", "--window", window, "700", "700")
    xdotool("windowfocus", "--sync", window)
    health = Health(game, window, Gauges(layout, origin), log)
    player = Player(generator, health, layout_rect(layout, "GLSceneViewer1"), origin)
    deadline = time.monotonic() + seconds
    try:
        while time.monotonic() < deadline:
            player.act()
            health.check()
    finally:
        player.release_all()
        health.close()
    log(f"inputs: {dict(sorted(player.counts.items()))}")
    log(f"{health.pings} pings answered, the slowest in {health.slowest_ping:.2f} s; "
        f"fighters seen dead: {sorted(health.deaths)}")
    return health.samples


def memory_verdict(samples, log):
    """Prints the curve and fails if memory grew after the warm-up."""
    log("resident memory (s, MB, threads):")
    for elapsed, rss_mb, threads in samples:
        print(f"  {elapsed:7.0f} {rss_mb:8.1f} {threads:3d}", flush=True)
    if not samples:
        raise Failure("no memory sample was taken")
    total = samples[-1][0]
    warm_up = min(WARM_UP_S, total / 2)
    after = [rss for elapsed, rss, _ in samples if elapsed >= warm_up]
    threads = [count for elapsed, _, count in samples if elapsed >= warm_up]
    growth = after[-1] - min(after)
    log(f"after {warm_up:.0f} s of warm-up: {min(after):.1f} to {max(after):.1f} MB, "
        f"{after[-1]:.1f} MB at the end (growth {growth:+.1f} MB, limit {RSS_GROWTH_LIMIT_MB} MB); "
        f"threads {threads[0]} to {threads[-1]}, at most {max(threads)}")
    if growth > RSS_GROWTH_LIMIT_MB:
        raise Failure(f"resident memory grew by {growth:.1f} MB after the warm-up")
    # Threads may end (the sound system's, once the fight's music is over),
    # never pile up.
    if max(threads) > threads[0]:
        raise Failure(f"the number of threads grew after the warm-up: {threads}")
    log("memory flat after the warm-up")


def sanitizer_report(work_dir):
    with open(os.path.join(work_dir, "game.log"), errors="replace") as output:
        lines = output.readlines()
    for number, line in enumerate(lines):
        if any(marker in line for marker in SANITIZER_REPORTS):
            return "".join(lines[max(number - 2, 0) : number + 60])
    return None


def sanitized_build(game):
    """The build folder's CMake cache tells whether the program is sanitized."""
    build = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(game))))
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as cache:
            sanitized = any(line.strip() == "STICKFIGHT_SANITIZE:BOOL=ON" for line in cache)
    except OSError:
        sanitized = False
    return build if sanitized else None


def prepare_environment(game, work_dir, log):
    # No controls file of the person running the soak: the game's own keys.
    os.environ["XDG_CONFIG_HOME"] = work_dir
    build = sanitized_build(game)
    if build is None:
        log("normal build")
        return
    os.environ["ASAN_OPTIONS"] = (
        "detect_leaks=1:halt_on_error=1:print_stacktrace=1:verify_asan_link_order=0:intercept_tls_get_addr=0:"
        f"quarantine_size_mb={QUARANTINE_MB}"
    )
    os.environ["UBSAN_OPTIONS"] = "halt_on_error=1:print_stacktrace=1"
    os.environ["LSAN_OPTIONS"] = f"suppressions={ROOT}/tests/sanitize/lsan.supp:print_suppressions=0"
    preload = os.path.join(build, "tests", "sanitize", "libkeep_libraries_loaded.so")
    if not os.path.exists(preload):
        raise Failure(f"the sanitized build has no {preload}")
    log(f"sanitized build; quarantine {QUARANTINE_MB} MB")
    return preload


def start_sanitized_game(processes, game, work_dir, preload):
    """The preload goes to the program only: xdotool and the X server run
    without it."""
    if preload:
        os.environ["LD_PRELOAD"] = preload
    try:
        return start_game(processes, game, work_dir)
    finally:
        os.environ.pop("LD_PRELOAD", None)


def run(arguments, processes, work_dir, log):
    seed = arguments.seed if arguments.seed is not None else random.SystemRandom().randrange(2**32)
    log(f"seed {seed}; {arguments.minutes} minutes of {arguments.game}")
    generator = random.Random(seed)
    with open(arguments.layout) as text:
        layout = json.load(text)
    total = arguments.minutes * 60
    preload = prepare_environment(arguments.game, work_dir, log)
    start_display(processes)
    started = time.monotonic()
    game = start_sanitized_game(processes, arguments.game, work_dir, preload)
    menu = wander_over_menu(game, generator, min(30.0, total / 10), log)
    click_play(menu, log)
    window = find_window(game, FIGHT_CAPTION, WINDOW_LIMIT_S, "fight window")
    log(f"fight window {window} on {os.environ['DISPLAY']}")
    # The gauges are read as full once the fight ticks.
    log("caption after set-up: " + wait_for_rate(window, WINDOW_LIMIT_S))
    samples = play_fight(game, window, layout, generator, total - (time.monotonic() - started), log)
    xdotool("key", "p")
    status, _ = wait_for_exit(game, EXIT_LIMIT_S, '"p"')
    report = sanitizer_report(work_dir)
    if report:
        raise Failure("a sanitizer reported:\n" + report)
    if status != 0:
        raise Failure(f'"p" ended the program with status {status}')
    log("ended with status 0, no sanitizer report")
    memory_verdict(samples, log)
    log(f"seed {seed}: passed")


def add_arguments(parser):
    parser.add_argument("--minutes", type=float, default=30.0)
    parser.add_argument("--game", default=DEFAULT_GAME)
    parser.add_argument("--layout", default=DEFAULT_LAYOUT)
    parser.add_argument("--seed", type=int)


if __name__ == "__main__":
    raise SystemExit(run_test(add_arguments, run))
