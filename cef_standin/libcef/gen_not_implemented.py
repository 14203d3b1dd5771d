#!/usr/bin/env python3
"""Defines what CEF's library-side glue needs and the stand-in does not play.

The glue of CEF's C API calls C++ factories and free functions for every CEF
feature (CefBrowserHost::CreateBrowser, CefCookieManager::GetGlobalManager,
CefV8Value::CreateArrayBuffer, ...); the stand-in implements the renderer's
share. For each symbol that a trial link of the stand-in's libcef leaves
undefined, this finds its declaration in the CEF root's headers (through
clang's AST, so the types are CEF's own, mangled names included) and writes
a definition that logs one FATAL line naming it and ends the process.

    gen_not_implemented.py --root CEF_ROOT --undefined FILE --out FILE.cc
                           [--clang-arg=-m32 ...] [--as-compiler=CMD]

--as-compiler parses the headers as CMD (a compiler driver such as
"wineg++ -m32") sees them: the definitions, include directories and
code-model flags that it hands the real compiler become clang's too.

FILE holds the trial link's undefined symbols, mangled, one per line. A
needed symbol of CEF's API that the headers do not declare, or one the
generator cannot write, fails the run: the link would fail anyway.
"""

import argparse
import json
import os
import shlex
import shutil
import subprocess
import sys

# The headers whose declarations the glue calls: the public API and its test
# and views parts. Other platforms' headers and the resource ids hold none.
# The test part is open to UNIT_TEST builds only, as the glue is one.
HEADER_DIRS = ("include", "include/test", "include/views")
SKIPPED_SUFFIXES = ("_win.h", "_mac.h")
SKIPPED_HEADERS = ("cef_pack_resources.h", "cef_pack_strings.h")

# clang prints each declaration whose name holds a filter. Only C++ names:
# CEF's C functions (strings, log, thread ids) are the stand-in's to define.
AST_FILTERS = ("Cef",)


def public_headers(root):
    headers = []
    for folder in HEADER_DIRS:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith(".h") or name.endswith(SKIPPED_SUFFIXES):
                continue
            if name in SKIPPED_HEADERS:
                continue
            headers.append(f"{folder}/{name}")
    return headers


def dump_declarations(root, headers, clang_args, workdir):
    """Yields every top-level declaration clang prints for the filters."""
    unit = os.path.join(workdir, "cef_api.cc")
    with open(unit, "w") as out:
        out.writelines(f'#include "{h}"\n' for h in headers)
    clang = shutil.which("clang++") or shutil.which("clang++-14")
    if not clang:
        sys.exit("gen_not_implemented.py: clang++ not found")
    decoder = json.JSONDecoder()
    for name_filter in AST_FILTERS:
        dump = subprocess.run(
            [clang, "-std=c++17", "-fsyntax-only", f"-I{root}", "-DUNIT_TEST",
             *clang_args,
             "-Xclang", "-ast-dump=json", "-Xclang",
             f"-ast-dump-filter={name_filter}", unit],
            check=True, capture_output=True, text=True).stdout
        # One JSON object per matched declaration, one after the other.
        index = 0
        while True:
            while index < len(dump) and dump[index] != "{":
                index += 1
            if index >= len(dump):
                break
            node, index = decoder.raw_decode(dump, index)
            yield node


def collect_functions(node, scope, found):
    """Maps mangled name -> (qualified name, function node)."""
    kind = node.get("kind")
    if kind in ("FunctionDecl", "CXXMethodDecl") and "mangledName" in node:
        qualified = "::".join(scope + [node["name"]])
        found.setdefault(node["mangledName"], (qualified, node))
        return
    if kind in ("CXXRecordDecl", "NamespaceDecl") and node.get("name"):
        scope = scope + [node["name"]]
    for child in node.get("inner", []):
        collect_functions(child, scope, found)


def split_function_type(qual_type):
    """'R (A, B) const' -> ('R', 'const'): the parameters come from the
    ParmVarDecls, which print each type on its own."""
    end = qual_type.rstrip().rfind(")")
    depth = 0
    for index in range(end, -1, -1):
        if qual_type[index] == ")":
            depth += 1
        elif qual_type[index] == "(":
            depth -= 1
            if depth == 0:
                return (qual_type[:index].strip(),
                        qual_type[end + 1:].strip())
    raise ValueError(f"not a function type: {qual_type}")


def definition(qualified, node):
    if node.get("variadic"):
        raise ValueError(f"{qualified} is variadic")
    return_type, qualifiers = split_function_type(node["type"]["qualType"])
    params = [inner["type"]["qualType"] for inner in node.get("inner", [])
              if inner.get("kind") == "ParmVarDecl"]
    # A trailing return type is looked up in the class's scope, as the
    # header wrote it.
    signature = f"auto {qualified}({', '.join(params)})"
    if qualifiers:
        signature += f" {qualifiers}"
    return (f"{signature} -> {return_type} {{\n"
            f'  standin::internal::NotImplemented("{qualified}");\n'
            "}\n")


# What a compiler driver's arguments to the real compiler say about the
# language clang must parse: definitions, include paths, wchar_t and the
# pointer size.
DRIVER_FLAGS = ("-D", "-U", "-isystem", "-idirafter", "-I")
DRIVER_SWITCHES = ("-fshort-wchar", "-m32", "-m64")


def driver_args(command):
    """The flags that |command| passes on, read from its -v output."""
    words = shlex.split(command)
    run = subprocess.run(
        [*words, "-v", "-c", "-x", "c++", os.devnull, "-o", os.devnull],
        capture_output=True, text=True, check=True)
    # winegcc prints its own command on stdout, gcc's drivers on stderr.
    for line in (run.stdout + run.stderr).splitlines():
        args = shlex.split(line) if line.startswith("/") else []
        if not any(arg.startswith("-D") for arg in args):
            continue
        kept = []
        pending = None
        for arg in args[1:]:
            if pending:
                kept += [pending, arg]
                pending = None
            elif arg in DRIVER_SWITCHES:
                kept.append(arg)
            elif arg in DRIVER_FLAGS:
                pending = arg
            elif arg.startswith(DRIVER_FLAGS):
                kept.append(arg)
        return kept
    sys.exit(f"gen_not_implemented.py: {command} -v shows no compiler line")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("--root", required=True)
    parser.add_argument("--undefined", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--clang-arg", action="append", default=[])
    parser.add_argument("--as-compiler")
    args = parser.parse_args()
    if args.as_compiler:
        args.clang_arg += driver_args(args.as_compiler)

    with open(args.undefined) as listing:
        undefined = {line.strip() for line in listing if line.strip()}
    headers = public_headers(args.root)
    workdir = os.path.dirname(os.path.abspath(args.out))
    declared = {}
    for node in dump_declarations(args.root, headers, args.clang_arg, workdir):
        collect_functions(node, [], declared)

    needed = sorted(undefined & declared.keys(),
                    key=lambda mangled: declared[mangled][0])
    body = []
    for mangled in needed:
        qualified, node = declared[mangled]
        body.append(definition(qualified, node))

    text = [
        "// Generated by cef_standin/libcef/gen_not_implemented.py from the",
        "// CEF root's headers: what CEF's glue calls and the stand-in does",
        "// not play. Each ends the process with one FATAL line naming it.",
        "// Do not edit.",
    ]
    text += [f'#include "{h}"' for h in headers]
    text += ['#include "cef_standin/src/logging_internal.h"', ""]
    text += body
    with open(args.out, "w") as out:
        out.write("\n".join(text))
    print(f"gen_not_implemented.py: {len(needed)} definitions")


if __name__ == "__main__":
    main()
