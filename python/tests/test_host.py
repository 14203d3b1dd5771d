"""The host side against the real renderer: bound Python callables, host
callbacks, page functions, errors, and the order in which a host hears."""

from unittest import mock

import pytest

from quillmoss_sim import Host, HostCallError, JsFunction, Message


def test_calls_reach_functions_and_methods_as_python_values(
        quillmoss_page, quillmoss_host):
    save, close = mock.Mock(), mock.Mock()
    quillmoss_host.bind(functions={"saveFile": save},
                        objects={"external": {"close": close}})
    quillmoss_page.eval("saveFile('n', 3, 1.5, 3000000000, {a: [true, null]});"
                        "external.close()")
    save.assert_called_once_with("n", 3, 1.5, bytes.fromhex("005ed0b2"),
                                 {"a": [True, None]})
    close.assert_called_once_with()


def test_python_callables_become_host_callbacks(quillmoss_page, quillmoss_host):
    heard = []

    def ready(*args):
        heard.append(("ready", args))

    quillmoss_host.bind(properties={"version": "1.0", "onReady": ready,
                                    "hooks": {"more": [ready, len]}})
    quillmoss_page.eval("onReady(1, 'x'); hooks.more[0]({k: 2.5})")
    assert heard == [("ready", (1, "x")), ("ready", ({"k": 2.5},))]
    assert quillmoss_page.eval("version") == "1.0"
    # One id per callable, however often it is handed out.
    assert quillmoss_host.callback_id(ready) == 1
    assert quillmoss_host.callback_id(len) == 2


def test_page_functions_call_the_page_back_through_the_main_frame(
        quillmoss_renderer):
    browser = quillmoss_renderer.create_browser("b1", ["main", "A"])
    child = browser.frame("A")
    child.create_context()
    host = Host(child)
    kept, answers = [], []
    host.bind(functions={"ask": kept.append}, bind_to_frames=True)
    child.eval("ask(function reply(text, confirm) {"
               " window.got = text; confirm(text + '!'); })")
    [reply] = kept
    assert isinstance(reply, JsFunction) and reply.frame is child
    assert reply.function_name == "reply" and not reply.released
    # A sub-frame's function, called through the main frame (a message
    # through the sub-frame would be refused), with a Python callable.
    reply("yes", answers.append)
    assert child.eval("window.got") == "yes"
    assert answers == ["yes!"]
    child.release_context()
    assert reply.released
    step = reply("late")
    assert any("callback map is empty" in line.message for line in step.log)


def test_host_errors_name_the_page_call_and_the_session_goes_on(
        quillmoss_page, quillmoss_host):
    def save_file(name, done):
        raise OSError("disk full")

    quillmoss_host.bind(functions={"saveFile": save_file},
                        properties={"onReady": lambda: 1 / 0})
    with pytest.raises(HostCallError) as caught:
        quillmoss_page.eval("saveFile('notes.txt', function done() {})")
    assert str(caught.value) == (
        "saveFile('notes.txt', <JsFunction done #1 of frame 'main'>), "
        "called by the page in frame 'main' of browser 1, raised OSError: "
        "disk full")
    assert isinstance(caught.value.__cause__, OSError)
    with pytest.raises(HostCallError,
                       match=r"^host callback 1 \(test_host_errors.*<lambda>\)\(\)"
                             ".*ZeroDivisionError"):
        quillmoss_page.eval("onReady()")
    # Bindings with a value that has no CEF form change nothing.
    with pytest.raises(TypeError, match=r"bindings.properties.when: object"):
        quillmoss_host.bind(functions={"saveFile": print},
                            properties={"when": object()})
    with pytest.raises(HostCallError, match="raised OSError"):
        quillmoss_page.eval("saveFile('again', null)")
    # Something the host never handed out: a bound name sent by hand.
    quillmoss_page.send("DoJavascriptBindings", {
        "bindToFrames": False, "functions": {"other": None},
        "properties": {}, "objects": {}})
    quillmoss_page.browser.renderer.run_tasks()
    with pytest.raises(HostCallError, match="other.*is not bound by this host"):
        quillmoss_page.eval("other()")
    assert quillmoss_page.eval("1 + 1") == 2


def test_a_host_hears_each_message_after_the_handler_before_it_returned(
        quillmoss_page, quillmoss_host):
    order = []

    def first(callback):
        order.append("first starts")
        callback()  # the page calls second() now; the host hears it later
        order.append("first returns")

    quillmoss_host.bind(functions={"first": first,
                                   "second": lambda: order.append("second")})
    quillmoss_page.eval("first(function cb() { second(); })")
    assert order == ["first starts", "first returns", "second"]


def test_context_hooks_and_hosts_of_two_browsers(quillmoss_renderer):
    one = quillmoss_renderer.create_browser("one")
    two = quillmoss_renderer.create_browser("two")
    hosts = {browser.handle: Host(browser) for browser in (one, two)}
    events = []
    for handle, host in hosts.items():
        host.on_context_created = lambda frame: events.append(("created", frame))
        host.on_context_released = lambda frame: events.append(("gone", frame))
        host.bind(functions={"f": lambda h=handle: events.append(("f", h))})
    two.main_frame.create_context()
    two.main_frame.eval("f()")
    two.destroy()
    assert events == [("created", two.main_frame), ("f", "two"),
                      ("gone", two.main_frame)]
    # The raw messages stay there for a test that wants them.
    assert quillmoss_renderer.take_messages()[0] == Message(
        2, "main", "OnContextCreated", [])
