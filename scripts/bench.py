"""Runs the game's speed measurements one after the other under the current
X server and prints one table of them against their peers and targets.
Called by scripts/bench.sh, which builds the programs and provides the X
server; every program's own output is kept in the folder given.

    python3 scripts/bench.py BUILD_DIR LOG_DIR [--runs N] [--pairs N] [--rounds N] [--round-seconds S]
"""

import argparse
import os
import re
import subprocess
import sys

RESULT = re.compile(r"^RESULT (\S+) (.*)$")


def run(name, command, log_dir, timeout, environment=None):
    """The program's RESULT lines as a dictionary; its output goes to
    LOG_DIR/name.log. `environment` adds to the caller's."""
    print(f"running {name} ...", flush=True)
    path = os.path.join(log_dir, name + ".log")
    with open(path, "w") as log:
        completed = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                   timeout=timeout, env={**os.environ, **(environment or {})})
        log.write(completed.stdout)
    if completed.returncode != 0:
        print(f"  {name} failed (status {completed.returncode}); see {path}", flush=True)
    results = {}
    for line in completed.stdout.splitlines():
        match = RESULT.match(line)
        if match:
            results[match.group(1)] = match.group(2)
    return results, completed.stdout


def series(results, key):
    return [float(value) for value in results.get(key, "").split()]


def percentile(values, fraction):
    """As bench/Percentile.h: the value below which `fraction` of them lie."""
    if not values:
        return None
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def pooled(runs):
    """The runs of one program pooled: its rounds' rates, frame times, tick
    periods and processor time a frame (the mean of the runs')."""
    rates = [rate for run in runs for rate in series(run, "round_fps")]
    frames = [time for run in runs for time in series(run, "frame_times_ms")]
    ticks = [period for run in runs for period in series(run, "tick_periods_ms")]
    cpu = [float(run["cpu_ms_per_frame"]) for run in runs if "cpu_ms_per_frame" in run]
    result = {"renderer": next((run["renderer"] for run in runs if "renderer" in run), "?")}
    if rates:
        result.update(fps_median=percentile(rates, 0.5), fps_min=min(rates), fps_max=max(rates), rounds=len(rates))
    if frames:
        result["frame_ms_median"] = percentile(frames, 0.5)
    if ticks:
        result.update(tick_median_ms=percentile(ticks, 0.5), tick_p99_ms=percentile(ticks, 0.99),
                      tick_mean_ms=sum(ticks) / len(ticks), tick_max_ms=max(ticks), ticks=len(ticks))
    if cpu:
        result["cpu_ms_per_frame"] = sum(cpu) / len(cpu)
    return result


class Table:
    def __init__(self):
        self.rows = []

    def add(self, measurement, ours, peer, ratio, met):
        self.rows.append((measurement, ours, peer, ratio, met))

    def print(self):
        header = ("measurement", "ours", "peer / target", "ratio", "met?")
        widths = [max(len(str(row[i])) for row in self.rows + [header]) for i in range(5)]
        for row in [header] + self.rows:
            print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())


def number(results, key):
    value = results.get(key)
    return float(value) if value is not None else None


def run_fight_pairs(bench, logs, pairs, rounds, seconds, environment=None, tag=""):
    """The fight window and the minimal program in turns, so that both see
    the same changes of the machine's load."""
    engine_runs, minimal_runs = [], []
    options = ["--rounds", str(rounds), "--round-seconds", str(seconds)]
    for pair in range(pairs):
        engine, _ = run(f"fight_speed{tag}_{pair + 1}", [os.path.join(bench, "fight_speed_bench"), *options], logs, 300,
                        environment)
        minimal, _ = run(f"minimal_fight{tag}_{pair + 1}", [os.path.join(bench, "minimal_fight_bench"), *options], logs,
                         300, environment)
        engine_runs.append(engine)
        minimal_runs.append(minimal)
    return pooled(engine_runs), pooled(minimal_runs)


def yes_no(condition):
    return "yes" if condition else "NO"


def frame_rate_rows(table, engine, minimal, label="fight frame rate (frames/s)", target=True):
    ours, peer = number(engine, "fps_median"), number(minimal, "fps_median")
    if ours is None or peer is None:
        table.add(label, "failed", "", "", "NO")
        return
    ours_text = f"{ours:.1f} ({number(engine, 'fps_min'):.1f}-{number(engine, 'fps_max'):.1f})"
    peer_text = f"minimal {peer:.1f} ({number(minimal, 'fps_min'):.1f}-{number(minimal, 'fps_max'):.1f})"
    if target:
        table.add(label, ours_text, peer_text + ", >= 90 %", f"{ours / peer:.2f}", yes_no(ours >= 0.9 * peer))
    else:
        table.add(label, ours_text, peer_text + ", no target", f"{ours / peer:.2f}", "")
    # The processor time a frame takes, all threads together: the minimal
    # one's over ours. No target: the fight spends some more of it to keep
    # the renderer's threads busy sooner in each frame.
    ours_cpu, peer_cpu = number(engine, "cpu_ms_per_frame"), number(minimal, "cpu_ms_per_frame")
    if ours_cpu is not None and peer_cpu is not None:
        table.add("fight processor time a frame (ms)", f"{ours_cpu:.2f}", f"minimal {peer_cpu:.2f}, no target",
                  f"{peer_cpu / ours_cpu:.2f}", "")


def tick_rows(table, engine):
    median, p99 = number(engine, "tick_median_ms"), number(engine, "tick_p99_ms")
    frame = number(engine, "frame_ms_median")
    if median is None or p99 is None or frame is None:
        table.add("fight tick period (ms)", "failed", "", "", "NO")
        return
    table.add("fight tick period, median (ms)", f"{median:.2f}", "30 +- 1", f"{median / 30:.3f}",
              yes_no(abs(median - 30) <= 1))
    table.add("fight tick period, mean (ms)", f"{number(engine, 'tick_mean_ms'):.2f}", "no target; the timer's own pace",
              "", "")
    table.add("fight tick period, p99 (ms)", f"{p99:.2f}", f"<= 30 + one frame ({frame:.1f}) = {30 + frame:.1f}",
              f"{p99 / (30 + frame):.2f}", yes_no(p99 <= 30 + frame))


def load_rows(table, load):
    ours, peer = number(load, "ours_ms"), number(load, "assimp_ms")
    if ours is None or peer is None:
        table.add("fight load, 1 3DS + 24 SMD (ms CPU)", "failed", "", "", "NO")
        return
    table.add("fight load, 1 3DS + 24 SMD (ms CPU)",
              f"{ours:.1f} ({number(load, 'ours_min_ms'):.1f}-{number(load, 'ours_max_ms'):.1f})",
              f"Assimp {peer:.1f}, <= 50 %", f"{ours / peer:.2f}", yes_no(ours <= peer / 2))


def start_rows(table, starts):
    for key, name in (("start_to_menu", "start to menu on screen (ms)"), ("play_to_fight", "PLAY to fight on screen (ms)")):
        value = number(starts, key + "_ms")
        if value is None:
            table.add(name, "failed", "", "", "")
            continue
        spread = f"{number(starts, key + '_min_ms'):.0f}-{number(starts, key + '_max_ms'):.0f}"
        table.add(name, f"{value:.0f} ({spread})", f"no target; pictures {number(starts, 'picture_gap_ms'):.0f} ms apart",
                  "", "")


SMD_LOAD = re.compile(r"^(\S+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+(holds|MISSED)$")
SKINNING = re.compile(r"^skinning/(\S+)\s+([\d.]+) us per frame, target < ([\d.]+) us: (holds|MISSED)$")


def smd_rows(table, output):
    found = False
    for line in output.splitlines():
        match = SMD_LOAD.match(line.strip())
        if match:
            found = True
            name, ours, peer, ratio, verdict = match.groups()
            table.add(f"SMD load {name} (us CPU)", ours, f"Assimp {peer}, <= 50 %", ratio, yes_no(verdict == "holds"))
        match = SKINNING.match(line.strip())
        if match:
            found = True
            name, ours, target, verdict = match.groups()
            table.add(f"skinning {name} (us a frame)", ours, f"< {target}", f"{float(ours) / float(target):.2f}",
                      yes_no(verdict == "holds"))
    if not found:
        table.add("SMD load and skinning", "failed", "", "", "NO")


MENU_TICK = re.compile(r"^both buttons\s+median ([\d.]+) ms .*p99 ([\d.]+) ms")


def menu_rows(table, output):
    for line in output.splitlines():
        match = MENU_TICK.match(line.strip())
        if match:
            median, p99 = float(match.group(1)), float(match.group(2))
            table.add("menu tick, both buttons, median (ms)", f"{median:.3f}", "< 0.5 (10 % of 5 ms)", f"{median / 0.5:.2f}",
                      yes_no(median < 0.5))
            table.add("menu tick, both buttons, p99 (ms)", f"{p99:.3f}", "< 0.5 (10 % of 5 ms)", f"{p99 / 0.5:.2f}",
                      yes_no(p99 < 0.5))
            return
    table.add("menu tick", "failed", "", "", "NO")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("logs")
    parser.add_argument("--runs", type=int, default=5, help="fresh starts of the program")
    parser.add_argument("--pairs", type=int, default=3, help="turns of the fight window and the minimal program")
    parser.add_argument("--rounds", type=int, default=2, help="rounds of each turn")
    parser.add_argument("--round-seconds", type=float, default=5.0)
    parser.add_argument("--only", choices=("fight", "load", "start", "others"), help="one part of the table")
    arguments = parser.parse_args()
    bench = os.path.join(arguments.build, "bench")
    logs = arguments.logs
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

    only = arguments.only
    table = Table()
    if only in (None, "fight"):
        engine, minimal = run_fight_pairs(bench, logs, arguments.pairs, arguments.rounds, arguments.round_seconds)
        print(f"renderer: {engine.get('renderer', '?')} (minimal program: {minimal.get('renderer', '?')})")
        print(f"fight: {engine.get('rounds', 0)} rounds of {arguments.round_seconds} s in {arguments.pairs} turns "
              f"each; {engine.get('ticks', 0)} tick periods")
        frame_rate_rows(table, engine, minimal)
        tick_rows(table, engine)
        # The same with the renderer drawing on the calling thread alone: the
        # cost of the engine itself, without the renderer's threads. No
        # target: the fight hands the sky to those threads early, which on
        # one thread only splits the frame.
        engine, minimal = run_fight_pairs(bench, logs, arguments.pairs, arguments.rounds, arguments.round_seconds,
                                          {"LP_NUM_THREADS": "0"}, "_one_thread")
        frame_rate_rows(table, engine, minimal, "fight frame rate, renderer on one thread (frames/s)", target=False)
    if only in (None, "load"):
        load, _ = run("fight_load", [os.path.join(bench, "fight_load_bench")], logs, 600)
        load_rows(table, load)
    if only in (None, "start"):
        game = os.path.join(arguments.build, "game", "bin", "stickfight")
        starts, _ = run("start_times", [sys.executable, os.path.join(root, "bench", "start_times.py"), "--game", game,
                                        "--runs", str(arguments.runs)], logs, 900)
        start_rows(table, starts)
    if only in (None, "others"):
        _, smd_output = run("smd_load", [os.path.join(bench, "smd_load_bench")], logs, 900)
        _, menu_output = run("menu_tick", [os.path.join(bench, "menu_tick_bench")], logs, 300)
        smd_rows(table, smd_output)
        menu_rows(table, menu_output)
    print()
    table.print()
    print(f"\neach program's output: {logs}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
