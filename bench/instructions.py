#!/usr/bin/env python3
"""Counts the instructions of one call of our page-to-host conversion under
callgrind: a figure that the machine's load does not move, for comparing
two builds side by side (bench/ratios.py sets ours beside the floor in
time; the floor's count under callgrind varies by a tenth from run to run,
ours by less than a thousandth).

  bench/instructions.py [--bench BINARY ...] [--case NAME ...]

Each BINARY (default build-bench/bench/quillmoss_bench; several compare
builds, say one of the commit before a change) runs each case's ours and
floor benchmarks alone, one iteration in each of ten repetitions, with
callgrind collecting only inside the conversion function. The payload's
set-up converts once more (ours) or checks the floor once (floor), so the
instructions are divided by six calls.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CASES = ["ints", "doubles", "strings", "records", "proxied"]
# What the benchmark calls once per iteration.
FUNCTION = "quillmoss::V8ArgumentsToCefListValue*"
REPETITIONS = 10
CALLS = REPETITIONS + 1


def instructions(binary, case):
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "callgrind.out")
        subprocess.run(
            ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
             "--collect-atstart=no", f"--toggle-collect={FUNCTION}",
             binary, f"--benchmark_filter=^1_page_to_host/{case}/ours$",
             "--benchmark_min_time=0.000001",
             f"--benchmark_repetitions={REPETITIONS}"],
            check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out) as counts:
            for line in counts:
                match = re.match(r"summary: (\d+)", line)
                if match:
                    return int(match.group(1)) / CALLS
    raise RuntimeError(f"{binary}: no summary for {case}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("--bench", action="append",
                        help="a quillmoss_bench binary (repeatable)")
    parser.add_argument("--case", action="append", choices=CASES)
    args = parser.parse_args()
    binaries = args.bench or [
        os.path.join(ROOT, "build-bench", "bench", "quillmoss_bench")]
    print(f"{'case':10} {'binary':40} {'ours':>12} {'/first':>7}")
    for case in args.case or CASES:
        first = None
        for binary in binaries:
            ours = instructions(binary, case)
            first = first or ours
            print(f"{case:10} {os.path.relpath(binary):40} {ours:12.0f} "
                  f"{ours / first:7.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
