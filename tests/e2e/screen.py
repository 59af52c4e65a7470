"""What the end-to-end tests share: the processes they start, the X server,
real input through xdotool (the XTEST extension), and the screen read back.

Nothing is read from inside the program: only its windows' captions, their
places, the pixels of the root window and the program's exit status.
"""

import argparse
import ctypes
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

# A key held this long is one press: the host's key repetition starts later.
KEY_HOLD_S = 0.06

PR_SET_PDEATHSIG = 1
# The fight window is named "Jeu" until its first tick writes the frame rate
# in its caption.
FIGHT_CAPTION = re.compile(r"^(Jeu|\d+[.,]\d FPS)$")
CAPTION_RATE = re.compile(r"^(\d+)[.,](\d) FPS$")


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
        close_display()
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()


def start_display(processes):
    """Starts an X server of its own on a free display, so that no other
    window (other tests run beside this one) takes the pointer or the keys.
    STICKFIGHT_E2E_DISPLAY names a display to use instead, to watch a run."""
    if os.environ.get("STICKFIGHT_E2E_DISPLAY"):
        os.environ["DISPLAY"] = os.environ["STICKFIGHT_E2E_DISPLAY"]
        return os.environ["DISPLAY"]
    read_end, write_end = os.pipe()
    # Without -noreset the server resets whenever its last client leaves and
    # refuses connections meanwhile: a short xdotool call that ends just as
    # the program connects would make the program fail to start.
    processes.start(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-nolisten", "tcp", "-noreset"],
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


def start_game(processes, game, work_dir, log_name="game.log"):
    """The program, run from its own folder as a player runs it, silent.
    The pointer waits in the screen's corner, off anything it could pick,
    wherever an earlier run left it."""
    move_pointer(0, 0)
    environment = dict(os.environ, SDL_AUDIODRIVER="dummy")
    with open(os.path.join(work_dir, log_name), "wb") as output:
        return processes.start(
            # The windows' fixed pixels, which the tests read the screen by.
            [os.path.abspath(game), "--scale", "1"],
            cwd=os.path.dirname(os.path.abspath(game)),
            env=environment,
            stdout=output,
            stderr=subprocess.STDOUT,
        )


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10)
    return result.stdout.strip() if result.returncode == 0 else None


def press(key):
    xdotool("keydown", key, "sleep", str(KEY_HOLD_S), "keyup", key)


def move_pointer(x, y):
    xdotool("mousemove", "--sync", str(x), str(y))


def start_click():
    """A left click, sent while the caller goes on: starting xdotool takes
    longer than the menu's start sequence lasts. The caller waits for it."""
    return subprocess.Popen(["xdotool", "click", "1"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def caption(window):
    return xdotool("getwindowname", window) or ""


def visible_windows(game):
    return (xdotool("search", "--onlyvisible", "--pid", str(game.pid), "--name", "") or "").split()


def find_window(game, pattern, limit, what):
    """The first visible window of the program whose caption matches."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if game.poll() is not None:
            raise Failure(f"the program ended before its {what} showed (status {game.returncode})")
        for window in visible_windows(game):
            if pattern.match(caption(window)):
                return window
        time.sleep(0.1)
    raise Failure(f"no {what} within {limit:.0f} s")


def window_origin(window):
    text = xdotool("getwindowgeometry", "--shell", window) or ""
    values = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
    return int(values.get("X", 0)), int(values.get("Y", 0))


def wait_for_rate(window, limit):
    """The caption once it shows a frame rate above zero."""
    deadline = time.monotonic() + limit
    text = ""
    while time.monotonic() < deadline:
        text = caption(window)
        match = CAPTION_RATE.match(text)
        if match and float(match.group(1) + "." + match.group(2)) > 0:
            return text
        time.sleep(0.2)
    raise Failure(f"the caption shows no frame rate: {text!r}")


def layout_rect(layout, name):
    """Left, top, width and height of a window control in a stored layout."""
    for component in layout["components"]:
        if component.get("name") == name:
            values = {}
            for pair in component.get("properties", []):
                values.update(pair)
            return values["Left"], values["Top"], values["Width"], values["Height"]
    raise Failure(f"no {name} in the layout")


def wait_for_exit(game, limit, what):
    """The program's exit status and when it was seen, polled closely enough
    for the time to be measured."""
    deadline = time.monotonic() + limit
    while game.poll() is None:
        if time.monotonic() > deadline:
            raise Failure(f"{what} did not end the program within {limit:.0f} s")
        time.sleep(0.01)
    return game.returncode, time.monotonic()


class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int),
        ("data", ctypes.c_void_p),
        ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
        ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong),
        ("blue_mask", ctypes.c_ulong),
    ]


class _Display:
    """One connection to the X server for every screenshot: a screenshot is
    then one request, fast enough to catch a sequence that lasts a fraction
    of a second, where a new xwd client per picture is not."""

    ALL_PLANES = ctypes.c_ulong(-1).value
    Z_PIXMAP = 2

    def __init__(self):
        self.xlib = ctypes.CDLL("libX11.so.6")
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.xlib.XGetImage.restype = ctypes.POINTER(_XImage)
        self.xlib.XGetImage.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
            ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int,
        ]
        self.xlib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        self.xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xlib.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xlib.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.handle = self.xlib.XOpenDisplay(None)
        if not self.handle:
            raise Failure(f"cannot open the display {os.environ.get('DISPLAY')}")
        self.root = self.xlib.XDefaultRootWindow(self.handle)
        self.width = self.xlib.XDisplayWidth(self.handle, 0)
        self.height = self.xlib.XDisplayHeight(self.handle, 0)

    def grab(self):
        image = self.xlib.XGetImage(
            self.handle, self.root, 0, 0, self.width, self.height, self.ALL_PLANES, self.Z_PIXMAP
        )
        if not image:
            raise Failure("the X server gave no picture of the screen")
        try:
            fields = image.contents
            data = ctypes.string_at(fields.data, fields.bytes_per_line * fields.height)
            masks = (fields.red_mask, fields.green_mask, fields.blue_mask)
            return fields.width, fields.height, fields.bytes_per_line, fields.bits_per_pixel, fields.byte_order, masks, data
        finally:
            self.xlib.XDestroyImage(image)

    def close(self):
        self.xlib.XCloseDisplay(self.handle)


_display = None


def close_display():
    """Before the X server goes: a connection that outlives its server ends
    the process at its next request."""
    global _display
    if _display is not None:
        _display.close()
        _display = None


class Screen:
    """One screenshot of the root window."""

    def __init__(self):
        global _display
        if _display is None:
            _display = _Display()
        self.width, self.height, self.line, bits_per_pixel, byte_order, masks, data = _display.grab()
        self.step = bits_per_pixel // 8
        self.pixels = data
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

    def is_dark(self, x, y, limit):
        """Every channel below the limit."""
        start = y * self.line + x * self.step
        pixels = self.pixels
        red, green, blue = self.offsets
        return pixels[start + red] < limit and pixels[start + green] < limit and pixels[start + blue] < limit

    def save_png(self, path, box=None):
        """The whole screen, or the part left, top, width, height."""
        left, top, width, height = box or (0, 0, self.width, self.height)
        red, green, blue = self.offsets
        lines = []
        for y in range(top, top + height):
            source = self.row(y)[left * self.step : (left + width) * self.step]
            rgb = bytearray(width * 3)
            rgb[0::3] = source[red :: self.step]
            rgb[1::3] = source[green :: self.step]
            rgb[2::3] = source[blue :: self.step]
            lines.append(b"\x00" + bytes(rgb))
        write_png(path, width, height, b"".join(lines))


def _png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def write_png(path, width, height, filtered_rows):
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as picture:
        picture.write(b"\x89PNG\r\n\x1a\n")
        picture.write(_png_chunk(b"IHDR", header))
        picture.write(_png_chunk(b"IDAT", zlib.compress(filtered_rows, 6)))
        picture.write(_png_chunk(b"IEND", b""))


def read_png(path):
    """Width, height and rows of red, green, blue bytes of an 8-bit RGB or
    RGBA picture without interlacing, as our title picture is written."""
    with open(path, "rb") as picture:
        data = picture.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure(f"{path} is not a PNG picture")
    position = 8
    compressed = b""
    header = None
    while position + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[position : position + 8])
        body = data[position + 8 : position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
    if header is None:
        raise Failure(f"{path} has no header")
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise Failure(f"{path}: only 8-bit RGB or RGBA pictures without interlacing are read")
    raw = zlib.decompress(compressed)
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        line = bytearray(raw[start + 1 : start + 1 + stride])
        _unfilter(raw[start], line, previous, channels)
        rows.append(bytes(line) if channels == 3 else _without_alpha(line))
        previous = line
    return width, height, rows


def _without_alpha(line):
    rgb = bytearray(len(line) // 4 * 3)
    for channel in range(3):
        rgb[channel::3] = line[channel::4]
    return bytes(rgb)


def _unfilter(kind, line, previous, bpp):
    stride = len(line)
    if kind == 1:
        for i in range(bpp, stride):
            line[i] = (line[i] + line[i - bpp]) & 255
    elif kind == 2:
        for i in range(stride):
            line[i] = (line[i] + previous[i]) & 255
    elif kind == 3:
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + (left + previous[i]) // 2) & 255
    elif kind == 4:
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            estimate = a + b - c
            pa, pb, pc = abs(estimate - a), abs(estimate - b), abs(estimate - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255


def show_game_output(work_dir):
    for name in sorted(os.listdir(work_dir)):
        if not name.endswith(".log"):
            continue
        with open(os.path.join(work_dir, name), errors="replace") as output:
            lines = output.readlines()[-20:]
        if lines:
            print(f"the program's last output ({name}):\n" + "".join(lines), flush=True)


def run_test(add_arguments, run):
    """Parses the arguments, runs the test with a log that counts seconds,
    and ends everything it started, whatever happens."""
    parser = argparse.ArgumentParser()
    add_arguments(parser)
    parser.add_argument("--shots", help="folder to save the pictures in")
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
