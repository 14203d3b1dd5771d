#!/usr/bin/env python3
"""Checks that the 32-bit build's files are 32-bit x86 ELF (ELFCLASS32, EM_386).

Usage: elf_check.py FILE...
The i386 suite passes only if it ran in the target's data model; a toolchain
that lost -m32 would otherwise pass it silently in 64-bit.
Exits 0 when every file is i386, 1 with the reasons on stderr when not.
"""

import struct
import sys

ELFCLASS32 = 1
EM_386 = 3


def check(path):
    with open(path, "rb") as f:
        header = f.read(20)
    if len(header) < 20 or header[:4] != b"\x7fELF":
        return "not an ELF file"
    byte_order = "<" if header[5] == 1 else ">"
    (machine,) = struct.unpack(byte_order + "H", header[18:20])
    if header[4] != ELFCLASS32 or machine != EM_386:
        return f"ELF class {header[4]}, machine {machine}: not 32-bit x86"
    return None


def main(paths):
    if not paths or any(path.startswith("-") for path in paths):
        print("usage: elf_check.py FILE...", file=sys.stderr)
        return 2
    failures = [(p, r) for p in paths if (r := check(p))]
    for path, reason in failures:
        print(f"{path}: {reason}", file=sys.stderr)
    return 1 if failures or not paths else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
