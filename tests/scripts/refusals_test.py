#!/usr/bin/env python3
"""Every script and test helper refuses what it does not take with a usage
line and exit code 2, before it does anything (installs, builds, deletes,
skips); scripts/check-cef-build.sh empties only a build directory it made.

Usage: refusals_test.py REPO_ROOT
"""

import pathlib
import subprocess
import sys
import tempfile
import unittest

ROOT = None

# (command, arguments): each must exit 2 with "usage" or "refused" on stderr.
REFUSED = [
    ("scripts/install-deps.sh", ["--examples"]),
    ("scripts/install-deps.sh", ["--example", "--i386"]),
    ("scripts/run-example.sh", ["--x"]),
    ("scripts/test.sh", ["--i38"]),
    ("scripts/build-cef-glue.sh", ["--i386"]),
    ("scripts/check-cef-build.sh", ["{root}", "--i386", "--dchek"]),
    ("scripts/check-genuine-build.sh", ["--x"]),
    ("scripts/compare-builds.py", ["a", "b", "--mem"]),
    ("scripts/check-cef-signatures.py", ["{root}", "--verb"]),
    ("scripts/twin_pins.py", ["--pref", "x", "libssl3"]),
    ("fuzz/build.sh", []),
    ("fuzz/build.sh", ["--x"]),
    ("fuzz/smoke.sh", ["--x"]),
    ("fuzz/long-run.sh", ["--x", "1"]),
    ("fuzz/make_seeds.py", ["--x"]),
    ("bench/ratios.py", ["--rep", "3"]),
    ("bench/instructions.py", ["--ben", "x"]),
    ("fuzz/long-run.sh", ["--note", "a|b", "1"]),
    (".ci/run", ["--x"]),
    ("tests/examples/check_examples.py", ["--x", "examples"]),
    ("tests/examples/check_examples.py", ["exe", "examples", "--upd"]),
    # Refused whether wine is installed or not (no skip).
    ("tests/windows/wine_check.py", ["--x", "examples"]),
    ("tests/windows/pe_check.py", ["file-type", "--x"]),
    ("tests/i386/elf_check.py", ["--x"]),
    ("tests/i386/elf_check.py", []),
    ("tests/log_contract/check_log_texts.py", ["--x"]),
    ("tests/standin/map_check.py", ["--x"]),
]


def run(command, args):
    interpreter = [sys.executable] if command.endswith(".py") else []
    return subprocess.run(interpreter + [str(ROOT / command)] + args, cwd=ROOT,
                          capture_output=True, text=True, timeout=60,
                          stdin=subprocess.DEVNULL, check=False)


class Refusals(unittest.TestCase):
    def test_unknown_arguments(self):
        with tempfile.TemporaryDirectory() as root:
            for command, args in REFUSED:
                with self.subTest(command=command, args=args):
                    done = run(command, [a.format(root=root) for a in args])
                    self.assertEqual(done.returncode, 2, done.stderr)
                    self.assertRegex(done.stderr, "(?i)usage|refused")

    def test_check_cef_build_deletes_only_its_own_directory(self):
        with tempfile.TemporaryDirectory() as scratch:
            scratch = pathlib.Path(scratch)
            root, work = scratch / "root", scratch / "work"
            root.mkdir()
            work.mkdir()
            (work / "notes.txt").write_text("mine")
            done = run("scripts/check-cef-build.sh", [str(root), str(work)])
            self.assertEqual(done.returncode, 2)
            self.assertIn("not made by this script", done.stderr)
            self.assertEqual((work / "notes.txt").read_text(), "mine")
            # A directory it made is emptied and used again; the root is
            # no CEF root, so the check itself then fails.
            made = scratch / "made"
            for left_over in ("", "left-over"):
                if left_over:
                    (made / left_over).write_text("")
                done = run("scripts/check-cef-build.sh",
                           [str(root), str(made)])
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertEqual([p.name for p in made.iterdir()],
                                 [".made-by-check-cef-build"])


if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        print("usage: refusals_test.py REPO_ROOT", file=sys.stderr)
        sys.exit(2)
    ROOT = pathlib.Path(sys.argv[1]).resolve()
    unittest.main(argv=sys.argv[:1])
