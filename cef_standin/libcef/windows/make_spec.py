#!/usr/bin/env python3
"""Writes the .spec file of the Winelib libcef.dll from the distribution's
libcef.def: the DLL exports exactly the functions that libcef.dll exports.

    make_spec.py LIBCEF_DEF OUT_SPEC

Every function is cdecl, as CEF_EXPORT functions are on Windows, and
-norelay: wine's relay trace would print arguments it does not know.
"""

import sys


def exported_names(def_text):
    names = []
    in_exports = False
    for line in def_text.splitlines():
        words = line.split(";")[0].split()
        if not words:
            continue
        if words[0] == "EXPORTS":
            in_exports = True
            continue
        if in_exports:
            names.append(words[0].split("@")[0])
    return names


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    with open(argv[1]) as source:
        names = exported_names(source.read())
    if not names:
        sys.exit(f"make_spec.py: {argv[1]} exports nothing")
    with open(argv[2], "w") as out:
        out.writelines(f"@ cdecl -norelay {name}()\n" for name in names)


if __name__ == "__main__":
    main(sys.argv)
