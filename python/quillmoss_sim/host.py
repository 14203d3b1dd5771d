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

import inspect
import warnings
from dataclasses import dataclass
from typing import Any, Callable, Mapping, cast

from .protocol import (BINDINGS_MESSAGE, CALL_ARGUMENTS_INDEX, CALL_MESSAGE,
                       CONTEXT_CREATED, CONTEXT_RELEASED, FUNCTION_NAME_INDEX,
                       HOST_CALLBACK_ID_INDEX, HOST_CALLBACK_MESSAGE,
                       PAGE_CALLBACK_MESSAGE, RENDER_PROCESS_TERMINATED,
                       bindings)
from .renderer import (Browser, Frame, HasCallbackId, HostCallError, Message,
                       Refusal, StepRefused, StepResult, callback_id_of)
from .values import JavascriptCallback, to_cef_json

FrameHook = Callable[[Frame], object]


class ReleasedFunctionWarning(UserWarning):
    """A JsFunction was called after its page went (or the renderer never
    had it), so nothing ran."""


@dataclass(frozen=True)
class Caller:
    """Where a page's call came from, as the host knows it from the
    message: the frame it came through and its browser. A bound callable
    gets it by declaring a keyword-only parameter ``caller``."""

    frame: Frame
    browser: Browser
    client_id: int  # of the renderer process that sent the call


def _wants_caller(function: Callable[..., Any]) -> bool:
    try:
        parameter = inspect.signature(function).parameters.get("caller")
    except (TypeError, ValueError):  # no signature to read
        return False
    return (parameter is not None
            and parameter.kind is inspect.Parameter.KEYWORD_ONLY)


@dataclass(frozen=True)
class RefusedDescriptor:
    """A callback descriptor that a :class:`Host` would not make into a
    :class:`JsFunction`; the host's callable got ``descriptor``, the text as
    it came, in its place. ``reason`` is "other-frame" (its "frameId" is not
    the frame the message came through) or "bad-id" (its "callbackId" is
    not positive)."""

    frame: Frame
    descriptor: str
    reason: str


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
        # The frame the renderer keeps it under (the calling frame); its
        # upper 32 bits are the renderer process's client id.
        self.frame_id = callback.frame_id
        self.function_name = callback.function_name
        self.descriptor = callback.descriptor  # the string as it came
        self._generation = host.context_releases(frame)

    @property
    def client_id(self) -> int:
        """The client id of the renderer process that keeps it."""
        return self.frame_id >> 32

    @property
    def released(self) -> bool:
        """Whether its frame's context went since it arrived (the page
        navigated, was removed, or its renderer died): the renderer dropped
        it, and a later call is refused."""
        return self.host.context_releases(self.frame) > self._generation

    def __call__(self, *args: Any) -> StepResult:
        """Calls the page function. Once released, or when the browser's
        main frame is in another process than the one that keeps it, the
        call is refused as data and nothing is sent: its id may name
        another page's function by now (callback ids count per process, and
        a new process counts from 1). The StepResult's refusals then hold
        ``page-gone``, and ReleasedFunctionWarning is warned."""
        __tracebackhide__ = True
        main = self.host.browser.main_frame.process
        if self.released or main is None or main.client_id != self.client_id:
            warnings.warn(ReleasedFunctionWarning(
                f"{self!r} was called after its page went; nothing was sent"),
                stacklevel=2)
            result = StepResult(-1)
            result.refusals.append(Refusal("page-gone", self.callback_id,
                                           None))
            return result
        result = self.host.execute_javascript_callback(self.callback_id,
                                                        *args)
        refused = [refusal for refusal in result.refusals
                   if refusal.reason in ("unknown-callback", "context-gone")
                   and refusal.callback_id == self.callback_id]
        if refused and refused[0].line is not None:
            warnings.warn(ReleasedFunctionWarning(
                f"{self!r} was called after the renderer dropped it; nothing "
                f"ran (the renderer logged: {refused[0].line.message})"),
                stacklevel=2)
        return result

    def __repr__(self) -> str:
        name = self.function_name or "(anonymous)"
        return (f"<JsFunction {name} #{self.callback_id} of frame "
                f"{self.frame.name!r}>")


class Host:
    """The host of one browser (given as the browser or one of its frames).

    ``on_context_created`` and ``on_context_released``, when set, are called
    with the frame whose V8 context was created or released (also when its
    renderer process died).

    Bindings live in a renderer process: a main frame whose page comes from
    a process that never had them (a cross-site navigation, a restarted
    renderer) starts without them, so the Host sends them again when it
    hears of that page's context, as a host must.
    """

    def __init__(self, target: Browser | Frame) -> None:
        if not isinstance(target, (Browser, Frame)):
            raise TypeError(f"Host({type(target).__name__}): a Host plays "
                            "the browser process of a Browser (or a Frame's)")
        self.browser = target if isinstance(target, Browser) else target.browser
        # Two would count host-callback ids alike and each answer the
        # page's calls of the other's callbacks.
        if self.browser._host is not None:
            raise ValueError(f"{self.browser!r} has a Host already; close() "
                             "it before making another")
        self.browser._host = self
        self.on_context_created: FrameHook | None = None
        self.on_context_released: FrameHook | None = None
        self._bound: dict[str, Callable[..., Any]] = {}
        self._callbacks: dict[int, Callable[..., Any]] = {}
        self._callback_ids: dict[Callable[..., Any], int] = {}
        self._releases: dict[str, int] = {}
        self._dictionary: dict[str, Any] | None = None
        # Client ids of the processes the current bindings were sent to.
        self._bound_in: set[int] = set()
        # Descriptors refused as forged, oldest first.
        self.refused_descriptors: list[RefusedDescriptor] = []
        self.browser.renderer.add_listener(self._receive)

    def close(self) -> None:
        """Stops answering the renderer's messages (again: nothing more)."""
        if self.browser._host is not self:
            return
        self.browser._host = None
        self.browser.renderer.remove_listener(self._receive)

    def context_releases(self, frame: Frame) -> int:
        """How many times the renderer reported frame's V8 context
        released since this host began."""
        return self._releases.get(frame.name, 0)

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
        _mapping(properties, "properties", "values")
        if not isinstance(bind_to_frames, bool):
            raise TypeError("bind_to_frames: "
                            f"{type(bind_to_frames).__name__} is not a bool")
        bound: dict[str, Callable[..., Any]] = {}
        for name, function in _mapping(functions, "functions").items():
            # The renderer installs it, but reads a called name with a full
            # stop as object.method: it would throw at every call.
            if isinstance(name, str) and "." in name:
                raise ValueError(
                    f"functions[{name!r}]: a function name with a full stop "
                    "is never callable; bind a method with objects="
                    "{'object': {'method': callable}}")
            bound[name] = _callable(function, f"functions[{name!r}]")
        for object_name, methods in _mapping(objects, "objects").items():
            # Its calls, object.method, split at the first full stop.
            if isinstance(object_name, str) and "." in object_name:
                raise ValueError(
                    f"objects[{object_name!r}]: an object name with a full "
                    "stop is never callable (a method name may have one)")
            for method, function in _mapping(
                    methods, f"objects[{object_name!r}]").items():
                # The renderer names a method's calls object.method.
                bound[f"{object_name}.{method}"] = _callable(
                    function, f"objects[{object_name!r}][{method!r}]")
        dictionary = bindings(functions or {}, properties, objects,
                              bind_to_frames)
        result = self._send(BINDINGS_MESSAGE, lambda: [to_cef_json(
            dictionary, "bindings", self.callback_id, within=1)], bound)
        self._dictionary = dictionary
        main = self.browser.main_frame.process
        self._bound_in = {main.client_id} if main is not None else set()
        if run_tasks:
            result.add(self.browser.renderer.run_tasks())
        return result

    def execute_javascript_callback(self, callback: int | HasCallbackId,
                                    *args: Any) -> StepResult:
        """Sends "ExecuteJavascriptCallback" for the page function (by id,
        a JavascriptCallback or a JsFunction) through the main frame; Python
        callables among args become this host's callbacks."""
        __tracebackhide__ = True
        callback_id = callback_id_of(callback)
        # The id's slot is the message's own: args[0] is the host's first.
        return self._send(PAGE_CALLBACK_MESSAGE, lambda: [
            callback_id, *to_cef_json(list(args), "args", self.callback_id)])

    def _send(self, name: str, convert: Callable[[], list[Any]],
              bound: dict[str, Callable[..., Any]] | None = None
              ) -> StepResult:
        """Sends message name with the arguments convert() gives (the JSON
        form of CEF values) through the main frame, the only one the
        renderer takes the host's messages from, and, with bound, makes
        those the bindings the host answers with.

        Unless the renderer took the step, the host stays as it was: a
        value without a CEF form raises before anything is sent, and the
        host callbacks the args introduced and bound are dropped again.
        """
        __tracebackhide__ = True
        renderer = self.browser.renderer
        steps, known = renderer.recorded_steps, len(self._callbacks)
        previous = self._bound
        try:
            converted = convert()
            if bound is not None:
                # Before the step: the calls it causes are answered by these.
                self._bound = bound
            return self.browser.main_frame.send_values(name, converted)
        except BaseException:
            if renderer.recorded_steps == steps:
                self._bound = previous
                self._forget_callbacks_after(known)
            raise

    def _forget_callbacks_after(self, known: int) -> None:
        while len(self._callbacks) > known:
            function = self._callbacks.pop(len(self._callbacks))
            try:
                self._callback_ids.pop(function, None)
            except TypeError:  # unhashable: it never had an entry
                pass

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
        caller = Caller(frame, self.browser, message.client_id)
        if message.name == CONTEXT_CREATED:
            self._bind_again(frame, message.client_id)
            self._hook(self.on_context_created, frame, "on_context_created")
        elif message.name in (CONTEXT_RELEASED, RENDER_PROCESS_TERMINATED):
            key = frame.name
            self._releases[key] = self._releases.get(key, 0) + 1
            self._hook(self.on_context_released, frame, "on_context_released")
        elif message.name == CALL_MESSAGE:
            name = message.args[FUNCTION_NAME_INDEX]
            args = message.args[CALL_ARGUMENTS_INDEX]
            function = self._bound.get(name)
            self._call(function, name, caller, args)
        elif message.name == HOST_CALLBACK_MESSAGE:
            callback_id = message.args[HOST_CALLBACK_ID_INDEX]
            args = message.args[CALL_ARGUMENTS_INDEX]
            function = self._callbacks.get(callback_id)
            label = f"host callback {callback_id}"
            if function is not None:
                label += f" ({_name_of(function)})"
            self._call(function, label, caller, args)

    def _bind_again(self, frame: Frame, client_id: int) -> None:
        """The main frame's page in a process that has not had the bindings
        gets them now."""
        __tracebackhide__ = True
        if (self._dictionary is None or client_id in self._bound_in
                or frame is not self.browser.main_frame):
            return
        self._bound_in.add(client_id)
        dictionary = self._dictionary
        self._send(BINDINGS_MESSAGE, lambda: [to_cef_json(
            dictionary, "bindings", self.callback_id, within=1)])
        self.browser.renderer.run_tasks()

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
            reason = self._descriptor_refusal(frame, value)
            if reason is None:
                return JsFunction(self, frame, value)
            self.refused_descriptors.append(
                RefusedDescriptor(frame, value.descriptor, reason))
            return value.descriptor
        if isinstance(value, list):
            return [self._convert(frame, item) for item in value]
        if isinstance(value, dict):
            return {key: self._convert(frame, item)
                    for key, item in value.items()}
        return value

    @staticmethod
    def _descriptor_refusal(frame: Frame,
                            callback: JavascriptCallback) -> str | None:
        """Why callback must not become a JsFunction, or None. The renderer
        stores a page function under the frame whose call carried it, and
        never lets a page string pass as a descriptor; this is the host's
        own wall, since a call by id reaches whatever function has the id."""
        if callback.callback_id <= 0:
            return "bad-id"
        try:
            frame_id = frame.id
        except StepRefused:  # the frame went: nothing of it can be called
            return "other-frame"
        return None if callback.frame_id == frame_id else "other-frame"

    def _call(self, function: Callable[..., Any] | None, name: str,
              caller: Caller, raw_args: list[Any]) -> None:
        __tracebackhide__ = True
        frame = caller.frame
        args = [self._convert(frame, arg) for arg in raw_args]
        call = f"{name}({', '.join(map(repr, args))})"
        if function is None:
            raise HostCallError(call, frame, "is not bound by this host")
        try:
            if _wants_caller(function):
                function(*args, caller=caller)
            else:
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


def _mapping(value: Any, where: str,
             of: str = "callables") -> Mapping[Any, Any]:
    if value is None:
        return {}
    if not isinstance(value, Mapping):
        raise TypeError(f"{where}: {type(value).__name__} is not a mapping of "
                        f"names to {of}")
    return value


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
