"""What the menu shows, read from the screen: the fighter and the three words
PLAY, OPTIONS and QUIT, black on white, and where the pointer must go to pick
a word although the word moves while it is hovered.

The words are found from a screenshot, not from fixed pixel positions: the
dark pixels (sampled every few pixels) are split into 8-connected regions;
the fighter is the tallest region; the regions wholly right of it are the
letters (letters close together may make one region), which fall into three
rows by their vertical centres. The rows, top
to bottom, are PLAY, OPTIONS and QUIT; the menu's scene puts each word further
right than the one above it, which is checked too.
"""

import re
import time

from screen import Failure, Screen, find_window, move_pointer, start_click

# The words and the fighter are black on white; their edges are grey.
DARK = 96
# Distance between sampled pixels: fine enough for the letters' strokes,
# which are over 15 pixels wide.
SAMPLE = 3
# Regions smaller than this many samples are specks of an edge, not letters.
SMALLEST_REGION = 4
# Pixels of the fighter and of the white paper looked at to tell whether the
# menu is on screen.
SHOWN_SAMPLES = 300
MENU_CAPTION = re.compile(r"^stickfight$")
# A hovered word swells by an eighth and its letters bob by a fifth of their
# height: its envelope is its box at rest grown by half its height.
ENVELOPE_GROWTH = 0.5
# Pictures of a hovered word, taken this far apart, to find where the
# pointer stays on it whatever the frame.
HOVER_SHOTS = 8
HOVER_SHOT_GAP_S = 0.07


class Region:
    def __init__(self, cells):
        self.cells = cells
        xs = [x for x, _ in cells]
        ys = [y for _, y in cells]
        self.left, self.right = min(xs), max(xs)
        self.top, self.bottom = min(ys), max(ys)

    @property
    def height(self):
        return self.bottom - self.top

    @property
    def centre_y(self):
        return (self.top + self.bottom) / 2


def dark_cells(screen, box, step=SAMPLE):
    left, top, width, height = box
    cells = set()
    for y in range(max(top, 0), min(top + height, screen.height), step):
        for x in range(max(left, 0), min(left + width, screen.width), step):
            if screen.is_dark(x, y, DARK):
                cells.add((x, y))
    return cells


def dark_regions(cells, step=SAMPLE):
    """The 8-connected regions of sampled dark pixels."""
    unvisited = set(cells)
    regions = []
    while unvisited:
        seed = unvisited.pop()
        region = [seed]
        frontier = [seed]
        while frontier:
            x, y = frontier.pop()
            for dx in (-step, 0, step):
                for dy in (-step, 0, step):
                    neighbour = (x + dx, y + dy)
                    if neighbour in unvisited:
                        unvisited.remove(neighbour)
                        region.append(neighbour)
                        frontier.append(neighbour)
        if len(region) >= SMALLEST_REGION:
            regions.append(Region(region))
    return regions


class Word:
    """One word of the menu at rest: its letters' sampled dark pixels and the
    box in which it moves while it is animated."""

    def __init__(self, name, letters):
        self.name = name
        self.cells = set().union(*(letter.cells for letter in letters))
        self.left = min(letter.left for letter in letters)
        self.right = max(letter.right for letter in letters)
        self.top = min(letter.top for letter in letters)
        self.bottom = max(letter.bottom for letter in letters)
        margin = int(ENVELOPE_GROWTH * (self.bottom - self.top))
        self.envelope = (
            self.left - margin,
            self.top - margin,
            self.right - self.left + 2 * margin,
            self.bottom - self.top + 2 * margin,
        )
        self.centre = ((self.left + self.right) / 2, (self.top + self.bottom) / 2)

    def ink(self, screen):
        """How many pixels of its envelope are dark, sampled sparsely: quick
        enough to follow the start sequence picture by picture."""
        return len(dark_cells(screen, self.envelope, 2 * SAMPLE))

    def picture(self, screen):
        return frozenset(dark_cells(screen, self.envelope))


class Menu:
    """The menu as first seen at rest."""

    def __init__(self, screen):
        regions = dark_regions(dark_cells(screen, (0, 0, screen.width, screen.height)))
        if not regions:
            raise Failure("the menu shows nothing dark")
        self.fighter = max(regions, key=lambda region: region.height)
        figure = sorted(self.fighter.cells)
        self.figure = figure[:: max(1, len(figure) // SHOWN_SAMPLES)]
        paper = [
            (x, y)
            for y in range(0, screen.height, 2 * SAMPLE)
            for x in range(0, screen.width, 2 * SAMPLE)
            if not screen.is_dark(x, y, DARK)
        ]
        self.paper = paper[:: max(1, len(paper) // SHOWN_SAMPLES)]
        letters = [region for region in regions if region.left > self.fighter.right]
        rows = rows_of(letters)
        if len(rows) != 3:
            raise Failure(f"{len(rows)} rows of letters right of the fighter, not PLAY, OPTIONS and QUIT")
        self.play, self.options, self.quit = (Word(name, row) for name, row in zip(("PLAY", "OPTIONS", "QUIT"), rows))
        if not self.play.left < self.options.left < self.quit.left:
            raise Failure("the menu's words do not step to the right from PLAY down to QUIT")
        self.region_counts = [len(row) for row in rows]

    def shown(self, screen):
        """The fighter still stands where it stood on white paper: the menu
        is on screen. Flying letters may cross either."""
        dark = sum(1 for x, y in self.figure if screen.is_dark(x, y, DARK))
        light = sum(1 for x, y in self.paper if not screen.is_dark(x, y, DARK))
        return dark >= 0.9 * len(self.figure) and light >= 0.9 * len(self.paper)


def rows_of(regions):
    """Regions grouped into rows, top to bottom: a region whose vertical
    centre lies within the current row's extent belongs to it."""
    rows = []
    for region in sorted(regions, key=lambda region: region.centre_y):
        if rows and min(r.top for r in rows[-1]) <= region.centre_y <= max(r.bottom for r in rows[-1]):
            rows[-1].append(region)
        else:
            rows.append([region])
    return rows


def wait_for_menu(game, limit):
    """The menu window and the menu read from it, once it shows its words."""
    window = find_window(game, MENU_CAPTION, limit, "menu window")
    deadline = time.monotonic() + limit
    while True:
        screen = Screen()
        try:
            return window, Menu(screen), screen
        except Failure:
            if time.monotonic() > deadline:
                raise
        if game.poll() is not None:
            raise Failure(f"the program ended at its menu (status {game.returncode})")
        time.sleep(0.1)


def deepest(cells, centre, step=SAMPLE):
    """The cell farthest from the set's edge, and of those the one nearest
    the centre: eroded away last, it is the safest point to aim at."""
    layer = set(cells)
    while True:
        inner = {
            (x, y)
            for x, y in layer
            if all(neighbour in layer for neighbour in ((x - step, y), (x + step, y), (x, y - step), (x, y + step)))
        }
        if not inner:
            break
        layer = inner
    if not layer:
        return None
    cx, cy = centre
    return min(layer, key=lambda cell: (cell[0] - cx) ** 2 + (cell[1] - cy) ** 2)


def hover(word, log=None):
    """Puts the pointer on the word at rest and returns pictures of the
    hovered word taken a little apart."""
    target = deepest(word.cells, word.centre)
    if target is None:
        raise Failure(f"{word.name} has no dark pixel to point at")
    move_pointer(*target)
    shots = []
    for _ in range(HOVER_SHOTS):
        time.sleep(HOVER_SHOT_GAP_S)
        shots.append(Screen())
    if log:
        log(f"pointer on {word.name} at {target}")
    return shots


def steady_point(word, shots):
    """A point on the word in every picture of it: the word moves while it is
    hovered, and a click picks whatever lies under the pointer at that moment."""
    steady = {(x, y) for x, y in word.cells if all(shot.is_dark(x, y, DARK) for shot in shots)}
    point = deepest(steady, word.centre)
    if point is None:
        raise Failure(f"no point stays on {word.name} in every hover picture")
    return point


def pick(word, shots):
    """Moves the pointer, still on the word, to its steady point and starts
    a click. Returns the moment just before the click was started (the
    program cannot have seen it earlier) and the clicking process."""
    move_pointer(*steady_point(word, shots))
    clicked = time.monotonic()
    return clicked, start_click()


def start_fight(game, limit, log):
    """Reaches the fight as a player does: PLAY under the pointer, then a click."""
    _, menu, _ = wait_for_menu(game, limit)
    shots = hover(menu.play, log)
    _, clicker = pick(menu.play, shots)
    clicker.wait(timeout=10)
    log("clicked PLAY")
