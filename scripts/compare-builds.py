#!/usr/bin/env python3
"""Plays the same scenarios through two builds of the executable and checks
that they give the same results: the stand-in build and the genuine one
(built against a CEF root with CEF's wrapper, run on the stand-in's libcef).

For every scenario: the same exit code, byte-identical stdout, and the same
stderr once the source line numbers of log lines are masked (the wrapper's
code is not the stand-in's, but the system's lines must not move apart).

    compare-builds.py STANDIN GENUINE [--scenarios DIR]... [--examples-only]
                      [--memcheck]

The scenarios: examples/*.json, every JSON scenario block of README.md and
docs/*.md, and the *.json files of each --scenarios DIR (the simulator
tests write theirs with QUILLMOSS_SCENARIO_DUMP_DIR set). --memcheck also
runs GENUINE on the examples under valgrind's memcheck: no error, nothing
definitely lost. A scenario may end with a failed step or expectation; it
must end the same way in both builds.
"""

import argparse
import difflib
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

REPO = pathlib.Path(__file__).resolve().parents[1]
FENCE = re.compile(r"^```json\n(.*?)^```", re.MULTILINE | re.DOTALL)
LINE_NUMBER = re.compile(r"^\[([A-Z0-9]+):([\w.]+)\(\d+\)\]", re.MULTILINE)
TIMEOUT = 300


def mask(text):
    return LINE_NUMBER.sub(r"[\1:\2(N)]", text)


def doc_scenarios(into):
    """Writes each scenario block of the docs to |into|; yields the paths."""
    for doc in [REPO / "README.md", *sorted((REPO / "docs").glob("*.md"))]:
        for number, match in enumerate(FENCE.finditer(doc.read_text())):
            try:
                scenario = json.loads(match.group(1))
            except json.JSONDecodeError:
                continue  # a fragment, not a whole scenario
            if not isinstance(scenario, dict) or "steps" not in scenario:
                continue
            path = into / f"{doc.stem}-{number}.json"
            path.write_text(match.group(1))
            yield path


def scenarios(args, workdir):
    found = sorted((REPO / "examples").glob("*.json"))
    if args.examples_only:
        return found
    found += list(doc_scenarios(workdir))
    for folder in args.scenarios:
        found += sorted(pathlib.Path(folder).glob("*.json"))
    return found


def play(executable, scenario, prefix=()):
    # Relative to its folder, as the examples name their neighbours.
    # Bytes kept as they came (surrogateescape): stdout is compared exactly.
    return subprocess.run(
        [*prefix, executable, "--type=renderer", f"--scenario={scenario.name}"],
        cwd=scenario.parent, capture_output=True, timeout=TIMEOUT,
        encoding="utf-8", errors="surrogateescape")


def compare(standin, genuine, scenario):
    """The differences between the two runs, as printable lines."""
    runs = {"stand-in": play(standin, scenario), "genuine": play(genuine, scenario)}
    a, b = runs["stand-in"], runs["genuine"]
    problems = []
    if a.returncode != b.returncode:
        problems.append(f"exit code {a.returncode} (stand-in) against "
                        f"{b.returncode} (genuine)\n{b.stderr[-2000:]}")
    for stream, left, right in (("stdout", a.stdout, b.stdout),
                                ("stderr", mask(a.stderr), mask(b.stderr))):
        if left != right:
            diff = difflib.unified_diff(left.splitlines(True), right.splitlines(True),
                                        f"stand-in {stream}", f"genuine {stream}")
            problems.append("".join(list(diff)[:60]))
    return problems


def memcheck(genuine, scenario):
    """Memcheck of the genuine executable itself, not of its launcher."""
    launcher = pathlib.Path(genuine)
    real = launcher.parent / "genuine" / launcher.name
    libcef = launcher.parent / "standin-libcef" / "libcef.so"
    if not real.exists() or not libcef.exists():
        return [f"{real} or {libcef} missing: not a build of check-cef-build.sh"]
    env = dict(os.environ, LD_PRELOAD=str(libcef))
    run = subprocess.run(
        ["valgrind", "-q", "--error-exitcode=9", "--leak-check=full",
         "--errors-for-leak-kinds=definite", str(real), "--type=renderer",
         f"--scenario={scenario.name}"],
        cwd=scenario.parent, capture_output=True, timeout=TIMEOUT,
        encoding="utf-8", errors="replace", env=env)
    if run.returncode == 0:
        return []
    return [f"memcheck: exit code {run.returncode}\n{run.stderr[-4000:]}"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("standin")
    parser.add_argument("genuine")
    parser.add_argument("--scenarios", action="append", default=[])
    parser.add_argument("--examples-only", action="store_true")
    parser.add_argument("--memcheck", action="store_true")
    args = parser.parse_args()
    # Scenarios run in their own folders.
    args.standin = os.path.abspath(args.standin)
    args.genuine = os.path.abspath(args.genuine)
    if args.memcheck and not shutil.which("valgrind"):
        sys.exit("compare-builds.py: --memcheck needs valgrind")

    failures = 0
    with tempfile.TemporaryDirectory(prefix="quillmoss-compare.") as tmp:
        played = scenarios(args, pathlib.Path(tmp))
        for scenario in played:
            problems = compare(args.standin, args.genuine, scenario)
            if args.memcheck and scenario.parent == REPO / "examples":
                problems += memcheck(args.genuine, scenario)
            if problems:
                failures += 1
                print(f"{scenario.name}: the builds differ")
                print("\n".join(problems).encode("utf-8", "replace").decode())
    memchecked = " and memcheck clean" if args.memcheck else ""
    if failures:
        print(f"compare-builds: {failures} of {len(played)} scenarios differ")
        return 1
    print(f"compare-builds: {len(played)} scenarios, the same stdout and log "
          f"lines in both builds{memchecked}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
