"""The Renderer class against the real simulator."""

import json
import os
import signal
import subprocess

import pytest

from quillmoss_sim import (ExpectationFailed, Host, JsText, bindings, Message, PageError,
                           Renderer, SimulatorDied, SimulatorError, StepRefused)


@pytest.fixture
def renderer():
    with Renderer() as live:
        yield live


def test_eval_gives_python_values(renderer):
    page = renderer.create_browser("b1").main_frame
    page.create_context()
    assert page.eval("({a: [1, 1.5, 'x', null, true]})") == {
        "a": [1, 1.5, "x", None, True]}
    assert page.eval("undefined") == JsText("undefined")
    assert page.eval("(function f() {})") == JsText("function f() {}")


def test_page_exceptions_raise_page_error(renderer):
    page = renderer.create_browser("b1").main_frame
    page.create_context()
    with pytest.raises(PageError, match="boom") as caught:
        page.eval("throw new Error('boom')")
    assert caught.value.frame == "main"
    assert page.eval("1") == 1  # the session goes on


def test_refused_steps_raise_and_the_session_goes_on(renderer):
    with pytest.raises(StepRefused, match="no browser exists yet"):
        renderer.step({"do": "eval", "frame": "main", "code": "1"})
    with pytest.raises(StepRefused, match="unknown step 'fly'"):
        renderer.step({"do": "fly"})
    browser = renderer.create_browser("b1")
    with pytest.raises(StepRefused, match="'b1' is already declared"):
        renderer.create_browser("b1")
    with pytest.raises(StepRefused, match="'main' is already declared"):
        browser.add_frame("main", site="ads.example")
    with pytest.raises(StepRefused, match="expectation failed"):
        browser.main_frame.create_context()
        renderer.step({"do": "expect", "browser": "b1", "frame": "main",
                       "code": "1", "result": 2})
    assert browser.main_frame.eval("2") == 2
    assert renderer.close() == 1  # a step failed


def test_console_lines_log_and_notes(renderer):
    browser = renderer.create_browser("b1", ["main", {"name": "A"}])
    frame = browser.frame("A")
    step = frame.create_context()
    assert [line.text for line in step.log] == [
        line.text for line in renderer.log]
    assert step.log[0].severity == "INFO"
    assert step.log[0].text.startswith("[INFO:quillmoss_app(")
    frame.eval("console.warn('careful', 2)")
    [console] = renderer.console
    assert (console.frame, console.method, console.level, console.message) == (
        "A", "warn", "warning", "careful 2")
    step = frame.send("DoJavascriptBindings", {})
    assert step.notes == ['the application did not handle message '
                          '"DoJavascriptBindings"']


def test_frames_and_browsers(renderer):
    first = renderer.create_browser("b1")
    second = renderer.create_browser("b2", ["top", {"name": "ad"}])
    assert (first.id, second.id) == (1, 2)
    sub = second.add_frame("inner", parent="ad")
    sub.create_context()
    assert renderer.take_messages() == [
        Message(2, "inner", "OnContextCreated", [])]
    second.destroy()
    assert renderer.take_messages() == [
        Message(2, "inner", "OnContextReleased", [])]
    assert renderer.browser("b2").destroyed
    # Browsers made by raw steps, unnumbered or not, take no id of the package's.
    renderer.step({"do": "createBrowser", "id": "raw", "frames": [{"name": "m"}]})
    renderer.step({"do": "createBrowser", "id": "raw2", "browserId": 7,
                   "frames": [{"name": "m2"}]})
    assert renderer.create_browser("b3").id == 8


def test_late_hooks_do_not_crash_the_renderer(renderer):
    browser = renderer.create_browser("b1", ["main", "A"])
    page = browser.main_frame
    page.create_context()
    page.do_javascript_bindings(functions=["f"])
    browser.destroy()
    renderer.take_messages()
    with pytest.raises(StepRefused, match="was destroyed"):
        page.create_context()
    step = page.create_context(after_destroy=True)
    assert step.messages == []  # the frame is gone: nothing reaches the host
    assert any("the frame is gone" in line.message for line in step.log)
    browser.frame("A").release_context(after_destroy=True)
    with pytest.raises(StepRefused, match="was destroyed"):
        page.send("DoJavascriptBindings", bindings(["g"]))
    page.send("DoJavascriptBindings", bindings(["g"]), after_destroy=True)
    page.send("ExecuteJavascriptCallback", 1, after_destroy=True)
    # A message through a frame that never had a context.
    other = renderer.create_browser("b2")
    step = other.main_frame.execute_javascript_callback(7, "x")
    assert step.messages == []
    step = other.main_frame.do_javascript_bindings(functions=["h"])
    other.main_frame.create_context()
    assert other.main_frame.eval("typeof h") == "function"
    assert renderer.close() == 1  # two steps were refused


def test_functions_kept_from_a_gone_page_reach_nothing(renderer):
    browser = renderer.create_browser("b1", ["main", "A"])
    page, child = browser.main_frame, browser.frame("A")
    page.create_context()
    child.create_context()
    page.do_javascript_bindings(functions=["f"], bind_to_frames=True)
    child.keep("f", into=page, name="keptF")
    child.release_context()
    renderer.take_messages()
    with pytest.raises(PageError, match="the page of this function is gone: f"):
        page.eval("keptF(() => 0)")
    assert renderer.take_messages() == []


def test_a_dead_simulator_raises(renderer):
    renderer.create_browser("b1")
    os.kill(renderer.pid, signal.SIGKILL)
    with pytest.raises(SimulatorDied) as caught:
        renderer.run_tasks()
    assert caught.value.exit_code == -signal.SIGKILL


def test_a_missing_executable_is_named(tmp_path):
    with pytest.raises(SimulatorError, match="no simulator at"):
        Renderer(tmp_path / "none")


def test_a_session_replays_from_its_recording(renderer, tmp_path):
    browser = renderer.create_browser("b1", ["main", "A"])
    page, child = browser.main_frame, browser.frame("A")
    page.create_context()
    child.create_context()
    host = Host(browser)
    host.bind(functions={"f": lambda callback: callback(len)},
              properties={"n": 1.0}, bind_to_frames=True)
    child.eval("f(function cb(g) { console.info('got', typeof g); g([1]); })")
    child.keep("f", into=page, name="keptF")
    with pytest.raises(StepRefused):
        page.send("DoJavascriptBindings", after_destroy=True)
    with pytest.raises(ExpectationFailed):
        renderer.step({"do": "expect", "browser": "b1", "frame": "main",
                       "code": "n", "result": 2})
    other = renderer.create_browser("b2")
    other.main_frame.create_context()
    other.main_frame.eval("[1.5, 'x']")
    browser.destroy()
    page.release_context(after_destroy=True)
    path = renderer.save_scenario(tmp_path / "session.json")
    assert "1 refused step(s) left out" in json.loads(path.read_text())["comment"]
    replay = subprocess.run([str(renderer.executable), "--type=renderer",
                             f"--scenario={path}"],
                            capture_output=True, text=True, timeout=60)
    assert replay.stdout.splitlines() == renderer.output
    assert replay.returncode == renderer.close() == 1  # the expectation
