#!/usr/bin/env python3
"""Runs the executable as a renderer on every scenario in examples/ and
compares what it prints with the golden files beside the scenario:
NAME.expected.stdout exactly, NAME.expected.stderr with the source line
numbers of log lines masked (they move whenever the code does).

  check_examples.py EXECUTABLE EXAMPLES_DIR [--update]
"""
import argparse
import os
import pathlib
import re
import subprocess
import sys

LINE_NUMBER = re.compile(r"^\[([A-Z]+):([\w.]+)\(\d+\)\]", re.MULTILINE)


def mask(text):
    return LINE_NUMBER.sub(r"[\1:\2(N)]", text)


def main():
    # No abbreviations: a flag that is not --update must not be taken for it
    # (nor for the executable: argparse refuses what starts with "-").
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("executable")
    parser.add_argument("examples", type=pathlib.Path)
    parser.add_argument("--update", action="store_true",
                        help="write the golden files from this run")
    args = parser.parse_args()
    examples, update = args.examples, args.update
    # The scenarios run from their own folder, where a relative path would
    # name another file; a bare name is looked up on PATH as it stands.
    executable = (os.path.abspath(args.executable) if os.sep in args.executable
                  else args.executable)
    scenarios = sorted(examples.glob("*.json"))
    if not scenarios:
        print(f"no scenarios in {examples}")
        return 1
    failures = 0
    for scenario in scenarios:
        run = subprocess.run(
            [executable, "--type=renderer", f"--scenario={scenario.name}"],
            cwd=examples, capture_output=True, text=True, timeout=120)
        outputs = {"stdout": run.stdout, "stderr": mask(run.stderr)}
        if run.returncode != 0:
            print(f"{scenario.name}: exit code {run.returncode}\n{run.stderr}")
            failures += 1
        for stream, actual in outputs.items():
            golden = scenario.with_suffix(f".expected.{stream}")
            if update:
                golden.write_text(actual)
                continue
            expected = golden.read_text() if golden.exists() else None
            if actual != expected:
                failures += 1
                print(f"{scenario.name}: {stream} differs from {golden.name}")
                import difflib
                sys.stdout.writelines(difflib.unified_diff(
                    (expected or "").splitlines(True), actual.splitlines(True),
                    golden.name, "actual"))
        print(f"{scenario.name}: checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
