"""The renderer simulator driven live from Python.

A :class:`Renderer` starts ``quillmoss_subprocess --type=renderer
--scenario=-`` and plays the browser process against it one step at a time:
each call writes one step line and reads the step's output up to the line
that closes it.

Every step that ran is kept, so the session can be written out as a scenario
file that the simulator plays with the same stdout (:meth:`Renderer.scenario`).
Listeners (a :class:`~quillmoss_sim.host.Host`) get each message the renderer
sent once the step that caused it is over, one message at a time, as a host's
message loop would hand them over.
"""

from __future__ import annotations

import collections
import json
import os
import pathlib
import queue
import re
import subprocess
import tempfile
import threading
from dataclasses import dataclass, field
from typing import IO, Any, Callable, Iterable, Protocol

from .errors import HostCallError, SimulatorError
from .executable import find_executable
from .protocol import (BINDINGS_MESSAGE, CALLBACK_ID_INDEX,
                       PAGE_CALLBACK_MESSAGE, bindings)
from .values import HostCallbackHook, check_texts, from_cef_json, to_cef_json

# Called with every Renderer made, so that the pytest plugin can show the log
# of the renderers a test started, whoever started them.
_started_hooks: list[Callable[[Renderer], None]] = []


def add_start_hook(hook: Callable[[Renderer], None]) -> None:
    """Calls hook with every Renderer made from now on."""
    _started_hooks.append(hook)


def remove_start_hook(hook: Callable[[Renderer], None]) -> None:
    _started_hooks.remove(hook)


class SimulatorDied(SimulatorError):
    """The simulator process ended while a step was under way."""

    def __init__(self, exit_code: int | None, stderr: str) -> None:
        tail = "\n".join(stderr.splitlines()[-20:])
        super().__init__(f"the renderer simulator died (exit code {exit_code})"
                         + (f":\n{tail}" if tail else ""))
        self.exit_code = exit_code
        self.stderr = stderr


class StepRefused(SimulatorError):
    """The simulator refused a step, or its expectation did not hold."""

    def __init__(self, index: int, error: str) -> None:
        super().__init__(error)
        self.index = index
        self.error = error


class ExpectationFailed(StepRefused):
    """An ``expect`` step ran and did not hold (unlike a refused step, it
    stays in the recorded scenario, where it fails the same way)."""


class PageError(SimulatorError):
    """Page script threw."""

    def __init__(self, frame: str, text: str) -> None:
        super().__init__(f"page script in frame {frame!r} threw: {text}")
        self.frame = frame
        self.text = text


class HasCallbackId(Protocol):
    """A page function as the host holds it (JavascriptCallback, JsFunction)."""

    @property
    def callback_id(self) -> int: ...


@dataclass(frozen=True)
class Message:
    """A process message the renderer sent to the browser process."""

    browser: int
    frame: str | int  # the frame's name, or its id when it has none
    name: str
    args: list[Any]


@dataclass(frozen=True)
class ConsoleMessage:
    """A console call of page script, as the host's display handler sees it."""

    browser: int
    frame: str | int
    method: str  # "log", "info", "warn", "error", "debug"
    level: str   # CEF's severity: "debug", "info", "warning", "error"
    message: str
    source: str
    line: int


@dataclass(frozen=True)
class LogLine:
    """A line of the renderer's log."""

    severity: str
    source: str
    line: int
    message: str

    @property
    def text(self) -> str:
        return f"[{self.severity}:{self.source}({self.line})] {self.message}"


@dataclass(frozen=True)
class JsText:
    """What page script gave when it has no JSON form: String() of it."""

    text: str


@dataclass(frozen=True)
class Refusal:
    """Something the renderer refused and only logged: ``reason`` is one of
    the REFUSALS values ("error" for another error line), ``callback_id`` the
    page function's id where the refusal concerns one, ``line`` the log
    line itself."""

    reason: str
    callback_id: int | None
    line: LogLine


# The renderer's error lines a host can cause, by what a test asks: a part
# of the line's text and the reason it stands for. The texts are
# the renderer's, which never change.
REFUSALS = {
    "ExecuteJavascriptCallback(): callback map is empty": "unknown-callback",
    "ExecuteJavascriptCallback(): callback not found": "unknown-callback",
    "ExecuteJavascriptCallback(): callback belongs to another browser":
        "other-browser",
    "ExecuteJavascriptCallback(): V8 context not available": "context-gone",
    "ExecuteJavascriptCallback(): the frame went": "frame-went",
    "ExecuteJavascriptCallback(): callback->ExecuteFunction() failed":
        "page-threw",
    "QuillmossApp::OnProcessMessageReceived: received process message from "
    "non-main frame": "not-main-frame",
    "OnProcessMessageReceived(): invalid arguments": "invalid-arguments",
    "OnProcessMessageReceived: invalid arguments": "invalid-arguments",
    "DoJavascriptBindingsForFrame(): empty": "empty-name",
    # A property, function, object or method named __proto__.
    "__proto__ refused": "proto-property",
}
_LOGGED_ID = re.compile(r", id=(-?\d+)$")


def _refusals(log: list[LogLine], step: dict[str, Any]) -> list[Refusal]:
    # Two callback lines carry no id: the step's message names it.
    args = step.get("args")
    sent_id = (args[CALLBACK_ID_INDEX]
               if step.get("name") == PAGE_CALLBACK_MESSAGE
               and isinstance(args, list) and len(args) > CALLBACK_ID_INDEX
               and isinstance(args[CALLBACK_ID_INDEX], int) else None)
    found = []
    for line in log:
        if line.severity not in ("ERROR", "FATAL"):
            continue
        reason = next((reason for text, reason in REFUSALS.items()
                       if text in line.message), "error")
        logged = _LOGGED_ID.search(line.message)
        callback_id = int(logged.group(1)) if logged else None
        if callback_id is None and reason in ("unknown-callback", "page-threw"):
            callback_id = sent_id
        found.append(Refusal(reason, callback_id, line))
    return found


@dataclass
class StepResult:
    """Everything one step produced; ``refusals`` are the log's error lines
    as data."""

    index: int
    messages: list[Message] = field(default_factory=list)
    console: list[ConsoleMessage] = field(default_factory=list)
    evals: list[dict[str, Any]] = field(default_factory=list)
    notes: list[str] = field(default_factory=list)
    log: list[LogLine] = field(default_factory=list)
    refusals: list[Refusal] = field(default_factory=list)

    def add(self, other: StepResult) -> None:
        """Takes in what a following step gave (the tasks a message posted)."""
        self.messages += other.messages
        self.console += other.console
        self.evals += other.evals
        self.log += other.log
        self.notes += other.notes
        self.refusals += other.refusals


class Renderer:
    """One renderer process under the host's control.

    ``executable`` is found as :func:`~quillmoss_sim.find_executable` says
    when it is not given.
    """

    def __init__(self, executable: str | os.PathLike[str] | None = None,
                 timeout: float = 60.0) -> None:
        self.executable = find_executable(executable)
        self.timeout = timeout
        self.messages: list[Message] = []
        self.console: list[ConsoleMessage] = []
        self.log: list[LogLine] = []
        # What the session printed but the closing lines: what a file run of
        # scenario() prints on stdout.
        self.output: list[str] = []
        self._steps: list[dict[str, Any]] = []
        self._refused = 0
        self._browsers: dict[str, Browser] = {}
        self._next_browser_id = 1
        self._next_step = 0
        self._exit_code: int | None = None
        # Set once a step found the process gone: its death was reported.
        self.died = False
        self._final_stderr = ""
        self._listeners: list[Callable[[Message], None]] = []
        self._pending: collections.deque[Message] = collections.deque()
        self._depth = 0
        self._dispatching = False
        # A file, not a pipe: nobody must drain it for the process to go on.
        self._stderr: IO[bytes] = tempfile.TemporaryFile()
        self._process = subprocess.Popen(
            [str(self.executable), "--type=renderer", "--scenario=-"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._stderr,
            text=True, encoding="utf-8", bufsize=1)
        self._lines: queue.Queue[str | None] = queue.Queue()
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()
        for hook in list(_started_hooks):
            hook(self)

    # Process --------------------------------------------------------------

    def _read_stdout(self) -> None:
        assert self._process.stdout is not None
        for line in self._process.stdout:
            self._lines.put(line)
        self._lines.put(None)

    @property
    def recorded_steps(self) -> int:
        """How many steps the recorded scenario holds: a step counts from
        when it is written, and a refused one stops counting."""
        return len(self._steps)

    @property
    def pid(self) -> int:
        """The simulator's process id."""
        return self._process.pid

    @property
    def stderr(self) -> str:
        """Everything the simulator wrote to stderr so far (after close, all
        of it)."""
        if self._stderr.closed:
            return self._final_stderr
        self._stderr.seek(0)
        return self._stderr.read().decode("utf-8", "replace")

    @property
    def exit_code(self) -> int | None:
        """The exit code once the session is closed, else None."""
        return self._exit_code

    def _died(self) -> SimulatorDied:
        self.died = True
        try:
            code = self._process.wait(timeout=self.timeout)
        except subprocess.TimeoutExpired:
            code = None
        return SimulatorDied(code, self.stderr)

    def close(self) -> int:
        """Ends the session (end of input) and returns the exit code."""
        if self._exit_code is not None:
            return self._exit_code
        if self._process.stdin and not self._process.stdin.closed:
            try:
                self._process.stdin.close()
            except BrokenPipeError:
                pass
        try:
            code = self._process.wait(timeout=self.timeout)
        except subprocess.TimeoutExpired:
            self._process.kill()
            code = self._process.wait()
        self._reader.join(timeout=self.timeout)
        if self._process.stdout:
            self._process.stdout.close()
        # Kept: a failing test's report shows it after the fixture closed us.
        self._final_stderr = self.stderr
        self._stderr.close()
        self._exit_code = code
        return code

    def __enter__(self) -> Renderer:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    # Steps ----------------------------------------------------------------

    def step(self, step: dict[str, Any]) -> StepResult:
        """Plays one step (the scenario vocabulary) and returns its output.

        Raises StepRefused when the simulator refuses it (ExpectationFailed
        when its expectation fails), SimulatorDied when the process ends
        meanwhile, ValueError or TypeError for a step that cannot be
        written, before anything changed. Once the outermost step is over,
        the listeners get every message it caused; the first error they
        raise comes out of this call, the others noted on it.
        """
        # pytest leaves this package's frames out of a failing test's
        # traceback: what failed is the test's line and the host's callable.
        __tracebackhide__ = True
        self._depth += 1
        try:
            result = self._play(step)
        finally:
            self._depth -= 1
        if self._depth == 0:
            self._dispatch()
        return result

    def _play(self, step: dict[str, Any]) -> StepResult:
        # A step that cannot be written raises before the step count and the
        # recording change: the session goes on as if it had not been tried.
        line = json.dumps(step, ensure_ascii=False, allow_nan=False)
        try:
            line.encode("utf-8")
        except UnicodeEncodeError:
            check_texts(step, "step")  # raises, naming the string
            raise
        index = self._next_step
        self._next_step += 1
        assert self._process.stdin is not None
        # Kept before it runs: a step the renderer dies of belongs in the
        # scenario that reproduces the death.
        self._steps.append(json.loads(line))
        try:
            self._process.stdin.write(line + "\n")
            self._process.stdin.flush()
        except (BrokenPipeError, OSError):
            raise self._died() from None
        result = StepResult(index)
        while True:
            try:
                text = self._lines.get(timeout=self.timeout)
            except queue.Empty:
                self.died = True
                self._process.kill()
                raise SimulatorError(
                    f"no answer to step {index} within {self.timeout} s; "
                    "the simulator was killed") from None
            if text is None:
                raise self._died()
            output = json.loads(text)
            if "step" in output:
                return self._close_step(index, output, result, step)
            self.output.append(text.rstrip("\n"))
            self._take_output(output, result)

    def _dispatch(self) -> None:
        # One message at a time and never from inside a listener: what a
        # listener's own steps cause waits until it returns, as in a host
        # whose message loop runs one handler at a time. A listener that
        # raises holds back none of the others: every message of the step
        # is delivered before the first error comes out, the rest attached.
        __tracebackhide__ = True
        if self._dispatching:
            return
        self._dispatching = True
        errors: list[BaseException] = []
        try:
            while self._pending:
                message = self._pending.popleft()
                for listener in list(self._listeners):
                    try:
                        listener(message)
                    except BaseException as error:
                        errors.append(error)
        finally:
            self._dispatching = False
        if errors:
            raise _first_of(errors)

    def add_listener(self, listener: Callable[[Message], None]) -> None:
        """Calls listener with every message the renderer sends from now on,
        after the step that caused it."""
        self._listeners.append(listener)

    def remove_listener(self, listener: Callable[[Message], None]) -> None:
        self._listeners.remove(listener)

    def _take_output(self, output: dict[str, Any], result: StepResult) -> None:
        if "name" in output:
            message = Message(output["browser"], output["frame"], output["name"],
                              from_cef_json(output["args"]))
            result.messages.append(message)
            self.messages.append(message)
            if self._listeners:
                self._pending.append(message)
        elif "console" in output:
            console = ConsoleMessage(
                output["browser"], output["frame"], output["console"],
                output["level"], output["message"], output["source"],
                output["line"])
            result.console.append(console)
            self.console.append(console)
        else:
            result.evals.append(output)

    def _close_step(self, index: int, close: dict[str, Any],
                    result: StepResult, step: dict[str, Any]) -> StepResult:
        if close["step"] != index:
            raise SimulatorError(
                f"step {index} was answered as step {close['step']}")
        result.notes = list(close.get("notes", []))
        result.log = [LogLine(entry["severity"], entry["source"], entry["line"],
                              entry["message"]) for entry in close.get("log", [])]
        result.refusals = _refusals(result.log, step)
        self.log.extend(result.log)
        if not close["ok"]:
            error = close.get("error", "refused")
            if error.startswith("expectation failed"):
                raise ExpectationFailed(index, error)
            # A refused step changed nothing; a file holding it would be
            # refused whole.
            self._steps.pop()
            self._refused += 1
            raise StepRefused(index, error)
        return result

    # Recording --------------------------------------------------------------

    def scenario(self, comment: str | None = None) -> dict[str, Any]:
        """The session so far as a scenario document: the steps that ran, in
        order. The simulator prints for it on stdout what this session
        printed (``output``), closing lines aside; refused steps, which
        changed nothing, are left out."""
        note = comment or "Recorded from a live session."
        if self._refused:
            note += f" {self._refused} refused step(s) left out."
        return {"comment": note, "steps": [dict(step) for step in self._steps]}

    def save_scenario(self, path: str | os.PathLike[str],
                      comment: str | None = None) -> pathlib.Path:
        """Writes :meth:`scenario` to path, one step a line; returns the
        path."""
        document = self.scenario(comment)
        steps = ",\n".join("    " + json.dumps(step, ensure_ascii=False)
                           for step in document["steps"])
        text = ("{\n  \"comment\": " + json.dumps(document["comment"])
                + ",\n  \"steps\": [\n" + steps + "\n  ]\n}\n")
        target = pathlib.Path(path)
        target.write_text(text, encoding="utf-8")
        return target

    def take_messages(self) -> list[Message]:
        """The messages sent since the last call, oldest first."""
        taken, self.messages = self.messages, []
        return taken

    # Browsers -------------------------------------------------------------

    def create_browser(self, handle: str,
                       frames: Iterable[str | dict[str, str]] = ("main",)
                       ) -> Browser:
        """Creates a browser; frames are names (children of the main frame)
        or {"name", "parent"?, "frameName"?} dictionaries, the main frame
        first."""
        declared = [{"name": frame} if isinstance(frame, str) else dict(frame)
                    for frame in frames]
        self.step({"do": "createBrowser", "id": handle, "frames": declared})
        browser = Browser(self, handle, self._next_browser_id,
                          [frame["name"] for frame in declared])
        self._next_browser_id += 1
        self._browsers[handle] = browser
        return browser

    def browser(self, handle: str) -> Browser:
        return self._browsers[handle]

    def run_tasks(self) -> StepResult:
        """Runs the tasks posted to the renderer thread."""
        return self.step({"do": "runTasks"})


def _first_of(errors: list[BaseException]) -> BaseException:
    """The error a step raises for its listeners' errors: the first, unless
    one is no Exception (an interrupt, pytest's fail() or exit()), which
    must not end up a note."""
    first = next((error for error in errors
                  if not isinstance(error, Exception)), errors[0])
    others = [error for error in errors if error is not first]
    for other in others:
        first.add_note(f"also raised in this step: {type(other).__name__}: "
                       f"{other}")
    if isinstance(first, HostCallError):
        first.others = others
    return first


class Browser:
    """A browser of the renderer; its frames by name."""

    def __init__(self, renderer: Renderer, handle: str, browser_id: int,
                 frame_names: list[str]) -> None:
        self.renderer = renderer
        self.handle = handle
        self.id = browser_id
        self.destroyed = False
        self._frames = {name: Frame(self, name) for name in frame_names}
        self.main_frame = self._frames[frame_names[0]]

    def __repr__(self) -> str:
        return f"<Browser {self.handle!r} (id {self.id})>"

    def frame(self, name: str) -> Frame:
        return self._frames[name]

    def add_frame(self, name: str, parent: str | None = None,
                  frame_name: str | None = None) -> Frame:
        step: dict[str, Any] = {"do": "addFrame", "browser": self.handle,
                                "name": name}
        if parent is not None:
            step["parent"] = parent
        if frame_name is not None:
            step["frameName"] = frame_name
        self.renderer.step(step)
        self._frames[name] = Frame(self, name)
        return self._frames[name]

    def destroy(self) -> StepResult:
        """Releases the browser's contexts, then OnBrowserDestroyed."""
        result = self.renderer.step({"do": "destroyBrowser",
                                     "browser": self.handle})
        self.destroyed = True
        return result


class Frame:
    """A frame: its contexts, the host's messages through it, page script."""

    def __init__(self, browser: Browser, name: str) -> None:
        self.browser = browser
        self.name = name
        # A frame the session knows only by its identifier is named by it.
        self._id: int | None = int(name) if name.isdigit() else None

    def __repr__(self) -> str:
        return f"<Frame {self.name!r} of browser {self.browser.handle!r}>"

    @property
    def id(self) -> int:
        """The frame's CEF identifier, which the host knows of every frame a
        message comes through; asked of the renderer (a ``frameId`` step)
        the first time. Raises StepRefused once the frame is gone."""
        if self._id is None:
            self._id = int(self._step("frameId").evals[-1]["id"])
        return self._id

    def _step(self, verb: str, **keys: Any) -> StepResult:
        __tracebackhide__ = True
        step = {"do": verb, "browser": self.browser.handle, "frame": self.name}
        step.update(keys)
        return self.browser.renderer.step(step)

    def _late(self, after_destroy: bool) -> dict[str, Any]:
        return {"afterDestroy": True} if after_destroy else {}

    def create_context(self, after_destroy: bool = False) -> StepResult:
        """A fresh V8 context (OnContextCreated). With after_destroy the hook
        comes late, for a browser already destroyed."""
        return self._step("createContext", **self._late(after_destroy))

    def release_context(self, after_destroy: bool = False) -> StepResult:
        return self._step("releaseContext", **self._late(after_destroy))

    def navigate(self) -> StepResult:
        """The frame loads a new page: its context, if it has one, is
        released (the page's functions go with it), then a fresh one is
        created."""
        return self._step("createContext")

    def send(self, name: str, *args: Any, after_destroy: bool = False,
             host_callback: HostCallbackHook | None = None) -> StepResult:
        """The browser process sends message ``name`` through this frame.

        ``host_callback`` gives a Python callable among args its host-callback
        id (see Host)."""
        __tracebackhide__ = True
        return self.send_values(
            name, to_cef_json(list(args), "args", host_callback),
            after_destroy=after_destroy)

    def send_values(self, name: str, args: list[Any],
                    after_destroy: bool = False) -> StepResult:
        """send() with args already in the JSON form of CEF values."""
        __tracebackhide__ = True
        return self._step("message", name=name, args=args,
                          **self._late(after_destroy))

    def do_javascript_bindings(self, functions: Iterable[str] = (),
                               properties: dict[str, Any] | None = None,
                               objects: dict[str, Iterable[str]] | None = None,
                               bind_to_frames: bool = False,
                               run_tasks: bool = True) -> StepResult:
        """Sends "DoJavascriptBindings"; then runs the installation tasks
        unless run_tasks is False."""
        result = self.send(BINDINGS_MESSAGE, bindings(
            functions, properties, objects, bind_to_frames))
        if run_tasks:
            result.add(self.browser.renderer.run_tasks())
        return result

    def execute_javascript_callback(self, callback: int | HasCallbackId,
                                    *args: Any) -> StepResult:
        """Sends "ExecuteJavascriptCallback" through this frame: the host
        calls a page function (by id, a JavascriptCallback or a JsFunction).
        """
        callback_id = callback if isinstance(callback, int) else callback.callback_id
        return self.send(PAGE_CALLBACK_MESSAGE, callback_id, *args)

    def keep(self, code: str, into: Frame, name: str) -> StepResult:
        """Runs code in this frame's page and sets what it gave as the global
        name of into's page (same browser), as a parent page keeps an
        iframe's function; it outlives this frame's page."""
        return self._step("keep", code=code, into=into.name, **{"as": name})

    def eval(self, code: str) -> Any:
        """Runs page script; returns its value (JSON.stringify of it, as a
        Python value) or a JsText for a value without a JSON form. Raises
        PageError when the script throws."""
        __tracebackhide__ = True
        result = self._step("eval", code=code)
        outcome = result.evals[-1]
        if "exception" in outcome:
            raise PageError(self.name, outcome["exception"])
        if "text" in outcome:
            return JsText(outcome["text"])
        return outcome["result"]
