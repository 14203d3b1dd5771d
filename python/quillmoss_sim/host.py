"""The host's half of the protocol, played by Python callables.

A :class:`Host` stands for the browser process of one browser: it binds
Python callables as the page's functions and object methods and Python
values as its properties, sends the bindings, and answers what the renderer
sends by calling those callables with Python values. A page function that
arrives is a :class:`JsFunction`, which calls the page back; a Python
callable handed to the page, in the bindings or as an argument, becomes a
host callback whose id the Host allocates.

Messages are handed over once the step that caused them is over, one at a
time (see :class:`~quillmoss_sim.renderer.Renderer`): a host callable that
calls the page back sees what that call causes only after it returns, as
in a real host.
"""

from __future__ import annotations

from typing import Any, Callable, Mapping, cast

from .renderer import Browser, Frame, Message, StepResult
from .values import JavascriptCallback, to_cef_json

BINDINGS_MESSAGE = "DoJavascriptBindings"
CALL_MESSAGE = "V8FunctionHandler::Execute"
HOST_CALLBACK_MESSAGE = "ExecutePythonCallback"
PAGE_CALLBACK_MESSAGE = "ExecuteJavascriptCallback"
CONTEXT_CREATED = "OnContextCreated"
CONTEXT_RELEASED = "OnContextReleased"

FrameHook = Callable[[Frame], object]


class HostCallError(Exception):
    """A host callable raised while answering a page's call, or the page
    called something this host never handed out. The message names the
    page's call; the callable's own exception is the cause."""

    def __init__(self, call: str, frame: Frame, problem: str) -> None:
        super().__init__(f"{call}, called by the page in frame "
                         f"{frame.name!r} of browser {frame.browser.id}, "
                         f"{problem}")
        self.call = call
        self.frame = frame


class JsFunction:
    """A page function the renderer keeps for the host; calling it sends
    "ExecuteJavascriptCallback" with the arguments as CEF values.

    The call returns what the step gave (log lines, console lines), not the
    function's result: the renderer drops that. Python callables among the
    arguments become host callbacks.
    """

    def __init__(self, host: Host, frame: Frame,
                 callback: JavascriptCallback) -> None:
        self.host = host
        self.frame = frame  # the frame whose page passed it
        self.callback_id = callback.callback_id
        self.frame_id = callback.frame_id
        self.function_name = callback.function_name
        self.descriptor = callback.descriptor
        self._generation = host._releases.get(frame.name, 0)

    @property
    def released(self) -> bool:
        """Whether its frame's context went since it arrived: the renderer
        dropped it, and a call only gets an error line in its log."""
        return self.host._releases.get(self.frame.name, 0) > self._generation

    def __call__(self, *args: Any) -> StepResult:
        __tracebackhide__ = True
        # Through the main frame whichever frame it came from: the renderer
        # refuses messages that arrive through a sub-frame.
        return self.frame.browser.main_frame.send(
            PAGE_CALLBACK_MESSAGE, self.callback_id, *args,
            host_callback=self.host.callback_id)

    def __repr__(self) -> str:
        name = self.function_name or "(anonymous)"
        return (f"<JsFunction {name} #{self.callback_id} of frame "
                f"{self.frame.name!r}>")


class Host:
    """The host of one browser (given as the browser or one of its frames).

    ``on_context_created`` and ``on_context_released``, when set, are called
    with the frame whose V8 context was created or released.
    """

    def __init__(self, target: Browser | Frame) -> None:
        self.browser = target if isinstance(target, Browser) else target.browser
        self.on_context_created: FrameHook | None = None
        self.on_context_released: FrameHook | None = None
        self._bound: dict[str, Callable[..., Any]] = {}
        self._callbacks: dict[int, Callable[..., Any]] = {}
        self._callback_ids: dict[Callable[..., Any], int] = {}
        self._releases: dict[str, int] = {}
        self.browser.renderer.add_listener(self._receive)

    def close(self) -> None:
        """Stops answering the renderer's messages."""
        self.browser.renderer.remove_listener(self._receive)

    # Bindings ---------------------------------------------------------------

    def bind(self, functions: Mapping[str, Callable[..., Any]] | None = None,
             properties: Mapping[str, Any] | None = None,
             objects: Mapping[str, Mapping[str, Callable[..., Any]]] | None = None,
             *, bind_to_frames: bool = False,
             run_tasks: bool = True) -> StepResult:
        """Sends "DoJavascriptBindings" through the browser's main frame and,
        unless run_tasks is False, runs the installation tasks it posts.

        ``functions`` and the methods in ``objects`` map JavaScript names to
        Python callables; ``properties`` maps global names to Python values,
        in which callables become host callbacks. The new bindings replace
        the old ones, as they do in the renderer.
        """
        bound: dict[str, Callable[..., Any]] = {}
        for name, function in (functions or {}).items():
            bound[name] = _callable(function, f"functions[{name!r}]")
        for object_name, methods in (objects or {}).items():
            for method, function in methods.items():
                # The renderer names a method's calls object.method.
                bound[f"{object_name}.{method}"] = _callable(
                    function, f"objects[{object_name!r}][{method!r}]")
        dictionary = {
            "bindToFrames": bind_to_frames,
            "functions": {name: None for name in functions or {}},
            "properties": dict(properties or {}),
            "objects": {name: {method: None for method in methods}
                        for name, methods in (objects or {}).items()},
        }
        frame = self.browser.main_frame
        # A value without a CEF form is refused before anything changes, so
        # the old bindings go on answering.
        to_cef_json(dictionary, "bindings", self.callback_id)
        self._bound = bound
        result = frame.send(BINDINGS_MESSAGE, dictionary,
                            host_callback=self.callback_id)
        if run_tasks:
            tasks = self.browser.renderer.run_tasks()
            result.messages += tasks.messages
            result.console += tasks.console
            result.log += tasks.log
            result.notes += tasks.notes
        return result

    def callback_id(self, function: Callable[..., Any]) -> int:
        """The host-callback id that stands for function, given on first
        use; the same callable (an equal bound method too) keeps its id."""
        try:
            known = self._callback_ids.get(function)
        except TypeError:  # unhashable: a new id each time
            known = None
        if known is not None:
            return known
        callback_id = len(self._callbacks) + 1
        self._callbacks[callback_id] = function
        try:
            self._callback_ids[function] = callback_id
        except TypeError:
            pass
        return callback_id

    # Messages from the renderer ---------------------------------------------

    def __repr__(self) -> str:
        return f"<Host of browser {self.browser.handle!r}>"

    def _receive(self, message: Message) -> None:
        __tracebackhide__ = True  # see Renderer.step
        if message.browser != self.browser.id:
            return
        frame = self._frame(message.frame)
        if message.name == CONTEXT_CREATED:
            self._hook(self.on_context_created, frame, "on_context_created")
        elif message.name == CONTEXT_RELEASED:
            key = frame.name
            self._releases[key] = self._releases.get(key, 0) + 1
            self._hook(self.on_context_released, frame, "on_context_released")
        elif message.name == CALL_MESSAGE:
            name, args = message.args
            function = self._bound.get(name)
            self._call(function, name, frame, args)
        elif message.name == HOST_CALLBACK_MESSAGE:
            callback_id, args = message.args
            function = self._callbacks.get(callback_id)
            label = f"host callback {callback_id}"
            if function is not None:
                label += f" ({_name_of(function)})"
            self._call(function, label, frame, args)

    def _frame(self, name: str | int) -> Frame:
        try:
            return self.browser.frame(str(name))
        except KeyError:
            # A frame the session does not know by name (its numeric id).
            return Frame(self.browser, str(name))

    def _convert(self, frame: Frame, value: Any) -> Any:
        """The message's value with its page functions callable through this
        host."""
        if isinstance(value, JavascriptCallback):
            return JsFunction(self, frame, value)
        if isinstance(value, list):
            return [self._convert(frame, item) for item in value]
        if isinstance(value, dict):
            return {key: self._convert(frame, item)
                    for key, item in value.items()}
        return value

    def _call(self, function: Callable[..., Any] | None, name: str,
              frame: Frame, raw_args: list[Any]) -> None:
        __tracebackhide__ = True
        args = [self._convert(frame, arg) for arg in raw_args]
        call = f"{name}({', '.join(map(repr, args))})"
        if function is None:
            raise HostCallError(call, frame, "is not bound by this host")
        try:
            function(*args)
        except Exception as error:
            raise HostCallError(
                call, frame, f"raised {type(error).__name__}: {error}"
            ) from _from_caller(error)

    def _hook(self, hook: FrameHook | None, frame: Frame, name: str) -> None:
        __tracebackhide__ = True
        if hook is None:
            return
        try:
            hook(frame)
        except Exception as error:
            raise HostCallError(
                f"{name}({frame!r})", frame,
                f"raised {type(error).__name__}: {error}"
            ) from _from_caller(error)


def _callable(value: Any, where: str) -> Callable[..., Any]:
    if not callable(value):
        raise TypeError(f"{where}: {type(value).__name__} is not callable")
    return cast(Callable[..., Any], value)


def _name_of(function: Callable[..., Any]) -> str:
    return getattr(function, "__qualname__", None) or repr(function)


def _from_caller(error: Exception) -> Exception:
    """The error with its traceback starting in the host's callable, not in
    the line of this module that called it."""
    if error.__traceback__ is not None and error.__traceback__.tb_next:
        error.__traceback__ = error.__traceback__.tb_next
    return error
