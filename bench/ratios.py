#!/usr/bin/env python3
"""Runs quillmoss_bench and prints each pair's ratio (ours / baseline) of
median CPU times over the repetitions, beside ours / floor (the least CEF
calls that the same job needs, see README) and, where a group has one, ours
/ required (the floor and the steps the system must take whatever its
design), then the peak memory figures.

  bench/ratios.py [SCENARIO] [--build DIR] [--repetitions N] [--filter RE]

SCENARIO is the simulator's scenario for the peak-memory line (default
examples/road_of_a_binding.json). Both benchmarks of a pair run in the same
process, one right after the other; so does each pair's floor.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Highest acceptable ratio of each group.
TARGETS = {
    "1_page_to_host": 2.0,
    "2_host_to_page": 2.0,
    "3_bound_call": 10.0,
    "4_install": 1.5,
    "5_registry": 2.0,
    "6_callback": 3.0,
}
# Highest acceptable ours / floor of every group.
FLOOR_TARGET = 1.25
# Highest acceptable ours / required: what remains is the design's own.
REQUIRED_TARGET = 1.10


def run_benchmarks(binary, repetitions, min_time, name_filter):
    command = [binary, "--benchmark_format=json",
               f"--benchmark_repetitions={repetitions}",
               f"--benchmark_min_time={min_time}"]
    if name_filter:
        command.append(f"--benchmark_filter={name_filter}")
    output = subprocess.run(command, check=True, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True).stdout
    times = {}
    for run in json.loads(output)["benchmarks"]:
        if run.get("run_type") != "iteration" or run.get("error_occurred"):
            continue
        times.setdefault(run["run_name"], []).append(
            (run["cpu_time"], run["time_unit"]))
    return times


def format_ms(ms):
    return f"{ms:.2f} ms" if ms >= 1 else f"{ms * 1000:.2f} us"


def print_ratios(times):
    """Prints one line per pair; returns whether every ratio is on target."""
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    medians = {name: statistics.median(t * scale[u] for t, u in runs)
               for name, runs in times.items()}
    print(f"{'pair':34} {'ours':>10} {'baseline':>10} {'ratio':>6} "
          f"{'target':>7} {'floor':>10} {'/floor':>6} {'target':>7} "
          f"{'required':>10} {'/req.':>6} {'target':>7}")
    on_target = True
    for name in sorted(medians):
        if not name.endswith("/ours"):
            continue
        pair = name[: -len("/ours")]
        baseline = medians.get(pair + "/baseline")
        if baseline is None:
            continue
        ratio = medians[name] / baseline
        target = TARGETS.get(pair.split("/")[0])
        over = target is not None and ratio > target
        floor = medians.get(pair + "/floor")
        floor_ratio = medians[name] / floor if floor else None
        floor_over = floor_ratio is not None and floor_ratio > FLOOR_TARGET
        required = medians.get(pair + "/required")
        required_ratio = medians[name] / required if required else None
        required_over = (required_ratio is not None
                         and required_ratio > REQUIRED_TARGET)
        on_target = (on_target and not over and not floor_over
                     and not required_over)
        marks = [m for m, bad in (("over", over), ("over floor", floor_over),
                                  ("over required", required_over)) if bad]
        print(f"{pair:34} {format_ms(medians[name]):>10} "
              f"{format_ms(baseline):>10} {ratio:6.2f} "
              f"{'<= ' + str(target) if target else '':>7} "
              f"{format_ms(floor) if floor else '-':>10} "
              f"{f'{floor_ratio:6.2f}' if floor_ratio else '-':>6} "
              f"{'<= ' + str(FLOOR_TARGET) if floor else '':>7} "
              f"{format_ms(required) if required else '-':>10} "
              f"{f'{required_ratio:6.2f}' if required_ratio else '-':>6} "
              f"{'<= ' + str(REQUIRED_TARGET) if required else '':>7}"
              f"{'  ' + ', '.join(marks) if marks else ''}")
    return on_target


def peak_rss_kb(command):
    """Runs |command| and returns its maxrss (KiB) and its stdout."""
    with subprocess.Popen(command, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True) as child:
        out = child.stdout.read()
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
    return usage.ru_maxrss, child.returncode, out


def print_memory(build, scenario):
    print()
    if os.path.exists(scenario):
        rss, code, _ = peak_rss_kb([os.path.join(build, "quillmoss_subprocess"),
                                    "--type=renderer",
                                    f"--scenario={scenario}"])
        print(f"simulator on {os.path.relpath(scenario, ROOT)}: "
              f"max RSS {rss / 1024:.1f} MiB (exit {code})")
    else:
        print(f"simulator: no scenario at {scenario}")
    bench = os.path.join(build, "bench", "quillmoss_bench")
    rss = {}
    for mode in ("setup", "convert", "stringify"):
        rss[mode], code, _ = peak_rss_kb([bench, f"--rss_mode={mode}"])
        if code != 0:
            print(f"--rss_mode={mode} failed (exit {code})")
            return
    grown = (rss["convert"] - rss["setup"]) / 1024
    base = (rss["stringify"] - rss["setup"]) / 1024
    print(f"1,000,000 integers: max RSS {rss['convert'] / 1024:.1f} MiB "
          f"converting, {rss['stringify'] / 1024:.1f} MiB with JSON.stringify,"
          f" {rss['setup'] / 1024:.1f} MiB with the array alone "
          f"(+{grown:.1f} vs +{base:.1f} MiB)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("scenario", nargs="?",
                        default=os.path.join(ROOT, "examples",
                                             "road_of_a_binding.json"))
    parser.add_argument("--build", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--min-time", type=float, default=0.5)
    parser.add_argument("--filter", default="")
    parser.add_argument("--no-memory", action="store_true")
    args = parser.parse_args()

    times = run_benchmarks(os.path.join(args.build, "bench", "quillmoss_bench"),
                           args.repetitions, args.min_time, args.filter)
    on_target = print_ratios(times)
    if not args.no_memory:
        print_memory(args.build, os.path.abspath(args.scenario))
    return 0 if on_target else 1


if __name__ == "__main__":
    sys.exit(main())
