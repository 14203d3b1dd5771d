"""Drive the Quillmoss renderer simulator from Python tests."""

from .renderer import (Browser, ConsoleMessage, Frame, JsText, LogLine, Message,
                       PageError, Renderer, SimulatorDied, SimulatorError,
                       StepRefused, StepResult, find_executable)
from .values import (CALLBACK_MARKER, INVALID, TRUNCATED, HostCallback,
                     JavascriptCallback, bindings, from_cef_json,
                     parse_callback_descriptor, to_cef_json)

__all__ = [
    "Browser", "CALLBACK_MARKER", "ConsoleMessage", "Frame", "HostCallback",
    "INVALID", "JavascriptCallback", "JsText", "LogLine", "Message",
    "PageError", "Renderer", "SimulatorDied", "SimulatorError", "StepRefused",
    "StepResult", "TRUNCATED", "bindings", "find_executable", "from_cef_json",
    "parse_callback_descriptor", "to_cef_json",
]
