"""A host's Python side tested against the real renderer: copy and adapt.

The road of a binding with the host side: the host binds its Python
functions, an object and a host callback; the page calls a function and an
object method, passing a callback; the host calls that back with a Python
callable; the page calls it; the context goes.
"""

from unittest import mock

from quillmoss_sim import Frame, Host, JsFunction


class FileService:
    """What a host might bind: a file service and a window object."""

    def __init__(self) -> None:
        self.saved: dict[str, object] = {}
        self.acknowledged: list[list[object]] = []
        self.on_closed: JsFunction | None = None

    def save_file(self, name: str, *content: object) -> None:
        self.saved[name] = list(content)

    def close(self, on_closed: JsFunction) -> None:
        self.on_closed = on_closed
        on_closed("user", self.acknowledge)  # the page gets a function

    def acknowledge(self, *args: object) -> None:
        self.acknowledged.append(list(args))


def test_road_of_a_binding(quillmoss_page: Frame, quillmoss_host: Host) -> None:
    service, on_ready = FileService(), mock.Mock()
    quillmoss_host.bind(
        functions={"saveFile": service.save_file},
        properties={"version": "1.0", "onReady": on_ready},
        objects={"external": {"close": service.close}})
    assert quillmoss_page.eval(
        "[typeof saveFile, version, typeof onReady, typeof external.close]"
    ) == ["function", "1.0", "function", "function"]

    # int versus float; an unsigned number beyond int32 arrives as 4 bytes.
    assert quillmoss_page.eval("saveFile('notes.txt', 3, 1.5, 3000000000)") is None
    assert service.saved == {"notes.txt": [3, 1.5, bytes.fromhex("005ed0b2")]}

    quillmoss_page.eval("""
        external.close(function onClosed(reason, done) {
            window.closedWith = reason;
            done('ack', [1, 2.5]);
        })""")
    assert quillmoss_page.eval("closedWith") == "user"
    assert service.acknowledged == [["ack", [1, 2.5]]]
    assert service.on_closed is not None
    assert service.on_closed.function_name == "onClosed"

    quillmoss_page.eval("onReady({ready: true})")
    on_ready.assert_called_once_with({"ready": True})

    quillmoss_page.release_context()
    assert service.on_closed.released
