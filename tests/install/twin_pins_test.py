#!/usr/bin/env python3
"""Tests of scripts/twin_pins.py on output recorded on a Debian 12 machine
whose bookworm-security i386 index failed to download (apt-get -s without
its Conf lines): the plain install of the --windows-genuine set failing,
the --i386 set with the pins the script chose, and the same set with
libssl3 alone pinned, which removes packages.
"""

import contextlib
import importlib.util
import io
import pathlib
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
SCRIPT = HERE.parent.parent / "scripts" / "twin_pins.py"
loader_spec = importlib.util.spec_from_file_location("twin_pins", SCRIPT)
twin_pins = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(twin_pins)

POLICY = (HERE / "policy.txt").read_text()
PLAIN, PINNED, REMOVES = ((HERE / f"simulate-{name}.txt").read_text()
                          for name in ("plain", "pinned", "removes"))


def without_line(text, line):
    assert line in text, line
    return text.replace(line, "", 1)


class PickPins(unittest.TestCase):
    def test_pairs(self):
        pins, unmatched = twin_pins.pick_pins(
            twin_pins.parse_policy(POLICY), "i386")
        for name, expected in [
                ("libssl3", "3.0.20-1~deb12u2"),     # i386 lacks 3.0.22
                ("linux-libc-dev", "6.1.176-1"),     # a downgrade
                ("zlib1g", "1:1.2.13.dfsg-1"),        # an epoch
                ("libnghttp2-14", None),              # the lists agree
                ("wine", None),                       # Architecture: all
                ("g++-multilib", None)]:              # native only
            with self.subTest(name):
                self.assertEqual(pins.get(name), expected)
        self.assertEqual(unmatched, {})

    def test_one_sided_lists(self):
        native_lacks = without_line(
            POLICY, "     3.0.20-1~deb12u2 500\n        500 "
            "http://deb.debian.org/debian bookworm/main amd64 Packages\n")
        i386_ahead = native_lacks.replace(
            "     3.0.17-1~deb12u2 500\n        500 http://deb.debian.org/"
            "debian bookworm-updates/main i386 Packages",
            "     3.0.22-1~deb12u2 500\n        500 http://deb.debian.org/"
            "debian bookworm-updates/main i386 Packages")
        for text, pin, unmatched in [
                (native_lacks, None,
                 ("3.0.22-1~deb12u2", "3.0.20-1~deb12u2")),
                # The native candidate is pinned when only i386 has both.
                (i386_ahead, "3.0.22-1~deb12u2", None)]:
            pins, left = twin_pins.pick_pins(
                twin_pins.parse_policy(text), "i386")
            self.assertEqual((pins.get("libssl3"), left.get("libssl3")),
                             (pin, unmatched))


class Simulations(unittest.TestCase):
    def test_reading(self):
        for text, consistent, removals, named in [
                (PLAIN, False, [], {"libssl3", "liblzma5", "python3-minimal",
                                    "ca-certificates", "libzstd1"}),
                (PINNED, True, [], set()),
                (REMOVES, True, ["libpq-dev", "libxmlsec1-dev", "libssl-dev"],
                 {"libpq-dev", "libxmlsec1-dev", "libssl-dev"}),
                # apt-get's stderr alone.
                ("E: Unable to locate package nosuch\n", False, [], set())]:
            simulation = twin_pins.read_simulation(text)
            self.assertEqual(simulation.consistent, consistent)
            self.assertEqual(simulation.removals, removals)
            self.assertLessEqual(named, simulation.names)
            self.assertEqual(bool(simulation.problems), not consistent)

    def test_held_lists_what_the_pins_changed(self):
        policies = twin_pins.parse_policy(POLICY)
        pins, _ = twin_pins.pick_pins(policies, "i386")
        held = twin_pins.held(pins, policies,
                              twin_pins.read_simulation(PINNED))
        # libssl3:i386 and libnghttp2-14 are at their own candidates.
        self.assertEqual(held, [
            (name, "3.0.19-1~deb12u2", "3.0.20-1~deb12u2")
            for name in ("libssl-dev", "libssl3", "openssl")])


class Main(unittest.TestCase):
    def run_main(self, simulations, argv=("libssl3:i386",)):
        answers = iter(simulations)

        def fake_run(command):
            if command[0] == "apt-get":
                return next(answers)
            return {"dpkg": "amd64\n", "dpkg-query": "libssl3\n",
                    "apt-cache": POLICY if command[1] == "policy" else ""
                    }[command[0]]
        with tempfile.NamedTemporaryFile("r") as prefs, \
                contextlib.redirect_stdout(io.StringIO()) as out:
            twin_pins.run, saved = fake_run, twin_pins.run
            try:
                code = twin_pins.main(["--preferences", prefs.name, *argv])
            finally:
                twin_pins.run = saved
            return code, out.getvalue(), prefs.read()

    def test_outcomes(self):
        code, out, prefs = self.run_main([REMOVES, PINNED])
        self.assertEqual(code, 0)
        self.assertEqual(out.count("\n"), 1)
        # Not the first simulation's, which removes libssl-dev.
        self.assertIn("libssl-dev 3.0.19-1~deb12u2 -> 3.0.20-1~deb12u2", out)
        self.assertIn("Package: libssl3:any\nPin: version 3.0.20-1~deb12u2\n"
                      "Pin-Priority: 1001\n", prefs)
        # The same failure twice: nothing new to pin, so no consistent set.
        code, out, _ = self.run_main([PLAIN, PLAIN])
        self.assertEqual(code, 1)
        self.assertIn("apt cannot install these", out)
        self.assertIn("libssl3 : Breaks: libssl3:i386", out)

    def test_refuses_unknown_flags(self):
        for argv in (["--preferences", "x", "--pref", "y", "p"],
                     ["--prefs", "x", "p"], ["--preferences", "x"]):
            with self.assertRaises(SystemExit) as exit, \
                    contextlib.redirect_stderr(io.StringIO()):
                twin_pins.main(argv)
            self.assertEqual(exit.exception.code, 2)


if __name__ == "__main__":
    unittest.main()
