"""Every JSON example of the docs runs, and live mode prints what file mode
prints, on the docs' scenarios and on examples/. Every Python example of the
docs is a test module whose tests and fixtures are collected here."""

import json
import pathlib
import re
import subprocess

import pytest

from quillmoss_sim import find_executable

REPO = pathlib.Path(__file__).resolve().parents[2]
DOCS = [REPO / "README.md", *sorted((REPO / "docs").glob("*.md"))]
FENCE = re.compile(r"^```(json|jsonl|python)\n(.*?)^```", re.MULTILINE | re.DOTALL)


def python_blocks():
    """(doc, line, code) of every Python example; line is where the code
    starts, counted from 0."""
    for doc in DOCS:
        text = doc.read_text()
        for match in FENCE.finditer(text):
            if match.group(1) == "python":
                yield doc, text.count("\n", 0, match.start(2)), match.group(2)


def is_fixture(value):
    return (getattr(value, "_pytestfixturefunction", None) is not None
            or type(value).__name__ == "FixtureFunctionDefinition")


def collect_doc_examples(into):
    """Runs each Python example as a module of its own and puts its tests
    and fixtures into ``into``, so that pytest runs them with the plugin's
    fixtures; tracebacks point into the doc. Returns the names per example."""
    names_per_example = []
    for doc, line, code in python_blocks():
        namespace = {"__name__": f"docs.{doc.stem}"}
        exec(compile("\n" * line + code, str(doc), "exec"), namespace)
        names = [name for name, value in namespace.items()
                 if (name.startswith("test_") and callable(value))
                 or is_fixture(value)]
        for name in names:
            if name in into:
                raise NameError(f"{doc.name}:{line + 1}: {name} is defined "
                                "by an earlier example too")
            into[name] = namespace[name]
        names_per_example.append(pytest.param(
            names, id=f"{doc.name}:{line + 1}"))
    return names_per_example


DOC_EXAMPLES = collect_doc_examples(globals())


def blocks(kind):
    found = []
    for doc in DOCS:
        for number, match in enumerate(FENCE.finditer(doc.read_text())):
            if match.group(1) == kind:
                found.append(pytest.param(match.group(2),
                                          id=f"{doc.name}-{number}"))
    return found


def run(args, stdin=None, cwd=None):
    return subprocess.run([str(find_executable()), "--type=renderer", *args],
                          input=stdin, capture_output=True, text=True,
                          cwd=cwd, timeout=120)


def live_steps(scenario):
    """The steps of a scenario file as live-session lines."""
    auto = scenario.get("autoRunTasks", False)
    steps = [{"do": "createBrowser", **browser}
             for browser in scenario.get("browsers", [])]
    if auto:
        steps.append({"do": "runTasks"})
    for step in scenario["steps"]:
        steps.append(step)
        if auto:
            steps.append({"do": "runTasks"})
    return "".join(json.dumps(step) + "\n" for step in steps)


def log_lines(stderr):
    return [line for line in stderr.splitlines() if line.startswith("[")]


def check_live_matches_file(path, cwd=None):
    by_file = run([f"--scenario={path}"], cwd=cwd)
    scenario = json.loads(pathlib.Path(cwd or ".", path).read_text())
    client = ([f"--renderer-client-id={scenario['clientId']}"]
              if "clientId" in scenario else [])
    live = run(["--scenario=-", *client], stdin=live_steps(scenario))
    assert (live.returncode, by_file.returncode) == (0, 0), (
        by_file.stderr + live.stderr)
    lines = [json.loads(line) for line in live.stdout.splitlines()]
    closes = [line for line in lines if "step" in line]
    assert all(close["ok"] for close in closes), closes
    output = [line for line in live.stdout.splitlines()
              if not line.startswith('{"step":')]
    assert output == by_file.stdout.splitlines()
    # The same log on stderr; the closing lines carry it too, but for the
    # teardown of browsers still open at the end, which closes no step.
    logged = [f"[{entry['severity']}:{entry['source']}({entry['line']})] "
              f"{entry['message']}" for close in closes for entry in close["log"]]
    file_log = log_lines(by_file.stderr)
    assert log_lines(live.stderr) == file_log
    assert file_log[:len(logged)] == logged


@pytest.mark.parametrize("text", blocks("json"))
def test_doc_scenarios_run_in_both_modes(text, tmp_path):
    path = tmp_path / "doc.json"
    path.write_text(text)
    check_live_matches_file(path)


@pytest.mark.parametrize("text", blocks("jsonl"))
def test_doc_live_sessions_succeed(text):
    session = run(["--scenario=-"], stdin=text)
    assert session.returncode == 0, session.stderr
    closes = [json.loads(line) for line in session.stdout.splitlines()
              if line.startswith('{"step":')]
    assert len(closes) == len([line for line in text.splitlines()
                               if line.strip()])
    assert all(close["ok"] for close in closes), closes


@pytest.mark.parametrize("name", sorted(
    path.name for path in (REPO / "examples").glob("*.json")))
def test_examples_live_matches_file(name):
    check_live_matches_file(name, cwd=REPO / "examples")


def test_docs_have_examples():
    assert blocks("json") and blocks("jsonl")


@pytest.mark.parametrize("names", DOC_EXAMPLES)
def test_doc_python_snippets_run(names):
    # An example without a test would be read and never run.
    assert any(name.startswith("test_") for name in names), names
