#!/usr/bin/env python3
"""Starts the installed game as a desktop starts it, from its desktop entry's
Exec command, in a working directory that has nothing to do with the game,
and checks that its menu shows on the screen; then ends it with SIGTERM,
which ends the game with status 0, and ends its X server.

With --fight-layout (the fight window's stored layout) PLAY is clicked too,
and the fight must show both fighters, which the game loads from its data
folders through the installed links, before SIGTERM ends it.

With --player-options the command gets "--scale 1" and "--controls" with a
controls file named relative to that working directory, as a player would
type them: the launcher must pass both on, the second still pointing at the
player's file although the game runs from its own folder.

Usage: installed_game_e2e.py --desktop-entry FILE --launcher PATH
                             --program PATH [--fight-layout Jeu.json]
                             [--player-options] [--shots DIR]
"""

import json
import os
import shlex
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from menu_e2e import placed, red_fighter_x  # noqa: E402
from menu_view import start_fight, wait_for_menu  # noqa: E402
from screen import (  # noqa: E402
    FIGHT_CAPTION,
    Failure,
    Screen,
    find_window,
    move_pointer,
    run_test,
    start_display,
    wait_for_exit,
    wait_for_rate,
)

# Software rendering on two shared cores.
MENU_LIMIT_S = 45.0
# From the click on PLAY to the fight window: 26 start frames and 25 loads.
FIGHT_LIMIT_S = 45.0
RATE_LIMIT_S = 10.0
EXIT_LIMIT_S = 10.0
# A controls file that only swaps two letters the menu does not use.
CONTROLS = "# a key layout named relative to the player's folder\nq = a\na = q\n"


def exec_command(desktop_entry):
    """The Exec key of the entry's main group, split as the desktop splits
    it, without its field codes (%f, %U ...)."""
    group = None
    with open(desktop_entry, encoding="utf-8") as entry:
        for line in entry:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and line.startswith("Exec="):
                words = shlex.split(line[len("Exec="):])
                return [word for word in words if not (len(word) == 2 and word.startswith("%"))]
    raise Failure(f"{desktop_entry} has no Exec key")


def check_runs_installed_program(game, program, log):
    """The process the launcher became is the installed program, running in
    its own folder."""
    running = os.path.realpath(f"/proc/{game.pid}/exe")
    if running != os.path.realpath(program):
        raise Failure(f"the launcher runs {running}, not {program}")
    folder = os.path.realpath(f"/proc/{game.pid}/cwd")
    if folder != os.path.dirname(os.path.realpath(program)):
        raise Failure(f"the game runs in {folder}, not in its own folder")
    log(f"the installed program {running} runs in {folder}")


def check_fight(game, fight_layout, shots, log):
    """PLAY leads to the fight, with fighter 2 (red) in its view: the
    fighters' model and animations were found."""
    start_fight(game, MENU_LIMIT_S, log)
    window = find_window(game, FIGHT_CAPTION, FIGHT_LIMIT_S, "fight window")
    log("fight caption: " + wait_for_rate(window, RATE_LIMIT_S))
    with open(fight_layout) as text:
        viewer = placed(window, json.load(text), "GLSceneViewer1")
    screen = Screen()
    log(f"fighter 2 seen at column {red_fighter_x(screen, viewer):.0f}")
    if shots:
        screen.save_png(os.path.join(shots, "installed_fight.png"))


def run(arguments, processes, work_dir, log):
    command = exec_command(arguments.desktop_entry)
    if os.path.realpath(command[0]) != os.path.realpath(arguments.launcher):
        raise Failure(f"the desktop entry runs {command[0]}, not the launcher {arguments.launcher}")
    start_display(processes)
    log(f"display {os.environ['DISPLAY']}, command {shlex.join(command)}")
    move_pointer(0, 0)
    with tempfile.TemporaryDirectory() as elsewhere:
        if arguments.player_options:
            with open(os.path.join(elsewhere, "keys"), "w") as controls:
                controls.write(CONTROLS)
            command += ["--scale", "1", "--controls", "keys"]
        with open(os.path.join(work_dir, "game.log"), "wb") as output:
            game = processes.start(
                command, cwd=elsewhere, env=dict(os.environ, SDL_AUDIODRIVER="dummy"),
                stdout=output, stderr=subprocess.STDOUT)
        started = time.monotonic()
        _, menu, screen = wait_for_menu(game, MENU_LIMIT_S)
    log(f"the menu shows after {time.monotonic() - started:.1f} s: PLAY {menu.play.envelope}, QUIT {menu.quit.envelope}")
    if arguments.shots:
        screen.save_png(os.path.join(arguments.shots, "installed_menu.png"))
    check_runs_installed_program(game, arguments.program, log)
    if arguments.fight_layout:
        check_fight(game, arguments.fight_layout, arguments.shots, log)
    game.send_signal(signal.SIGTERM)
    status, _ = wait_for_exit(game, EXIT_LIMIT_S, "SIGTERM")
    if status != 0:
        raise Failure(f"SIGTERM ended the game with status {status}")
    log("SIGTERM ended the game with status 0")


def add_arguments(parser):
    parser.add_argument("--desktop-entry", required=True)
    parser.add_argument("--launcher", required=True, help="the launcher the entry must run")
    parser.add_argument("--program", required=True, help="the installed program the launcher must become")
    parser.add_argument("--fight-layout", help="the fight window's stored layout: play on into the fight")
    parser.add_argument("--player-options", action="store_true",
                        help="add --scale 1 and a relative --controls file to the command")


if __name__ == "__main__":
    raise SystemExit(run_test(add_arguments, run))
