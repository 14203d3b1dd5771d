"""The pytest plugin, in pytest runs of their own: fixtures, the renderer's
log in a failing test's report, the recording of failing tests, and the
error when no executable can be found."""

import json
import os
import pathlib
import subprocess
from importlib import metadata

import pytest

import quillmoss_sim
from quillmoss_sim import executable, find_executable

pytest_plugins = ["pytester"]

HOST_TESTS = '''
def test_passes(quillmoss_page, quillmoss_host):
    heard = []
    quillmoss_host.bind(functions={"note": heard.append})
    quillmoss_page.eval("note('fine')")
    assert heard == ["fine"]

def test_fails(quillmoss_page, quillmoss_host):
    import pytest
    with pytest.raises(ValueError):  # leaves nothing in the recording
        quillmoss_host.bind(properties={"draft": "half \\ud83d"})
    quillmoss_host.bind(functions={"saveFile": lambda name: 1 / 0})
    quillmoss_page.eval("console.warn('about to save'); saveFile('a.txt')")
'''


@pytest.fixture
def simulator():
    return find_executable()


@pytest.fixture
def run(pytester, monkeypatch, simulator):
    monkeypatch.delenv("QUILLMOSS_SUBPROCESS", raising=False)

    def run_pytest(*args):
        # -p as a run from the checkout passes it; where the package is
        # installed the entry point is the same plugin.
        return pytester.runpytest("-p", "quillmoss_sim.pytest_plugin",
                                  f"--quillmoss-subprocess={simulator}", *args)

    return run_pytest


def test_a_failing_test_shows_its_renderer_log(pytester, run):
    pytester.makepyfile(test_inner=HOST_TESTS)
    result = run("-p", "no:cacheprovider")
    result.assert_outcomes(passed=1, failed=1)
    output = result.stdout.str()
    result.stdout.fnmatch_lines([
        "*renderer: *quillmoss_subprocess (from --quillmoss-subprocess)",
        "*HostCallError: saveFile('a.txt'), called by the page in frame 'main'"
        " of browser 1, raised ZeroDivisionError: division by zero",
        "*- quillmoss renderer log [[]call[]] -*",
        "[[]INFO:v8function_handler(*)[]] *V8FunctionHandler::Execute(): js binding",
        "page console:",
        "console.warn in frame 'main': about to save",
    ])
    # Only the failing test's log: the passing one bound "note".
    assert output.count("quillmoss renderer log") == 1


def test_failing_tests_are_recorded_as_scenarios_that_replay(pytester, run,
                                                             simulator):
    pytester.makepyfile(test_inner=HOST_TESTS)
    result = run("--quillmoss-record=recorded")
    result.assert_outcomes(passed=1, failed=1)
    [scenario] = (pytester.path / "recorded").iterdir()
    assert scenario.name == "test_inner.py_test_fails.json"
    # The executable that ran, not a bare name that may find another.
    result.stdout.fnmatch_lines(
        [f"replay: {simulator} --type=renderer --scenario={scenario}"])
    replay = subprocess.run(
        [str(simulator), "--type=renderer", f"--scenario={scenario}"],
        capture_output=True, text=True, timeout=60)
    assert replay.returncode == 0, replay.stderr
    assert json.loads(replay.stdout.splitlines()[-1]) == {
        "eval": "main", "result": None}


def test_a_renderer_that_crashed_unseen_fails_the_teardown(pytester, run):
    pytester.makepyfile(test_inner="""
import os, signal

def test_kills(quillmoss_renderer):
    os.kill(quillmoss_renderer.pid, signal.SIGKILL)
""")
    result = run()
    result.assert_outcomes(passed=1, errors=1)
    result.stdout.fnmatch_lines(["*the renderer ended with exit code -9;*"])


def test_without_an_executable_the_run_stops_once_naming_every_way(
        pytester, run, monkeypatch):
    monkeypatch.delenv("QUILLMOSS_SUBPROCESS", raising=False)
    monkeypatch.setattr(executable, "_pytest_option", None)
    monkeypatch.setattr(executable, "__file__",
                        str(pytester.path / "site-packages" / "executable.py"))
    pytester.makepyfile(test_inner=HOST_TESTS)
    result = pytester.runpytest("-p", "quillmoss_sim.pytest_plugin")
    assert result.ret == pytest.ExitCode.USAGE_ERROR
    result.stdout.fnmatch_lines([
        "*renderer: none (no quillmoss_subprocess to run: pass executable=PATH,"
        " set $QUILLMOSS_SUBPROCESS, run pytest with"
        " --quillmoss-subprocess=PATH, or build this checkout's*"])
    # One error for the run, not one per test.
    assert result.stderr.str().count("no quillmoss_subprocess to run") == 1
    assert "ERROR at setup" not in result.stdout.str()


CHECKOUT_PACKAGE = pathlib.Path(__file__).resolve().parents[1] / "quillmoss_sim"
RUNNING = pathlib.Path(quillmoss_sim.__file__).resolve().parent


# Run whenever an installed package is what runs; .ci/run also says that it
# must be, so that a run from the checkout cannot pass for one.
@pytest.mark.skipif(RUNNING == CHECKOUT_PACKAGE
                    and not os.environ.get("QUILLMOSS_SIM_EXPECT_INSTALLED"),
                    reason="the package runs from the checkout, not installed")
def test_the_installed_package_is_what_runs():
    assert RUNNING != CHECKOUT_PACKAGE
    assert (RUNNING / "py.typed").is_file()
    [plugin] = [entry for entry in metadata.entry_points(group="pytest11")
                if entry.value == "quillmoss_sim.pytest_plugin"]
    assert plugin.dist.version == quillmoss_sim.__version__
