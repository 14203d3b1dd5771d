#!/usr/bin/env python3
"""Checks that every file cef_standin/README.md's map names exists, so the
map cannot point at a file that moved or went.

Usage: map_check.py CEF_STANDIN_DIR
"""

import pathlib
import re
import sys


def main(argv):
    if len(argv) != 1 or argv[0].startswith("-"):
        print("usage: map_check.py CEF_STANDIN_DIR", file=sys.stderr)
        return 2
    folder = pathlib.Path(argv[0])
    text = (folder / "README.md").read_text()
    links = re.findall(r"\]\(([^)#]+)\)", text)
    missing = [link for link in links if not (folder / link).exists()]
    for link in missing:
        print(f"cef_standin/README.md names {link}, which does not exist",
              file=sys.stderr)
    return 1 if missing or not links else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
