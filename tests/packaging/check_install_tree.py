#!/usr/bin/env python3
"""Checks the game as `cmake --install` laid it out under a prefix. One check
per run, named on the command line:

  layout    the game's tree from the build, file for file, under
            lib/games/stickfight (the data through relative links into
            share/games/stickfight), and nothing installed beyond the game
  launcher  games/stickfight runs the program from any directory, through a
            link to it too, passing the arguments on
  desktop   the desktop entry runs the launcher and names the installed icon
  icons     each hicolor icon is a picture of the size its folder names,
            with an alpha channel for its rounded corners
  manual    the manual page renders without a warning and lists every option
            of the program's --help

Usage: check_install_tree.py CHECK --prefix DIR --game-tree DIR --app-id ID --version V
"""

import argparse
import filecmp
import gzip
import os
import re
import struct
import subprocess
import sys
import tempfile

GAME = "lib/games/stickfight"
DATA = "share/games/stickfight"
DATA_FOLDERS = ("Combo", "Sons", "Anime")
ICON_SIZES = (64, 128, 256)
PNG_GREY_ALPHA = 4
PNG_RGBA = 6


class Failure(Exception):
    pass


def files_under(root):
    """Paths of the files and links under root, relative to it; links to
    folders are not followed."""
    found = set()
    for folder, folders, files in os.walk(root):
        for name in files + [name for name in folders if os.path.islink(os.path.join(folder, name))]:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def expected_files(args, game_tree):
    game_files = {f"{GAME}/bin/{name}" for name in os.listdir(os.path.join(game_tree, "bin"))}
    data_files = {f"{DATA}/{path}" for folder in DATA_FOLDERS for path in prefixed(folder, files_under(os.path.join(game_tree, folder)))}
    links = {f"{GAME}/{folder}" for folder in DATA_FOLDERS}
    desktop = {
        "games/stickfight",
        f"share/applications/{args.app_id}.desktop",
        f"share/metainfo/{args.app_id}.metainfo.xml",
        "share/man/man6/stickfight.6.gz",
    }
    icons = {f"share/icons/hicolor/{n}x{n}/apps/{args.app_id}.png" for n in ICON_SIZES}
    return game_files | data_files | links | desktop | icons


def prefixed(folder, paths):
    return {f"{folder}/{path}" for path in paths}


def check_layout(args):
    installed = files_under(args.prefix)
    expected = expected_files(args, args.game_tree)
    if installed != expected:
        raise Failure(f"missing: {sorted(expected - installed)}; not part of the game: {sorted(installed - expected)}")
    for folder in DATA_FOLDERS:
        link = os.path.join(args.prefix, GAME, folder)
        target = os.readlink(link)
        if os.path.isabs(target):
            raise Failure(f"{link} points at the absolute path {target}: the tree would not survive staging")
        if os.path.realpath(link) != os.path.realpath(os.path.join(args.prefix, DATA, folder)):
            raise Failure(f"{link} points at {target}, not at {DATA}/{folder}")
    # The fight moves into Combo/ through its link, then reaches the sounds
    # from where it really is.
    fight_sound = os.path.join(os.path.realpath(os.path.join(args.prefix, GAME, "Combo")), "..", "Sons", "amamaison.wav")
    if not os.path.isfile(fight_sound):
        raise Failure(f"the fight's sound {fight_sound} is not where the fight looks for it")
    # The program loses its build-time library path when it is installed;
    # every other file must be the build's own.
    for path in sorted(expected_files(args, args.game_tree)):
        source = build_file(args.game_tree, path)
        if source and not path.endswith("/stickfight") and not filecmp.cmp(source, os.path.join(args.prefix, path), shallow=False):
            raise Failure(f"{path} differs from the build's {source}")
    for path in ("games/stickfight", f"{GAME}/bin/stickfight"):
        if not os.access(os.path.join(args.prefix, path), os.X_OK):
            raise Failure(f"{path} is not executable")
    return f"{len(installed)} files and links, as expected"


def build_file(game_tree, path):
    if path.startswith(f"{GAME}/bin/"):
        return os.path.join(game_tree, "bin", path[len(f"{GAME}/bin/"):])
    if path.startswith(f"{DATA}/"):
        return os.path.join(game_tree, path[len(f"{DATA}/"):])
    return None


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=30,
                          env=dict(os.environ, SDL_AUDIODRIVER="dummy"))


def check_launcher(args):
    launcher = os.path.join(args.prefix, "games", "stickfight")
    with tempfile.TemporaryDirectory() as elsewhere:
        # A player's own link to the launcher, in a folder of its own.
        own_link = os.path.join(elsewhere, "play")
        os.symlink(launcher, own_link)
        for command in (launcher, own_link):
            result = run([command, "--version"], elsewhere)
            if result.returncode != 0 or result.stdout != f"stickfight {args.version}\n":
                raise Failure(f"{command} --version from {elsewhere}: status {result.returncode}, {result.stdout!r} {result.stderr!r}")
        # The game refuses a controls file that does not exist and names it:
        # the name must be the player's, made absolute, in both spellings.
        for options in (["--controls", "missing keys"], ["--controls=missing keys"], ["-controls", "missing keys"]):
            result = run([launcher, *options], elsewhere)
            wanted = f'The controls file "{os.path.realpath(elsewhere)}/missing keys" does not exist.'
            if result.returncode != 2 or wanted not in result.stderr.replace(elsewhere, os.path.realpath(elsewhere)):
                raise Failure(f"{options} from {elsewhere}: status {result.returncode}, {result.stderr.splitlines()[:1]}")
        result = run([launcher, "--controls", "/nowhere/keys"], elsewhere)
        if 'The controls file "/nowhere/keys" does not exist.' not in result.stderr:
            raise Failure(f"an absolute controls file name was changed: {result.stderr.splitlines()[:1]}")
        # Positional words are the game's to refuse, unchanged.
        result = run([launcher, "--", "--controls", "x"], elsewhere)
        if result.returncode != 2 or 'Unexpected argument "--controls"' not in result.stderr:
            raise Failure(f"words after -- were not passed on as they are: {result.stderr.splitlines()[:1]}")
    return "the launcher runs the program from elsewhere and passes the arguments on"


def desktop_keys(path):
    keys = {}
    group = None
    with open(path, encoding="utf-8") as entry:
        for line in entry:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line:
                key, value = line.split("=", 1)
                keys[key.strip()] = value.strip()
    return keys


def check_desktop(args):
    keys = desktop_keys(os.path.join(args.prefix, "share", "applications", f"{args.app_id}.desktop"))
    launcher = os.path.join(args.prefix, "games", "stickfight")
    if keys.get("Exec") != launcher:
        raise Failure(f"Exec is {keys.get('Exec')!r}, not the launcher {launcher}")
    if keys.get("Icon") != args.app_id:
        raise Failure(f"Icon is {keys.get('Icon')!r}, not the installed icon {args.app_id}")
    with open(os.path.join(args.prefix, "share", "metainfo", f"{args.app_id}.metainfo.xml"), encoding="utf-8") as text:
        metainfo = text.read()
    for wanted in (f"<id>{args.app_id}</id>", f'<launchable type="desktop-id">{args.app_id}.desktop</launchable>',
                   f'<release version="{args.version}"'):
        if wanted not in metainfo:
            raise Failure(f"the metadata lacks {wanted}")
    return f"Exec={launcher}, Icon={args.app_id}"


def png_header(path):
    """Width, height and colour type from the picture's header."""
    with open(path, "rb") as picture:
        data = picture.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise Failure(f"{path} is not a PNG picture")
    width, height, _, colour_type = struct.unpack(">IIBB", data[16:26])
    return width, height, colour_type


def check_icons(args):
    sizes = []
    for n in ICON_SIZES:
        path = os.path.join(args.prefix, "share", "icons", "hicolor", f"{n}x{n}", "apps", f"{args.app_id}.png")
        width, height, colour_type = png_header(path)
        if (width, height) != (n, n):
            raise Failure(f"{path} is {width}x{height}, not {n}x{n}")
        if colour_type not in (PNG_GREY_ALPHA, PNG_RGBA):
            raise Failure(f"{path} has no alpha channel (colour type {colour_type}): its corners would not be clear")
        sizes.append(f"{width}x{height}")
    return "icons " + ", ".join(sizes)


def check_manual(args):
    manual = os.path.join(args.prefix, "share", "man", "man6", "stickfight.6.gz")
    with gzip.open(manual) as page:
        source = page.read()
    rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww"], input=source, capture_output=True, timeout=30)
    if rendered.returncode != 0 or rendered.stderr:
        raise Failure(f"groff: status {rendered.returncode}: {rendered.stderr.decode(errors='replace')}")
    viewed = subprocess.run(["man", "-l", "--warnings", manual], capture_output=True, timeout=30,
                            env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"))
    if viewed.returncode != 0 or viewed.stderr:
        raise Failure(f"man -l: status {viewed.returncode}: {viewed.stderr.decode(errors='replace')}")
    text = re.sub(r".\x08", "", viewed.stdout.decode(errors="replace"))
    help_text = run([os.path.join(args.prefix, "games", "stickfight"), "--help"], "/").stdout
    options = set(re.findall(r"--[a-z]+", help_text))
    if not options:
        raise Failure("the program's --help lists no option")
    missing = sorted(option for option in options if option not in text)
    if missing:
        raise Failure(f"the manual page does not describe {missing}")
    return f"the manual page renders without warnings and describes {sorted(options)}"


CHECKS = {
    "layout": check_layout,
    "launcher": check_launcher,
    "desktop": check_desktop,
    "icons": check_icons,
    "manual": check_manual,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--game-tree", required=True, help="the build's game folder")
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    try:
        print(CHECKS[args.check](args))
    except Failure as failure:
        print(f"FAILED: {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
