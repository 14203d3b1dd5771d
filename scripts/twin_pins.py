#!/usr/bin/env python3
"""Finds versions that let apt install PACKAGES when the native and the i386
package lists disagree, and writes them as an apt preferences file.

A library installed for both architectures (Multi-Arch: same) must have one
version on both. When a mirror serves one architecture's index late or
broken, the native candidate (a security update, say) has no i386 twin, and
apt's resolver gives up with "generated breaks". Each such pair is pinned to
the version the other architecture's lists offer (the i386 candidate, or else
the native one), for both architectures; apt then changes only the pairs the
install touches, downgrading where it must. The pins that took effect are
said in one line on stdout.

  twin_pins.py --preferences FILE [--arch ARCH] PACKAGE...

Exits 0 when apt's simulated install with FILE is consistent and removes
nothing, 1 when no such set of pins exists (with the reason on stdout).
"""

import argparse
import re
import subprocess
import sys
from typing import NamedTuple

PIN_PRIORITY = 1001  # above 1000: apt may downgrade to the pinned version
ROUNDS = 4
VERSION_LINE = re.compile(r"^ (?:\*\*\*|   ) (\S+) -?\d+$", re.MULTILINE)
INST_LINE = re.compile(r"^Inst (\S+) (?:\[(\S+)\] )?\((\S+) ", re.MULTILINE)
REMV_LINE = re.compile(r"^Remv (\S+)", re.MULTILINE)
UNMET_SUBJECT = re.compile(r"^ (\S+) : ")
UNMET_OBJECT = re.compile(
    r"(?:Depends|PreDepends|Breaks|Conflicts|Recommends): ([^\s(]+)")


class Policy(NamedTuple):
    candidate: str | None
    versions: tuple[str, ...]


class Simulation(NamedTuple):
    consistent: bool
    # package (NAME:ARCH if foreign) -> (installed version or None, new one)
    installs: dict[str, tuple[str | None, str]]
    removals: list[str]
    problems: list[str]          # apt's lines about unmet dependencies, its
                                 # errors (E:)
    names: set[str]              # bare names those lines mention


def parse_policy(text):
    """apt-cache policy output -> {package: Policy}, the key as apt prints
    it: bare for the native architecture, NAME:ARCH for a foreign one."""
    policies = {}
    for block in re.split(r"^(?=\S)", text, flags=re.MULTILINE):
        head, _, body = block.partition("\n")
        candidate = re.search(r"^  Candidate: (\S+)", body, re.MULTILINE)
        if not head.endswith(":") or not candidate:
            continue
        version = candidate.group(1)
        policies[head[:-1]] = Policy(None if version == "(none)" else version,
                                     tuple(VERSION_LINE.findall(body)))
    return policies


def pick_pins(policies, foreign):
    """The version each pair is pinned to, and the pairs no version fits:
    ({name: version}, {name: (native candidate, foreign candidate)})."""
    pins, unmatched = {}, {}
    for name, native in policies.items():
        twin = policies.get(f"{name}:{foreign}")
        if ":" in name or not twin or not native.candidate or \
                not twin.candidate or native.candidate == twin.candidate:
            continue
        if twin.candidate in native.versions:
            pins[name] = twin.candidate
        elif native.candidate in twin.versions:
            pins[name] = native.candidate
        else:
            unmatched[name] = (native.candidate, twin.candidate)
    return pins, unmatched


def preferences(pins):
    return "".join(f"Package: {name}:any\nPin: version {version}\n"
                   f"Pin-Priority: {PIN_PRIORITY}\n\n"
                   for name, version in sorted(pins.items()))


def read_simulation(text):
    problems, names = [], set()
    in_unmet = False
    for line in text.splitlines():
        if line.startswith("The following packages have unmet dependencies"):
            in_unmet = True
        elif in_unmet and line.startswith(" "):
            problems.append(line.strip())
            subject = UNMET_SUBJECT.match(line)
            names.update(m.split(":")[0] for m in (
                ([subject.group(1)] if subject else []) +
                UNMET_OBJECT.findall(line)))
        else:
            in_unmet = False
            if line.startswith("E: "):
                problems.append(line)
    removals = REMV_LINE.findall(text)
    names.update(name.split(":")[0] for name in removals)
    installs = {m[0]: (m[1] or None, m[2]) for m in INST_LINE.findall(text)}
    consistent = not any(line.startswith("E: ") for line in problems)
    return Simulation(consistent, installs, removals, problems, names)


def held(pins, policies, simulation):
    """The packages the simulated install puts at a pinned version other
    than their own architecture's candidate: [(package, old, new)], old
    None for a package not installed before."""
    out = []
    for package, (old, new) in sorted(simulation.installs.items()):
        policy = policies.get(package)
        if pins.get(package.split(":")[0]) == new and policy and \
                policy.candidate != new:
            out.append((package, old, new))
    return out


def note(foreign, native_arch, held_packages):
    listed = ", ".join(f"{package} {old or '(new)'} -> {new}"
                       for package, old, new in held_packages)
    return (f"install-deps: the {native_arch} and {foreign} package lists "
            f"disagree (one of them stale or mid-sync), and a library "
            f"installed for both architectures needs one version on both: "
            f"holding {len(held_packages)} packages at versions both lists "
            f"offer: {listed or 'none'}")


def refusal(simulation, unmatched, foreign):
    named = {name: unmatched[name] for name in sorted(simulation.names)
             if name in unmatched}
    reason = "; ".join(f"{name} is {native} natively and {twin} for "
                       f"{foreign}, and neither list has the other"
                       for name, (native, twin) in named.items())
    if simulation.removals:
        reason = (reason + "; " if reason else "") + \
            "apt would remove " + " ".join(simulation.removals)
    return (f"install-deps: apt cannot install these from the package lists "
            f"at hand, whatever versions of the native and {foreign} twins "
            f"are pinned"
            + (f": {reason}" if reason else "")
            + (f"; apt says: {' | '.join(simulation.problems)}"
               if simulation.problems else ""))


def run(command):
    """The command's stdout; apt-get's with its stderr, where its errors
    go."""
    return subprocess.run(
        command, stdout=subprocess.PIPE, text=True, check=False,
        stderr=subprocess.STDOUT if command[0] == "apt-get" else
        subprocess.DEVNULL).stdout


def closure(packages):
    """Every package the install may pull in, by bare name."""
    text = run(["apt-cache", "depends", "--recurse", "--no-suggests",
                "--no-conflicts", "--no-breaks", "--no-replaces",
                "--no-enhances"] + packages)
    return {line.split(":")[0] for line in text.splitlines()
            if line and not line[0] in " <|"}


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Pins native and i386 twins to versions both package "
                    "lists offer.", allow_abbrev=False)
    parser.add_argument("--preferences", required=True, metavar="FILE")
    parser.add_argument("--arch", default="i386")
    parser.add_argument("packages", nargs="+", metavar="PACKAGE")
    args = parser.parse_args(argv)
    native_arch = run(["dpkg", "--print-architecture"]).strip()
    names = (set(run(["dpkg-query", "-W", "-f", "${Package}\n"]).split())
             | closure(args.packages)
             | {package.split(":")[0] for package in args.packages})
    for _ in range(ROUNDS):
        policies = parse_policy(run(
            ["apt-cache", "policy"] +
            [f"{name}:{arch}" for name in sorted(names)
             for arch in (native_arch, args.arch)]))
        pins, unmatched = pick_pins(policies, args.arch)
        with open(args.preferences, "w", encoding="utf-8") as out:
            out.write(preferences(pins))
        simulation = read_simulation(run(
            ["apt-get", "install", "-s", "--allow-downgrades",
             "-o", f"Dir::Etc::Preferences={args.preferences}"]
            + args.packages))
        if simulation.consistent and not simulation.removals:
            print(note(args.arch, native_arch,
                       held(pins, policies, simulation)))
            return 0
        if simulation.names <= names:
            break
        names |= simulation.names
    print(refusal(simulation, unmatched, args.arch))
    return 1


if __name__ == "__main__":
    sys.exit(main())
