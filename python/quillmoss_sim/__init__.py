"""Test a Quillmoss host's Python side against the real renderer.

:class:`Renderer` runs the renderer simulator as a live session and plays the
browser process step by step; :class:`Host` plays the host's half of the
protocol with Python callables. Installed, the package is also a pytest
plugin (``quillmoss_sim.pytest_plugin``) with fixtures for both.
"""

from .executable import (ExecutableNotFound, find_executable,
                         locate_executable)
from .errors import SimulatorError
from .host import (Caller, Host, JsFunction, RefusedDescriptor,
                   ReleasedFunctionWarning)
from .renderer import (Browser, ConsoleMessage, ExpectationFailed, Frame,
                       HostCallError, JsText, LogLine, Message, PageError,
                       Refusal, Renderer, RendererProcess, SimulatorDied,
                       StepRefused, StepResult)
from .protocol import CALLBACK_MARKER, bindings
from .values import (INVALID, TRUNCATED, HostCallback, JavascriptCallback,
                     from_cef_json, parse_callback_descriptor, to_cef_json)

__version__ = "0.1.0"

__all__ = [
    "Browser", "CALLBACK_MARKER", "Caller", "ConsoleMessage", "ExecutableNotFound",
    "ExpectationFailed", "Frame", "Host", "HostCallError", "HostCallback",
    "INVALID", "JavascriptCallback", "JsFunction", "JsText", "LogLine",
    "Message", "PageError", "Refusal", "RefusedDescriptor",
    "ReleasedFunctionWarning", "Renderer", "RendererProcess",
    "SimulatorDied", "SimulatorError",
    "StepRefused", "StepResult", "TRUNCATED", "bindings", "find_executable",
    "from_cef_json", "locate_executable", "parse_callback_descriptor",
    "to_cef_json",
]
