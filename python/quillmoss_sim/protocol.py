"""The messages between the browser process and the renderer: their names,
where their arguments stand, and the bindings dictionary.

The names and positions are the renderer's (common/process_messages.h); a change
there changes this.
"""

from __future__ import annotations

from typing import Any, Iterable, Mapping

# Browser process to renderer.
BINDINGS_MESSAGE = "DoJavascriptBindings"
PAGE_CALLBACK_MESSAGE = "ExecuteJavascriptCallback"

# Renderer to browser process.
CALL_MESSAGE = "V8FunctionHandler::Execute"
HOST_CALLBACK_MESSAGE = "ExecutePythonCallback"
CONTEXT_CREATED = "OnContextCreated"
CONTEXT_RELEASED = "OnContextReleased"
# Not a message: what the browser process hears when a renderer dies (CEF's
# CefRequestHandler::OnRenderProcessTerminated), per frame that had a context.
RENDER_PROCESS_TERMINATED = "OnRenderProcessTerminated"

# Argument positions: DoJavascriptBindings' dictionary;
# ExecuteJavascriptCallback's callback id (its arguments follow);
# ExecutePythonCallback's host callback id; V8FunctionHandler::Execute's
# bound name; the list of the page's arguments in both of those.
BINDINGS_INDEX = 0
CALLBACK_ID_INDEX = 0
HOST_CALLBACK_ID_INDEX = 0
FUNCTION_NAME_INDEX = 0
CALL_ARGUMENTS_INDEX = 1

# Keys of the bindings dictionary.
BIND_TO_FRAMES_KEY = "bindToFrames"
FUNCTIONS_KEY = "functions"
PROPERTIES_KEY = "properties"
OBJECTS_KEY = "objects"

# What a JavaScript function passed to the host turns into on its way out.
CALLBACK_MARKER = "####quillmoss####"


def bindings(functions: Iterable[str] = (),
             properties: Mapping[str, Any] | None = None,
             objects: Mapping[str, Iterable[str]] | None = None,
             bind_to_frames: bool = False) -> dict[str, Any]:
    """The bindings dictionary of "DoJavascriptBindings", all four keys set.

    ``functions`` and each object's methods are names; the renderer reads only
    the keys of those dictionaries.
    """
    return {
        BIND_TO_FRAMES_KEY: bind_to_frames,
        FUNCTIONS_KEY: {name: None for name in functions},
        PROPERTIES_KEY: dict(properties or {}),
        OBJECTS_KEY: {name: {method: None for method in methods}
                      for name, methods in (objects or {}).items()},
    }
