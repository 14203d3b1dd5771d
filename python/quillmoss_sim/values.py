"""Python values <-> the JSON form of CEF values the simulator reads and writes.

Python's own types choose the CEF type: ``int`` is a CEF int (int32), ``float``
a double even when whole, ``bytes`` a binary value, :class:`HostCallback` the
20-byte binary that stands for a host callback. In what the renderer sends,
a string that carries a callback descriptor becomes a
:class:`JavascriptCallback`.

A Python callable has no CEF value of its own: it needs someone who gives it
a host-callback id and answers the page's calls of it, which is what a
:class:`~quillmoss_sim.host.Host` does through the ``host_callback`` hook.

The form is the simulator's (cef_standin/simulator/cef_value_json.cc) and
the value table of docs/scenarios.md: a change there changes this.
"""

from __future__ import annotations

import json
import math
from dataclasses import dataclass
from typing import Any, Callable

from .protocol import CALLBACK_MARKER

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
# The simulator reads a message's arguments nested no deeper, their list
# counted.
MAX_DEPTH = 200


@dataclass(frozen=True)
class HostCallback:
    """A host function handed to the page; the page calls it by this id."""

    callback_id: int

    def __post_init__(self) -> None:
        if not INT32_MIN <= self.callback_id <= INT32_MAX:
            raise ValueError(f"host callback id {self.callback_id} is not an int32")
        # The renderer reads id 0 as a bound function's handler, which has no
        # name to forward: the page would get a function that reaches nobody.
        if self.callback_id == 0:
            raise ValueError("host callback id 0 is reserved: the page's "
                             "function would reach no host callback")


@dataclass(frozen=True)
class JavascriptCallback:
    """A page function kept by the renderer, as its descriptor names it."""

    callback_id: int
    frame_id: int
    function_name: str
    descriptor: str  # the string as it came, marker included


class Invalid:
    """An invalid CEF value reference in the renderer's output."""

    def __repr__(self) -> str:
        return "INVALID"


class Truncated:
    """A value nested deeper than the output writes."""

    def __repr__(self) -> str:
        return "TRUNCATED"


INVALID = Invalid()
TRUNCATED = Truncated()


HostCallbackHook = Callable[[Callable[..., Any]], int]


def check_text(text: str, where: str) -> str:
    """text, unless it holds a lone surrogate, which no CEF string the host
    sends can carry: the renderer reads the scenario format's UTF-8, and
    its JSON parser refuses an escaped lone surrogate too."""
    try:
        text.encode("utf-8")
    except UnicodeEncodeError as error:
        raise ValueError(
            f"{where}: the string holds a lone surrogate "
            f"{text[error.start]!r} at index {error.start}, which has no "
            "UTF-8 form") from None
    return text


def check_texts(value: Any, path: str) -> None:
    """Raises ValueError naming the first string in value (keys included)
    that holds a lone surrogate."""
    if isinstance(value, str):
        check_text(value, path)
    elif isinstance(value, (list, tuple)):
        for i, item in enumerate(value):
            check_texts(item, f"{path}[{i}]")
    elif isinstance(value, dict):
        for key, item in value.items():
            check_texts(key, f"{path}: the key {key!r}")
            check_texts(item, f"{path}.{key}")


def to_cef_json(value: Any, path: str = "value",
                host_callback: HostCallbackHook | None = None,
                within: int = 0, _enclosing: set[int] | None = None) -> Any:
    """Maps a Python value to the simulator's JSON form of a CEF value.

    ``host_callback`` gives a Python callable its host-callback id; without
    it a callable is refused. A list or dictionary that contains itself is
    refused: a CEF value is a tree (one held twice is copied twice). So is
    one nested deeper than MAX_DEPTH, counting the ``within`` lists and
    dictionaries that the message puts around the value.
    """
    if isinstance(value, (list, tuple, dict)):
        # The containers on the way down from the top, by identity.
        enclosing = set() if _enclosing is None else _enclosing
        if id(value) in enclosing:
            raise ValueError(f"{path}: the value contains itself, which no "
                             "CEF value can")
        if within + len(enclosing) == MAX_DEPTH:
            raise ValueError(f"{path}: nested deeper than {MAX_DEPTH} lists "
                             "and dictionaries with the message's argument "
                             "list, more than the simulator reads (the "
                             "renderer converts 8)")
        enclosing.add(id(value))
        try:
            return _container_to_cef_json(value, path, host_callback,
                                          within, enclosing)
        finally:
            enclosing.discard(id(value))
    if value is None or isinstance(value, bool):
        return value
    if isinstance(value, str):
        return check_text(value, path)
    if isinstance(value, HostCallback):
        return {"$callback": value.callback_id}
    if isinstance(value, int):
        if not INT32_MIN <= value <= INT32_MAX:
            raise ValueError(
                f"{path}: {value} does not fit a CEF int (int32); pass a float")
        return value
    if isinstance(value, float):
        if math.isnan(value):
            return {"$double": "NaN"}
        if math.isinf(value):
            return {"$double": "Infinity" if value > 0 else "-Infinity"}
        # json writes floats with a fraction or an exponent: they stay doubles.
        return value
    if isinstance(value, (bytes, bytearray, memoryview)):
        data = bytes(value)
        if not data:
            raise ValueError(f"{path}: CEF has no empty binary value")
        return {"$binary": data.hex()}
    if callable(value):
        if host_callback is None:
            raise TypeError(
                f"{path}: a Python callable becomes a host callback only "
                "through a Host (or pass HostCallback(id))")
        return {"$callback": HostCallback(host_callback(value)).callback_id}
    raise TypeError(f"{path}: {type(value).__name__} has no CEF value")


def _container_to_cef_json(value: list[Any] | tuple[Any, ...] | dict[Any, Any],
                           path: str, host_callback: HostCallbackHook | None,
                           within: int, enclosing: set[int]) -> Any:
    if not isinstance(value, dict):
        return [to_cef_json(item, f"{path}[{i}]", host_callback, within,
                            enclosing)
                for i, item in enumerate(value)]
    converted: dict[str, Any] = {}
    for key, item in value.items():
        if not isinstance(key, str):
            raise TypeError(f"{path}: dictionary key {key!r} is not a string")
        check_text(key, f"{path}: the key {key!r}")
        converted[key] = to_cef_json(item, f"{path}.{key}", host_callback,
                                     within, enclosing)
    # A lone "$" key would read as a tag.
    if len(converted) == 1 and next(iter(converted)).startswith("$"):
        return {"$dict": converted}
    return converted


def parse_callback_descriptor(text: str) -> JavascriptCallback | None:
    """The callback a descriptor string names, or None for any other string."""
    if not text.startswith(CALLBACK_MARKER):
        return None
    try:
        fields = json.loads(text[len(CALLBACK_MARKER):])
        return JavascriptCallback(
            callback_id=int(fields["callbackId"]),
            frame_id=int(fields["frameId"]),
            function_name=str(fields["functionName"]),
            descriptor=text)
    except (ValueError, KeyError, TypeError):
        return None


def from_cef_json(value: Any) -> Any:
    """Maps the renderer's JSON form of a CEF value to a Python value."""
    if isinstance(value, str):
        callback = parse_callback_descriptor(value)
        return callback if callback is not None else value
    if isinstance(value, list):
        return [from_cef_json(item) for item in value]
    if isinstance(value, dict):
        if len(value) == 1:
            (tag, inner), = value.items()
            if tag == "$binary":
                return bytes.fromhex(inner)
            if tag == "$dict":
                return {key: from_cef_json(item) for key, item in inner.items()}
            if tag == "$invalid":
                return INVALID
            if tag == "$truncated":
                return TRUNCATED
        return {key: from_cef_json(item) for key, item in value.items()}
    return value

