"""The renderer simulator driven live from Python.

A :class:`Renderer` plays the browser process against renderer processes,
each a ``quillmoss_subprocess --type=renderer --scenario=-`` of its own
(:class:`RendererProcess`), one step at a time: each step writes one line
and reads the step's output up to the line that closes it.

As Chromium 81 does by default (site isolation), every site gets a
renderer process of its own: a frame whose site differs from its parent's
lives in another process, where its browser's other frames are remote, and
steps go to the process that holds their frame. ``site_isolation=False``
plays one process for everything, as a host that turns site isolation off.

Every step that ran is kept, per process, so a process's session can be
written out as a scenario file that the simulator plays with the same stdout
(:meth:`RendererProcess.scenario`). Listeners (a
:class:`~quillmoss_sim.host.Host`) get each message a renderer sent once the
step that caused it is over, one message at a time, as a host's message loop
would hand them over.
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
from typing import IO, Any, Callable, Iterable, Mapping, Protocol

from .errors import SimulatorError
from .executable import find_executable
from .protocol import (BINDINGS_MESSAGE, CALLBACK_ID_INDEX,
                       CONTEXT_CREATED, CONTEXT_RELEASED,
                       PAGE_CALLBACK_MESSAGE, RENDER_PROCESS_TERMINATED,
                       bindings)
from .values import (INT32_MAX, INT32_MIN, HostCallbackHook, check_texts,
                     from_cef_json, to_cef_json)

# Called with every renderer process started, so that the pytest plugin can
# show the log of the processes a test started, whoever started them.
_started_hooks: list[Callable[[RendererProcess], None]] = []

# The site of a frame that names none and has no parent to take it from.
DEFAULT_SITE = "app.example"
# Chromium's first renderer process in the README's examples; the processes
# of a session count on from it.
FIRST_CLIENT_ID = 4


def add_start_hook(hook: Callable[[RendererProcess], None]) -> None:
    """Calls hook with every renderer process started from now on."""
    _started_hooks.append(hook)


def remove_start_hook(hook: Callable[[RendererProcess], None]) -> None:
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
    """A process message the renderer sent to the browser process.

    ``client_id`` is the sending process's (the upper 32 bits of its frame
    ids). A renderer that dies sends nothing; the session then hands its
    listeners one ``OnRenderProcessTerminated`` per frame that had a context
    there, which a host treats as that context's release."""

    browser: int
    frame: str | int  # the frame's name, or its id when it has none
    name: str
    args: list[Any]
    client_id: int = field(default=FIRST_CLIENT_ID, compare=False,
                           repr=False)


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
    line itself. The package's own refusals (a page function whose page
    went, ``page-gone``) have no line: nothing was sent."""

    reason: str
    callback_id: int | None
    line: LogLine | None


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
    as data. ``index`` is the step's in its process, -1 when none ran."""

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


class RendererProcess:
    """One renderer process: an executable in a live session of its own.

    Its steps come from a :class:`Renderer`, which routes them by frame.
    """

    def __init__(self, session: Renderer, client_id: int,
                 site: str | None) -> None:
        self.session = session
        self.executable = session.executable
        self.timeout = session.timeout
        self.client_id = client_id
        self.site = site  # None: every site (site isolation off)
        self.messages: list[Message] = []
        self.console: list[ConsoleMessage] = []
        self.log: list[LogLine] = []
        # What the session printed but the closing lines: what a file run of
        # scenario() prints on stdout.
        self.output: list[str] = []
        self._steps: list[dict[str, Any]] = []
        self._refused = 0
        self._next_step = 0
        self._exit_code: int | None = None
        # Set once a step found the process gone: its death was reported.
        self.died = False
        # Set by crash(): the process was ended on purpose.
        self.crashed = False
        # Session browser handle -> this process's handle, for the browsers
        # open here; a handle that went is never used again in a process.
        self.browsers: dict[str, str] = {}
        self.destroyed: dict[str, str] = {}
        self._handles_used: set[str] = set()
        self._final_stderr = ""
        # A file, not a pipe: nobody must drain it for the process to go on.
        self._stderr: IO[bytes] = tempfile.TemporaryFile()
        self._process = subprocess.Popen(
            [str(self.executable), "--type=renderer", "--scenario=-",
             f"--renderer-client-id={client_id}"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._stderr,
            text=True, encoding="utf-8", bufsize=1)
        self._lines: queue.Queue[str | None] = queue.Queue()
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()
        for hook in list(_started_hooks):
            hook(self)

    def __repr__(self) -> str:
        return (f"<RendererProcess {self.client_id} "
                f"({self.site or 'every site'})>")

    @property
    def alive(self) -> bool:
        return self._exit_code is None and not self.died and not self.crashed

    def handle_for(self, browser: str) -> str:
        """A handle for browser that this process never used."""
        handle, number = browser, 1
        while handle in self._handles_used:
            number += 1
            handle = f"{browser}@{number}"
        self._handles_used.add(handle)
        return handle

    def crash(self) -> None:
        """Ends the process at once, as a renderer that dies."""
        self.crashed = True
        self._process.kill()
        self.close()

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

    # Steps ----------------------------------------------------------------

    def play(self, step: dict[str, Any]) -> StepResult:
        if self.crashed or self._exit_code is not None:
            # Its input is closed: no step of it could be written.
            raise SimulatorError(
                f"renderer process {self.client_id} has ended "
                f"({'crash()' if self.crashed else 'closed'}): the frames it "
                "held are gone")
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

    def _take_output(self, output: dict[str, Any], result: StepResult) -> None:
        if "name" in output:
            message = Message(output["browser"], output["frame"], output["name"],
                              from_cef_json(output["args"]), self.client_id)
            result.messages.append(message)
            self.messages.append(message)
            self.session._heard(message)
        elif "console" in output:
            console = ConsoleMessage(
                output["browser"], output["frame"], output["console"],
                output["level"], output["message"], output["source"],
                output["line"])
            result.console.append(console)
            self.console.append(console)
            self.session.console.append(console)
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
        self.session.log.extend(result.log)
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
        return {"comment": note, "clientId": self.client_id,
                "steps": [dict(step) for step in self._steps]}

    def save_scenario(self, path: str | os.PathLike[str],
                      comment: str | None = None) -> pathlib.Path:
        """Writes :meth:`scenario` to path, one step a line; returns the
        path."""
        document = self.scenario(comment)
        steps = ",\n".join("    " + json.dumps(step, ensure_ascii=False)
                           for step in document["steps"])
        text = ("{\n  \"comment\": " + json.dumps(document["comment"])
                + ",\n  \"clientId\": " + str(self.client_id)
                + ",\n  \"steps\": [\n" + steps + "\n  ]\n}\n")
        target = pathlib.Path(path)
        target.write_text(text, encoding="utf-8")
        return target


class Renderer:
    """The browser process's side of a session with its renderer processes.

    ``executable`` is found as :func:`~quillmoss_sim.find_executable` says
    when it is not given. With ``site_isolation`` (the default, as in
    Chromium 81) each site gets a process of its own; without it one
    process holds every frame. The first process starts at once.

    ``cef_faults`` plays faults that CEF's tracker reports for the versions
    around 81 and that may or may not hold in 81.3 (CEF_FAULTS says which):
    a test chooses.
    """

    def __init__(self, executable: str | os.PathLike[str] | None = None,
                 timeout: float = 60.0, *,
                 site_isolation: bool = True,
                 cef_faults: Iterable[str] = ()) -> None:
        if (isinstance(timeout, bool) or not isinstance(timeout, (int, float))
                or not timeout > 0):
            raise ValueError(f"timeout: {timeout!r} is not a positive number "
                             "of seconds")
        if isinstance(cef_faults, str):
            raise TypeError(f"cef_faults: a set of tracker numbers, such as "
                            f"{{{cef_faults!r}}}, not a str")
        self.executable = find_executable(executable)
        self.timeout = timeout
        self.site_isolation = site_isolation
        self.cef_faults = frozenset(str(fault) for fault in cef_faults)
        unknown = self.cef_faults - CEF_FAULTS.keys()
        if unknown:
            raise ValueError(f"cef_faults: {sorted(unknown)} are none of "
                             f"{sorted(CEF_FAULTS)}")
        # Every message, console line and log line of every process.
        self.messages: list[Message] = []
        self.console: list[ConsoleMessage] = []
        self.log: list[LogLine] = []
        # Every process started, in order; dead ones stay.
        self.processes: list[RendererProcess] = []
        self._browsers: dict[str, Browser] = {}
        self._default_browser: str | None = None
        self._next_browser_id = 1
        self._listeners: list[Callable[[Message], None]] = []
        self._pending: collections.deque[Message] = collections.deque()
        self._depth = 0
        self._dispatching = False
        self._closed = False
        self._start(DEFAULT_SITE if site_isolation else None)

    # The first process, as the single-process session had it -------------

    @property
    def first(self) -> RendererProcess:
        return self.processes[0]

    @property
    def pid(self) -> int:
        """The first process's id."""
        return self.first.pid

    @property
    def output(self) -> list[str]:
        """What the first process printed (see RendererProcess.output)."""
        return self.first.output

    @property
    def stderr(self) -> str:
        return self.first.stderr

    def scenario(self, comment: str | None = None) -> dict[str, Any]:
        """The first process's session as a scenario document."""
        return self.first.scenario(comment)

    def save_scenario(self, path: str | os.PathLike[str],
                      comment: str | None = None) -> pathlib.Path:
        """Writes the first process's session as a scenario file."""
        return self.first.save_scenario(path, comment)

    @property
    def recorded_steps(self) -> int:
        """Steps recorded over all processes."""
        return sum(process.recorded_steps for process in self.processes)

    @property
    def died(self) -> bool:
        """Whether a process died unasked (crash() is asking)."""
        return any(process.died and not process.crashed
                   for process in self.processes)

    @property
    def exit_code(self) -> int | None:
        codes = [process.exit_code for process in self.processes
                 if not process.crashed]
        if any(code is None for code in codes):
            return None
        return _worst([code for code in codes if code is not None])

    def close(self) -> int:
        """Ends every process's session (end of input) and returns the worst
        exit code (a process crash() ended does not count). The session
        takes no step after it."""
        self._closed = True
        codes = [process.close() for process in self.processes
                 if not process.crashed]
        return _worst(codes)

    def __enter__(self) -> Renderer:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    # Processes ------------------------------------------------------------

    def _start(self, site: str | None) -> RendererProcess:
        process = RendererProcess(self, FIRST_CLIENT_ID + len(self.processes),
                                  site)
        self.processes.append(process)
        return process

    def process_for(self, site: str) -> RendererProcess:
        """The live process that holds pages of site, started if there is
        none (one for everything without site isolation)."""
        self._check_open()
        wanted = site if self.site_isolation else None
        for process in self.processes:
            if process.site == wanted and process.alive:
                return process
        return self._start(wanted)

    # Steps ----------------------------------------------------------------

    def step(self, step: dict[str, Any]) -> StepResult:
        """Plays one step (the scenario vocabulary) in the process that holds
        its frame (runTasks: in every live process) and returns its output.

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
        return self._together(lambda: self._route(step))

    def _together(self, play: Callable[[], StepResult]) -> StepResult:
        """Runs play (one or several steps) and then hands the listeners
        what it caused."""
        __tracebackhide__ = True
        self._check_open()
        self._depth += 1
        try:
            result = play()
        finally:
            self._depth -= 1
        if self._depth == 0:
            self._dispatch()
        return result

    def _check_open(self) -> None:
        # Else a step after close() would start a process nobody ends.
        if self._closed:
            raise SimulatorError("this Renderer is closed: its processes "
                                 "have ended; start a new Renderer")

    def _route(self, step: dict[str, Any]) -> StepResult:
        __tracebackhide__ = True
        if step.get("do") == "runTasks":
            return self._everywhere(step)
        if not self._delivers(step):
            return StepResult(-1)
        if step.get("do") == "createBrowser":
            return self._create_raw(step)
        handle = step.get("browser", self._default_browser)
        browser = self._browsers.get(handle) if isinstance(handle, str) else None
        frame = step.get("frame")
        if browser is None or not isinstance(frame, str):
            return self.first.play(step)
        process = browser.process_of(frame)
        if process is None:
            return self.first.play(step)
        late = step.get("afterDestroy") is True
        own = (process.destroyed if late else process.browsers).get(handle)
        if own is None:
            return process.play(step)
        return process.play({**step, "browser": own})

    def _create_raw(self, step: dict[str, Any]) -> StepResult:
        # The simulator would number an unnamed browser after its own
        # process's browsers only; the package's next id keeps a later
        # create_browser from asking for the same one.
        __tracebackhide__ = True
        step = {"browserId": self._next_browser_id, **step}
        result = self.first.play(step)
        if type(step["browserId"]) is int:
            self._next_browser_id = max(self._next_browser_id,
                                        step["browserId"] + 1)
        return result

    def _everywhere(self, step: dict[str, Any]) -> StepResult:
        __tracebackhide__ = True
        return _merged([process.play(step) for process in self.processes
                        if process.alive])

    def _heard(self, message: Message) -> None:
        browser = next((b for b in self._browsers.values()
                        if b.id == message.browser), None)
        if browser is not None and message.name in (
                CONTEXT_CREATED, CONTEXT_RELEASED, RENDER_PROCESS_TERMINATED):
            browser._context_news(str(message.frame),
                                  message.name == CONTEXT_CREATED)
            if (message.name == CONTEXT_RELEASED and "2880" in self.cef_faults
                    and browser._cross_site(str(message.frame))):
                return
        self.messages.append(message)
        if self._listeners:
            self._pending.append(message)

    def _delivers(self, step: dict[str, Any]) -> bool:
        """False for a message that CEF tracker 2849 keeps from a cross-site
        iframe's process."""
        if step.get("do") != "message" or "2849" not in self.cef_faults:
            return True
        browser = self._browsers.get(step.get("browser",
                                              self._default_browser) or "")
        frame = step.get("frame")
        return not (browser is not None and isinstance(frame, str)
                    and browser._cross_site(frame))

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
        """Calls listener with every message the renderer processes send from
        now on, after the step that caused it."""
        self._listeners.append(listener)

    def remove_listener(self, listener: Callable[[Message], None]) -> None:
        self._listeners.remove(listener)

    def take_messages(self) -> list[Message]:
        """The messages sent since the last call, oldest first."""
        taken, self.messages = self.messages, []
        return taken

    # Browsers -------------------------------------------------------------

    def create_browser(self, handle: str,
                       frames: Iterable[str | dict[str, Any]] = ("main",)
                       ) -> Browser:
        """Creates a browser; frames are names (children of the main frame)
        or {"name", "parent"?, "frameName"?, "site"?} dictionaries, the main
        frame first. A frame's site is its parent's unless it names one (the
        main frame's: DEFAULT_SITE); under site isolation a frame of another
        site than its parent's is a cross-site iframe, in a process of its
        own."""
        declared = _declarations(frames)
        if handle in self._browsers:
            raise StepRefused(-1, f"browser {handle!r} is already declared")
        browser = Browser(self, handle, self._next_browser_id)
        for frame in declared:
            browser._declare(frame)
        self._together(lambda: browser._create_everywhere())
        self._next_browser_id += 1
        self._browsers[handle] = browser
        if self._default_browser is None:
            self._default_browser = handle
        return browser

    def browser(self, handle: str) -> Browser:
        return self._browsers[handle]

    def run_tasks(self) -> StepResult:
        """Runs the tasks posted to every renderer thread."""
        return self.step({"do": "runTasks"})


# CEF's tracker on the era's site isolation; which of these 81.3 still has
# is not known.
CEF_FAULTS = {
    "2849": "a process message from the browser process does not reach a "
            "cross-site iframe's renderer process (79.0)",
    "2880": "OnContextReleased is not called for a cross-site iframe (79.1)",
}


def _worst(codes: list[int]) -> int:
    """The exit code that says most: a crash over a failed step over 0."""
    odd = [code for code in codes if code not in (0, 1)]
    return odd[0] if odd else max(codes, default=0)


def _declarations(frames: Iterable[str | dict[str, Any]]
                  ) -> list[dict[str, Any]]:
    """The frames of create_browser as declarations; raises before anything
    is declared."""
    if isinstance(frames, (str, bytes)) or not isinstance(frames, Iterable):
        raise TypeError(f"frames: {frames!r} is not a list of frame names "
                        "or dictionaries")
    declared: list[dict[str, Any]] = []
    for frame in frames:
        declaration = ({"name": frame} if isinstance(frame, str)
                       else dict(frame) if isinstance(frame, Mapping) else None)
        if declaration is None or not isinstance(declaration.get("name"), str):
            raise TypeError(f"frames: {frame!r} is neither a frame name nor "
                            "a dictionary with a str \"name\"")
        if any(other["name"] == declaration["name"] for other in declared):
            raise ValueError(f"frames: {declaration['name']!r} is declared "
                             "twice")
        declared.append(declaration)
    if not declared:
        raise ValueError("frames: a browser has at least its main frame")
    return declared


def callback_id_of(callback: int | HasCallbackId) -> int:
    """The id of a page function given by id, JavascriptCallback or
    JsFunction; raises for an id that no CEF int holds."""
    callback_id = (callback if isinstance(callback, int)
                   and not isinstance(callback, bool)
                   else getattr(callback, "callback_id", None))
    if not isinstance(callback_id, int):
        raise TypeError(f"{callback!r} is no page function's id (an int, a "
                        "JavascriptCallback or a JsFunction)")
    if not INT32_MIN <= callback_id <= INT32_MAX:
        raise ValueError(f"callback id {callback_id} does not fit a CEF int "
                         "(int32)")
    return callback_id


class HostCallError(Exception):
    """A host callable raised while answering a page's call, or the page
    called something this host never handed out. The message names the
    page's call; the callable's own exception is the cause.

    When more calls of the same step failed, they all ran and this is the
    first; ``others`` holds the rest, in the order the page made them, and
    each has a note on this one.
    """

    def __init__(self, call: str, frame: Frame, problem: str) -> None:
        super().__init__(f"{call}, called by the page in frame "
                         f"{frame.name!r} of browser {frame.browser.id}, "
                         f"{problem}")
        self.call = call
        self.frame = frame
        self.others: list[BaseException] = []


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
    """A browser of the session; its frames by name, each held by one
    renderer process, where the others see it as remote."""

    def __init__(self, renderer: Renderer, handle: str,
                 browser_id: int) -> None:
        self.renderer = renderer
        self.handle = handle
        self.id = browser_id
        self.destroyed = False
        self._frames: dict[str, Frame] = {}
        # Declarations in tree order (parents first), without "site".
        self._declared: dict[str, dict[str, Any]] = {}
        self._sites: dict[str, str] = {}
        self._local: dict[str, RendererProcess] = {}
        self._with_context: set[str] = set()
        # The processes that have the browser open, in creation order.
        self._holders: list[RendererProcess] = []
        # The Host that plays this browser's browser process, if any.
        self._host: Any = None

    def __repr__(self) -> str:
        return f"<Browser {self.handle!r} (id {self.id})>"

    @property
    def main_frame(self) -> Frame:
        if not self._declared:
            raise SimulatorError(f"{self!r} has no frames left: the process "
                                 "of its main frame died and was not "
                                 "restarted")
        return self._frames[next(iter(self._declared))]

    def frame(self, name: str) -> Frame:
        return self._frames[name]

    @property
    def processes(self) -> list[RendererProcess]:
        """The renderer processes that hold frames of this browser."""
        return list(self._holders)

    def process_of(self, frame: str) -> RendererProcess | None:
        """The process that holds frame's page."""
        return self._local.get(frame)

    # Bookkeeping ------------------------------------------------------------

    def _declare(self, frame: dict[str, Any]) -> Frame:
        frame = dict(frame)
        site = frame.pop("site", None)
        name = frame["name"]
        if self._declared and "parent" not in frame:
            frame["parent"] = next(iter(self._declared))
        parent = frame.get("parent")
        if site is None:
            site = self._sites.get(parent, DEFAULT_SITE) if parent else DEFAULT_SITE
        self._declared[name] = frame
        self._sites[name] = site
        self._frames[name] = Frame(self, name)
        return self._frames[name]

    def _below(self, name: str) -> list[str]:
        """The frames below name, in declaration order."""
        below: list[str] = []
        for frame, declaration in self._declared.items():
            parent = declaration.get("parent")
            if parent == name or parent in below:
                below.append(frame)
        return below

    def _forget(self, names: list[str]) -> None:
        for name in names:
            self._declared.pop(name, None)
            self._local.pop(name, None)
            self._with_context.discard(name)
            self._frames.pop(name, None)

    def _cross_site(self, frame: str) -> bool:
        """Whether frame's page is in another process than the main
        frame's."""
        main = self._local.get(next(iter(self._declared), ""))
        return frame in self._local and self._local[frame] is not main

    def _context_news(self, frame: str, created: bool) -> None:
        if created:
            self._with_context.add(frame)
        else:
            self._with_context.discard(frame)

    def _create_everywhere(self) -> StepResult:
        # Every process starts before the first step: they start side by side.
        for name, site in self._sites.items():
            self._local[name] = self.renderer.process_for(site)
        results = [self._create_in(process)
                   for process in dict.fromkeys(self._local.values())]
        return _merged(results)

    def _create_in(self, process: RendererProcess) -> StepResult:
        __tracebackhide__ = True
        handle = process.handle_for(self.handle)
        frames = [{**declaration, "remote": True}
                  if self._local.get(name) is not process else declaration
                  for name, declaration in self._declared.items()]
        result = process.play({"do": "createBrowser", "id": handle,
                               "browserId": self.id, "frames": frames})
        process.browsers[self.handle] = handle
        self._holders.append(process)
        return result

    def _destroy_in(self, process: RendererProcess) -> StepResult:
        __tracebackhide__ = True
        handle = process.browsers.pop(self.handle)
        process.destroyed[self.handle] = handle
        self._holders.remove(process)
        return process.play({"do": "destroyBrowser", "browser": handle})

    def _in(self, process: RendererProcess, verb: str,
            **keys: Any) -> StepResult:
        __tracebackhide__ = True
        step = {"do": verb, "browser": process.browsers[self.handle]}
        step.update(keys)
        return process.play(step)

    def _leave_empty(self) -> list[StepResult]:
        """A process that holds no frame of the browser any more lets it go,
        as Chromium's does."""
        held = set(self._local.values())
        return [self._destroy_in(process) for process in list(self._holders)
                if process not in held]

    # Frames -----------------------------------------------------------------

    def add_frame(self, name: str, parent: str | None = None,
                  frame_name: str | None = None,
                  site: str | None = None) -> Frame:
        """Adds a sub-frame (below the main frame unless parent names
        another); a site other than its parent's makes it a cross-site
        iframe, in a process of its own under site isolation."""
        self._check_alive()
        for key, value in (("name", name), ("parent", parent),
                           ("frame_name", frame_name), ("site", site)):
            if not isinstance(value, str) and (key == "name" or value is not None):
                raise TypeError(f"add_frame: {key} {value!r} is not a str")
        declaration: dict[str, Any] = {"name": name}
        if parent is not None:
            declaration["parent"] = parent
        if frame_name is not None:
            declaration["frameName"] = frame_name
        if site is not None:
            declaration["site"] = site
        if name in self._declared:
            # Let the renderer refuse it, naming it as it does.
            self.renderer.step({"do": "addFrame", "browser": self.handle,
                                "name": name})
        frame = self._declare(declaration)
        target = self.renderer.process_for(self._sites[name])
        self._local[name] = target

        def play() -> StepResult:
            own = {key: value for key, value in declaration.items()
                   if key != "site"}
            results = [self._in(process, "addFrame", **own,
                                **({"remote": True} if process is not target
                                   else {}))
                       for process in list(self._holders)]
            if target not in self._holders:
                results.append(self._create_in(target))
            return _merged(results)

        try:
            self.renderer._together(play)
        except BaseException:
            self._forget([name])
            raise
        return frame

    def _check_alive(self) -> None:
        if self.destroyed:
            raise SimulatorError(f"{self!r} was destroyed")

    def destroy(self) -> StepResult:
        """Releases the browser's contexts, then OnBrowserDestroyed, in every
        process that holds it."""
        result = self.renderer._together(lambda: _merged(
            [self._destroy_in(process) for process in list(self._holders)]))
        self.destroyed = True
        return result


def _merged(results: list[StepResult]) -> StepResult:
    first = results[0] if results else StepResult(-1)
    for other in results[1:]:
        first.add(other)
    return first


class Frame:
    """A frame: its contexts, the host's messages through it, page script."""

    def __init__(self, browser: Browser, name: str) -> None:
        self.browser = browser
        self.name = name
        # A frame the session knows only by its identifier is named by it.
        self._id: int | None = int(name) if name.isdigit() else None
        self._id_in: RendererProcess | None = self.process

    def __repr__(self) -> str:
        return f"<Frame {self.name!r} of browser {self.browser.handle!r}>"

    @property
    def site(self) -> str:
        """The site of the frame's page."""
        return self.browser._sites[self.name]

    @property
    def process(self) -> RendererProcess | None:
        """The renderer process that holds the frame's page."""
        return self.browser.process_of(self.name)

    @property
    def id(self) -> int:
        """The frame's CEF identifier, which the host knows of every frame a
        message comes through; asked of the renderer (a ``frameId`` step)
        the first time in each process that holds its page (a page that
        moves to another process comes under a new identifier). Raises
        StepRefused once the frame is gone."""
        process = self.process
        if self._id is None or self._id_in is not process:
            self._id = int(self._step("frameId").evals[-1]["id"])
            self._id_in = process
        return self._id

    def _step(self, verb: str, **keys: Any) -> StepResult:
        __tracebackhide__ = True
        if self.browser._frames.get(self.name) is not self:
            # Else the step would reach a process that never had the frame
            # or has let the browser go, and be refused in its terms.
            raise StepRefused(-1, f"{self!r} is gone: it was removed, its "
                              "process ended unrestarted, or the page of a "
                              "frame above it went to another process")
        step = {"do": verb, "browser": self.browser.handle, "frame": self.name}
        step.update(keys)
        return self.browser.renderer.step(step)

    def remove(self) -> StepResult:
        """The page removes this sub-frame: its contexts and those of the
        frames below it are released, and they go (removeFrame)."""
        browser = self.browser
        gone = [self.name, *browser._below(self.name)]

        def play() -> StepResult:
            results = [browser._in(process, "removeFrame", frame=self.name)
                       for process in list(browser._holders)]
            browser._forget(gone)
            return _merged(results + browser._leave_empty())

        return browser.renderer._together(play)

    def define_frame_remover(self, name: str) -> StepResult:
        """Gives this frame's page the global function name: name(frame),
        with a frame's CEF name or identifier, removes that frame of its
        process's browser as remove() does (frameRemover); the package does
        not hear of it, so keep such frames out of later calls."""
        return self._step("frameRemover", **{"as": name})

    def crash(self, restart: bool = True) -> StepResult:
        """The renderer process of this frame dies. The host hears nothing
        from it: the session hands its listeners an OnRenderProcessTerminated
        for every frame that had a context there (a Host takes it as the
        context's release). With restart, a new process of the same site
        (a new client id) loads those frames' pages again: the browser is
        created there and each of them gets a fresh context."""
        renderer = self.browser.renderer
        process_of_frame = self.process
        if process_of_frame is None:
            raise ValueError(f"{self!r} has no renderer process")
        dead: RendererProcess = process_of_frame

        def play() -> StepResult:
            hit = [browser for browser in renderer._browsers.values()
                   if dead in browser._holders]
            lost = {browser: [name for name, process in browser._local.items()
                              if process is dead
                              and name in browser._with_context]
                    for browser in hit}
            dead.crash()
            for browser in hit:
                browser._holders.remove(dead)
                dead.browsers.pop(browser.handle, None)
                for name in lost[browser]:
                    renderer._heard(Message(browser.id, name,
                                            RENDER_PROCESS_TERMINATED, [],
                                            dead.client_id))
            if not restart:
                for browser in hit:
                    browser._forget([name for name, process
                                     in browser._local.items()
                                     if process is dead])
                return StepResult(-1)
            fresh = renderer.process_for(dead.site or DEFAULT_SITE)
            results = []
            for browser in hit:
                for name, process in list(browser._local.items()):
                    if process is dead:
                        browser._local[name] = fresh
                results.append(browser._create_in(fresh))
                results += [fresh.play({
                    "do": "createContext",
                    "browser": fresh.browsers[browser.handle],
                    "frame": name}) for name in lost[browser]]
            return _merged(results)

        return renderer._together(play)

    def navigate(self, site: str | None = None) -> StepResult:
        """The frame loads a new page: its context, if it has one, is
        released (the page's functions go with it), then a fresh one is
        created. A site of another process (under site isolation) moves
        the page there: a main frame's old processes release their contexts
        and the browser (OnBrowserDestroyed), and the page starts in a
        process where the browser's other frames are remote; a sub-frame's
        old process keeps it as a remote frame. Either way the frames below
        it go, and a new process counts callback ids from 1."""
        browser = self.browser
        renderer = browser.renderer
        old = self.process
        if site is not None:
            if not isinstance(site, str) or not site:
                raise TypeError(f"navigate: site {site!r} is not a site name")
            browser._check_alive()
            browser._sites[self.name] = site
        if site is None or old is None or renderer.process_for(site) is old:
            return self._step("createContext")
        new = renderer.process_for(site)
        gone = browser._below(self.name)
        main = self.name == next(iter(browser._declared))

        def play() -> StepResult:
            results = []
            if main:
                results += [browser._destroy_in(process)
                            for process in list(browser._holders)]
                browser._forget(gone)
                browser._local = {self.name: new}
                browser._with_context.clear()
                results.append(browser._create_in(new))
            else:
                for process in list(browser._holders):
                    if process is old or process is new:
                        results.append(browser._in(
                            process, "swapFrame", frame=self.name,
                            remote=process is old))
                    else:
                        results += [browser._in(process, "removeFrame",
                                                frame=child)
                                    for child in gone
                                    if browser._declared[child].get("parent")
                                    == self.name]
                browser._forget(gone)
                browser._local[self.name] = new
                browser._with_context.discard(self.name)
                if new not in browser._holders:
                    results.append(browser._create_in(new))
                results += browser._leave_empty()
            results.append(self._step("createContext"))
            return _merged(results)

        return renderer._together(play)

    def _late(self, after_destroy: bool) -> dict[str, Any]:
        return {"afterDestroy": True} if after_destroy else {}

    def create_context(self, after_destroy: bool = False) -> StepResult:
        """A fresh V8 context (OnContextCreated). With after_destroy the hook
        comes late, for a browser already destroyed."""
        return self._step("createContext", **self._late(after_destroy))

    def release_context(self, after_destroy: bool = False) -> StepResult:
        return self._step("releaseContext", **self._late(after_destroy))

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
        return self.send(PAGE_CALLBACK_MESSAGE, callback_id_of(callback), *args)

    def keep(self, code: str, into: Frame, name: str) -> StepResult:
        """Runs code in this frame's page and sets what it gave as the global
        name of into's page (same browser), as a parent page keeps an
        iframe's function; it outlives this frame's page."""
        if not isinstance(into, Frame) or into.browser is not self.browser:
            raise ValueError(f"keep: into={into!r} is not a frame of "
                             f"{self.browser!r}")
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
