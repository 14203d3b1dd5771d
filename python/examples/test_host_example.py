"""A host's bindings tested against the real renderer: copy and adapt.

Runs the road of a binding end to end: the host sends its bindings, the page
calls a bound function passing a callback, the host calls that callback back
with a host callback of its own, the page calls the host callback, and the
context goes.
"""

from quillmoss_sim import HostCallback, JavascriptCallback, Message, Renderer


def test_road_of_a_binding() -> None:
    with Renderer() as renderer:
        browser = renderer.create_browser("b1")
        page = browser.main_frame

        page.create_context()
        assert renderer.take_messages() == [
            Message(1, "main", "OnContextCreated", [])]

        # The host's bindings; installed by the task the message posts.
        page.do_javascript_bindings(
            functions=["saveFile"],
            properties={"version": "1.0", "onReady": HostCallback(12)},
            objects={"external": ["close"]})
        assert page.eval("[typeof saveFile, version, typeof onReady]") == [
            "function", "1.0", "function"]

        # Page calls reach the host as Python values: int versus float; an
        # unsigned number beyond int32 travels as 4 binary bytes.
        assert page.eval("saveFile('notes.txt', 3, 1.5, 3000000000)") is None
        assert renderer.take_messages() == [
            Message(1, "main", "V8FunctionHandler::Execute",
                    ["saveFile", ["notes.txt", 3, 1.5, bytes.fromhex("005ed0b2")]])]

        # A page function passed to the host arrives as a callback.
        page.eval("external.close(function onClosed(reason, done) {"
                  " console.log('closed:', reason); done('ack', [1, 2.5]); })")
        [close] = renderer.take_messages()
        assert close.name == "V8FunctionHandler::Execute"
        name, [on_closed] = close.args
        assert name == "external.close"
        assert isinstance(on_closed, JavascriptCallback)
        assert on_closed.function_name == "onClosed"

        # The host calls it back, handing it host callback 13.
        step = page.execute_javascript_callback(on_closed, "user",
                                                HostCallback(13))
        assert [line.message for line in step.console] == ["closed: user"]
        assert renderer.take_messages() == [
            Message(1, "main", "ExecutePythonCallback", [13, ["ack", [1, 2.5]]])]

        # A host callback among the bound properties.
        page.eval("onReady({ready: true})")
        assert renderer.take_messages() == [
            Message(1, "main", "ExecutePythonCallback", [12, [{"ready": True}]])]

        # Release: the host hears of it and the page's callbacks go.
        page.release_context()
        assert renderer.take_messages() == [
            Message(1, "main", "OnContextReleased", [])]
        step = page.execute_javascript_callback(on_closed)
        assert any("callback map is empty" in line.message for line in step.log)

        browser.destroy()
    assert renderer.close() == 0
