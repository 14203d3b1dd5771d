#!/usr/bin/env python3
"""Checks the log contract: a host developer who searches the sources for a
line of their log finds the statement that wrote it.

Every log statement of the system (app/, convert/, common/, entry/) is read
as the line it writes: the beginning its macro composes ("[Renderer process]
" for RENDERER_LOG, that and the conversion's name and "(): " for
CONVERSION_LOG), then each streamed operand, a string literal or a named
text constant as it stands and anything else a variable part. Then:

- every text stands whole in one string literal, as a reader's search for
  the line finds it: no statement breaks a text into adjacent literals or
  streams it in two operands, and none composes it around a named constant
  (a number in a text is written out, a static_assert beside the statement
  keeping it equal to its constant); only the beginning its macro composes
  and the variable parts come from elsewhere;
- no text is written by two statements;
- every log line of the golden outputs (examples/*.expected.stderr), every
  line the docs quote, and every expected line the tests spell out whole or
  begin is written by some statement, its variable parts masked.

Usage: check_log_texts.py REPO_ROOT
"""

import pathlib
import re
import sys

SYSTEM_FOLDERS = ("app", "convert", "common", "entry")
LOG_MACROS = ("RENDERER_LOG", "QLOG", "CONVERSION_LOG")
RENDERER_PREFIX = "[Renderer process] "
TOKEN = re.compile(
    r'(?P<comment>//[^\n]*|/\*.*?\*/)'
    r'|(?P<str>"(?:[^"\\\n]|\\.)*")'
    r"|(?P<chr>'(?:[^'\\\n]|\\.)*')"
    r'|(?P<id>[A-Za-z_]\w*(?:::[A-Za-z_]\w*)*)'
    r'|(?P<op><<|::|\S)', re.DOTALL)
CONSTANT = re.compile(
    r'constexpr\s+char\s+(k\w+)\[\]\s*=\s*("(?:[^"\\\n]|\\.)*")\s*;')
# A constant of Chromium's naming, kCamelCase, possibly qualified.
NAMED_CONSTANT = re.compile(r"(?:\w+::)*k[A-Z]\w*\Z")
GOLDEN_LINE = re.compile(r"^\[[A-Z]+:(\w+)\(N\)\] (.*)$")
WILDCARD = object()


def unquote(literal):
    return literal[1:-1].encode().decode("unicode_escape")


def tokens(text):
    # A #define is a macro's body, not a statement.
    text = re.sub(r"^#define(?:[^\n]*\\\n)*[^\n]*", "", text, flags=re.M)
    for match in TOKEN.finditer(text):
        if match.lastgroup != "comment":
            line = text.count("\n", 0, match.start()) + 1
            yield match.lastgroup, match.group(), line


def split_operands(statement):
    """The top-level operands of `a << b << c`, each a token list."""
    operands, current, depth = [], [], 0
    for token in statement:
        kind, text, _ = token
        if text in "([{":
            depth += 1
        elif text in ")]}":
            depth -= 1
        if depth == 0 and text == "<<":
            operands.append(current)
            current = []
        else:
            current.append(token)
    operands.append(current)
    return operands


class Statement:
    def __init__(self, path, line, pieces, problems):
        self.where = f"{path}:{line}"
        self.pieces = pieces  # texts and WILDCARD, in order
        self.problems = problems  # why a search would not find its text
        fixed = [re.escape(p) if p is not WILDCARD else "(.+?)"
                 for p in pieces]
        self.whole = re.compile("".join(fixed) + r"\Z", re.DOTALL)
        self.begun = re.compile(self._prefix_pattern(pieces) + r"\Z",
                                re.DOTALL)

    @staticmethod
    def _prefix_pattern(pieces):
        # Matches any beginning of a line the statement writes.
        pattern = ""
        for piece in reversed(pieces):
            if piece is WILDCARD:
                pattern = "(?:.+?" + (f"(?:{pattern})?" if pattern else "") + ")"
                continue
            for char in reversed(piece):
                pattern = re.escape(char) + (f"(?:{pattern})?" if pattern
                                             else "")
        return f"(?:{pattern})?"

    def text(self):
        return "".join("<...>" if p is WILDCARD else p for p in self.pieces)


def read_statements(root):
    files = [p for folder in SYSTEM_FOLDERS
             for p in sorted((root / folder).glob("*"))
             if p.suffix in (".cc", ".h")]
    constants = {}
    for path in files:
        for name, literal in CONSTANT.findall(path.read_text()):
            constants[name] = unquote(literal)
    statements = []
    for path in files:
        toks = list(tokens(path.read_text()))
        i = 0
        while i < len(toks):
            kind, text, line = toks[i]
            if kind != "id" or text not in LOG_MACROS or (
                    i + 1 < len(toks) and toks[i + 1][1] != "("):
                i += 1
                continue
            end = i
            while toks[end][1] != ";":
                end += 1
            statements.append(parse(path.relative_to(root), line,
                                    toks[i:end], constants))
            i = end
    return statements


def parse(path, line, statement, constants):
    operands = split_operands(statement)
    head = operands[0]
    macro = head[0][1]
    pieces = [] if macro == "QLOG" else [RENDERER_PREFIX]
    if macro == "CONVERSION_LOG":
        # CONVERSION_LOG(severity, function)
        function = [t for t in head[4:-1]]
        pieces += [operand_text(function, constants), "(): "]
    problems = []
    fixed_before = False  # whether the operand before was fixed text
    for operand in operands[1:]:
        strings = [t for t in operand if t[0] == "str"]
        if len(strings) > 1 and len(strings) == len(operand):
            problems.append("a text broken into adjacent literals")
        named = (len(operand) == 1 and operand[0][0] == "id"
                 and NAMED_CONSTANT.match(operand[0][1]))
        if named:
            problems.append(f"a text composed around {operand[0][1]}")
        text = operand_text(operand, constants)
        fixed = text is not WILDCARD
        if fixed and fixed_before:
            problems.append("a text streamed in two operands")
        fixed_before = fixed
        pieces.append(text)
    merged = []
    for piece in pieces:
        if merged and piece is not WILDCARD and merged[-1] is not WILDCARD:
            merged[-1] += piece
        else:
            merged.append(piece)
    return Statement(path, line, merged, problems)


def operand_text(operand, constants):
    if all(kind == "str" for kind, _, _ in operand):
        return "".join(unquote(text) for _, text, _ in operand)
    if len(operand) == 1 and operand[0][1] in constants:
        return constants[operand[0][1]]
    return WILDCARD


def golden_lines(root, sources):
    """(where, text, whole) of every line the outputs, docs and tests give."""
    for path in sorted((root / "examples").glob("*.expected.stderr")):
        for number, line in enumerate(path.read_text().splitlines(), 1):
            match = GOLDEN_LINE.match(line)
            if match and match.group(1) in sources:
                yield f"{path.relative_to(root)}:{number}", match.group(2), True
    quoted = re.compile(r"(?:`|^\s{4})(\[Renderer process\] [^`\n]*)")
    for path in [root / "README.md", *sorted((root / "docs").glob("*.md"))]:
        for number, line in enumerate(path.read_text().splitlines(), 1):
            for text in quoted.findall(line):
                if text.strip() == RENDERER_PREFIX.strip():
                    continue  # the prefix alone, as a table's heading gives it
                yield f"{path.relative_to(root)}:{number}", text, True
    for path in sorted((root / "tests").rglob("*.cc")) + sorted(
            (root / "tests").rglob("*.h")):
        # Adjacent literals are one string to the compiler, and to a test.
        text = re.sub(r'"\s*\n\s*"', "", path.read_text())
        for number, line in enumerate(text.splitlines(), 1):
            for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', line):
                literal = literal.encode().decode("unicode_escape")
                if literal.startswith(RENDERER_PREFIX):
                    yield f"{path.relative_to(root)}:~{number}", literal, False


def main(argv):
    if len(argv) != 1 or argv[0].startswith("-"):
        print("usage: check_log_texts.py REPO_ROOT", file=sys.stderr)
        return 2
    root = pathlib.Path(argv[0])
    statements = read_statements(root)
    sources = set()
    for folder in SYSTEM_FOLDERS:
        for path in (root / folder).glob("*"):
            sources.update(re.findall(r'kLogSource\[\] = "(\w+)"',
                                      path.read_text()))
    failures = []
    for statement in statements:
        for problem in statement.problems:
            failures.append(f"{statement.where}: {problem}, not found whole "
                            f"by a search: {statement.text()}")
    seen = {}
    for statement in statements:
        if statement.text() in seen:
            failures.append(f"{statement.where}: the text of "
                            f"{seen[statement.text()]} written again: "
                            f"{statement.text()}")
        seen.setdefault(statement.text(), statement.where)
    checked = 0
    for where, text, whole in golden_lines(root, sources):
        checked += 1
        # A test's literal may be only the beginning of its line.
        if not any((s.whole if whole else s.begun).match(text)
                   for s in statements):
            failures.append(f"{where}: no log statement writes {text!r}")
    for failure in failures:
        print(failure, file=sys.stderr)
    if not statements or not checked:
        print("no log statements or no golden lines found", file=sys.stderr)
        return 1
    print(f"{len(statements)} log statements, {checked} golden lines: "
          f"{'all found' if not failures else f'{len(failures)} failures'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
