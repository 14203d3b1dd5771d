"""The host side against the real renderer: bound Python callables, host
callbacks, page functions, errors, and the order in which a host hears."""

import subprocess
from unittest import mock

import pytest

from quillmoss_sim import (CALLBACK_MARKER, ExpectationFailed, Host,
                           HostCallback, HostCallError, JsFunction, Message,
                           PageError, Refusal, RefusedDescriptor,
                           ReleasedFunctionWarning, Renderer, SimulatorError,
                           StepRefused,
                           parse_callback_descriptor as parse)


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
                                    "hooks": {"more": [ready, len]},
                                    "raw": b"\x01\x02"})
    quillmoss_page.eval("onReady(1, 'x'); hooks.more[0]({k: 2.5})")
    assert heard == [("ready", (1, "x")), ("ready", ({"k": 2.5},))]
    assert quillmoss_page.eval("[version, raw]") == ["1.0", None]
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
    with pytest.warns(ReleasedFunctionWarning, match="reply #1 of frame 'A'"):
        step = reply("late")
    # Refused before anything is sent: the id may name another page's by now.
    assert [(r.reason, r.callback_id, r.line) for r in step.refusals] == [
        ("page-gone", 1, None)]
    assert step.messages == [] and step.log == []
    # Sent by id all the same, the renderer has nothing under it; the id
    # comes from the call, as the renderer's line has none.
    step = host.execute_javascript_callback(reply.callback_id, "late")
    assert [(r.reason, r.callback_id) for r in step.refusals] == [
        ("unknown-callback", 1)]


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


def _nested(depth):
    value = []
    for _ in range(depth):
        value = [value]
    return value


# Each error a step can raise, by the call that raises it on a page with a
# bound "note" and a kept page function; after it the session goes on.
ERRORS = [
    ("lone surrogate in a property", ValueError,
     r"^bindings.properties.draft: the string holds a lone surrogate "
     r"'\\ud83d' at index 5",
     lambda page, host, kept: host.bind(
         properties={"draft": "half \ud83d", "cb": len})),
    ("lone surrogate in a name", ValueError, r"^bindings.functions: the key",
     lambda page, host, kept: host.bind(functions={"n\udc00": print})),
    ("lone surrogate to a page function", ValueError, r"^args\[1\]",
     lambda page, host, kept: kept[0](print, "\ud800")),
    ("lone surrogate in page script", ValueError, r"^step.code",
     lambda page, host, kept: page.eval("'\ud800'")),
    ("int out of range", ValueError, "does not fit a CEF int",
     lambda page, host, kept: host.bind(properties={"cb": len, "n": 2**31})),
    ("empty bytes to a page function", ValueError, "no empty binary",
     lambda page, host, kept: kept[0](print, b"")),
    ("no CEF form", TypeError, "object has no CEF value",
     lambda page, host, kept: kept[0](print, object())),
    ("host callback id 0", ValueError, "id 0 is reserved",
     lambda page, host, kept: host.bind(properties={"cb": HostCallback(0)})),
    ("not callable", TypeError, "is not callable",
     lambda page, host, kept: host.bind(functions={"note": 1})),
    ("methods not a mapping", TypeError, r"^objects\['o'\]: .* not a mapping",
     lambda page, host, kept: host.bind(objects={"o": print})),
    ("a function name that reads as a method", ValueError, "full stop",
     lambda page, host, kept: host.bind(functions={"o.note": print})),
    ("an object name with a full stop", ValueError, "full stop",
     lambda page, host, kept: host.bind(objects={"o.x": {"note": print}})),
    ("bind_to_frames not a bool", TypeError, "bind_to_frames: str",
     lambda page, host, kept: host.bind(bind_to_frames="yes")),  # type: ignore
    ("NaN in a step", ValueError, "JSON compliant",
     lambda page, host, kept: page.browser.renderer.step(
         {"do": "eval", "frame": "main", "code": float("nan")})),
    ("refused step", StepRefused, "unknown step",
     lambda page, host, kept: page.browser.renderer.step({"do": "fly"})),
    ("failed expectation", ExpectationFailed, "expectation failed",
     lambda page, host, kept: page.browser.renderer.step(
         {"do": "expect", "frame": "main", "code": "1", "result": 2})),
    # Misuse of the package's own calls, refused before anything is sent.
    ("frames as one string", TypeError, "^frames: 'main' is not a list",
     lambda page, host, kept: page.browser.renderer.create_browser("x", "main")),
    ("a frame declared twice", ValueError, "'a' is declared twice",
     lambda page, host, kept: page.browser.renderer.create_browser(
         "x", ["main", "a", "a"])),
    ("a frame without a name", TypeError, "with a str",
     lambda page, host, kept: page.browser.renderer.create_browser(
         "x", [{"parent": "main"}])),
    ("a frame name that is no str", TypeError, "^add_frame: name 5",
     lambda page, host, kept: page.browser.add_frame(5)),
    ("a second Host of the browser", ValueError, "has a Host already",
     lambda page, host, kept: Host(page.browser)),
    ("kept into another browser", ValueError, "is not a frame of",
     lambda page, host, kept: page.keep("1", name="k", into=page.browser.renderer
                                        .create_browser("x").main_frame)),
    ("properties that are no mapping", TypeError, "^properties: str",
     lambda page, host, kept: host.bind(properties="ab")),
    # 198 lists inside the argument list, the bindings and "properties".
    ("a value nested too deep", ValueError, "properties.d.*nested deeper than 200",
     lambda page, host, kept: host.bind(properties={"d": _nested(197)})),
    ("a callback id of no CEF int", ValueError, "does not fit a CEF int",
     lambda page, host, kept: host.execute_javascript_callback(2**40)),
    ("a timeout of no seconds", ValueError, "not a positive number",
     lambda page, host, kept: Renderer(page.browser.renderer.executable,
                                       timeout=0)),
    ("tracker numbers as one string", TypeError, "not a str",
     lambda page, host, kept: Renderer(page.browser.renderer.executable,
                                       cef_faults="2880")),
    ("page exception", PageError, "boom",
     lambda page, host, kept: page.eval("throw new Error('boom')")),
    ("raising handler", HostCallError, "fails.*ZeroDivisionError",
     lambda page, host, kept: page.eval("fails(); note('after')")),
]


@pytest.mark.parametrize("error, match, call",
                         [row[1:] for row in ERRORS],
                         ids=[row[0] for row in ERRORS])
def test_no_error_loses_the_session(quillmoss_renderer, quillmoss_page,
                                    quillmoss_host, tmp_path, call, error,
                                    match):
    heard, kept = [], []
    quillmoss_host.bind(functions={"note": heard.append, "keep": kept.append,
                                   "fails": lambda: 1 / 0})
    quillmoss_page.eval("keep(function cb(f) { f('called'); })")
    callbacks = dict(quillmoss_host._callbacks)
    with pytest.raises(error, match=match):
        call(quillmoss_page, quillmoss_host, kept)
    # The old bindings answer, the step count matches, and no host callback
    # of a call that sent nothing is left behind.
    assert quillmoss_host._callbacks == callbacks
    quillmoss_page.eval("note('next')")
    kept[0](heard.append)
    assert heard[-2:] == ["next", "called"]
    scenario = quillmoss_renderer.save_scenario(tmp_path / "session.json")
    replay = subprocess.run(
        [str(quillmoss_renderer.executable), "--type=renderer",
         f"--scenario={scenario}"], capture_output=True, text=True, timeout=60)
    assert replay.stdout.splitlines() == quillmoss_renderer.output
    # Only the expectation stays in the recording, failing there too.
    assert replay.returncode == (error is ExpectationFailed)


def test_every_call_of_a_step_is_delivered_when_handlers_raise(
        quillmoss_page, quillmoss_host):
    synced = []

    def save_note(text):
        raise PermissionError(text)

    quillmoss_host.bind(functions={"saveNote": save_note,
                                   "sync": synced.append,
                                   "audit": lambda: {}["key"]})
    with pytest.raises(HostCallError, match=r"^saveNote\('a'\)") as caught:
        quillmoss_page.eval("saveNote('a'); audit(); sync('after save')")
    assert synced == ["after save"]  # delivered in this step, not the next
    [other] = caught.value.others
    assert isinstance(other, HostCallError) and other.call == "audit()"
    assert isinstance(other.__cause__, KeyError)
    assert caught.value.__notes__ == [
        f"also raised in this step: HostCallError: {other}"]
    assert quillmoss_page.eval("sync('next'); 2") == 2
    assert synced == ["after save", "next"]


def test_refusals_are_data(quillmoss_renderer):
    browser = quillmoss_renderer.create_browser("b1", ["main", "A"])
    page, child = browser.main_frame, browser.frame("A")
    page.create_context()
    child.create_context()
    host = Host(browser)
    kept = []
    host.bind(functions={"keep": kept.append}, bind_to_frames=True)
    page.eval("keep(function thrower() { throw 1; })")
    child.eval("keep(function gone() {})")
    thrower, gone = kept
    assert [(r.reason, r.callback_id) for r in thrower().refusals] == [
        ("page-threw", thrower.callback_id)]
    child.navigate()
    with pytest.warns(ReleasedFunctionWarning):
        assert [r.reason for r in gone().refusals] == ["page-gone"]
    step = host.execute_javascript_callback(gone.callback_id)
    [refusal] = step.refusals
    assert refusal == Refusal("unknown-callback", gone.callback_id,
                              refusal.line)
    assert f"not found, id={gone.callback_id}" in refusal.line.message
    # Through a sub-frame, and bindings with an empty name.
    assert [r.reason for r in child.send("ExecuteJavascriptCallback", 1)
            .refusals] == ["not-main-frame"]
    assert [r.reason for r in page.send("ExecuteJavascriptCallback", "x")
            .refusals] == ["invalid-arguments"]
    assert [r.reason for r in page.do_javascript_bindings(["", "f"])
            .refusals] == ["empty-name"]
    assert page.eval("typeof f") == "function"


def _descriptor(callback_id, frame_id):
    return (CALLBACK_MARKER + '{"what":"javascript-callback","callbackId":'
            f'{callback_id},"frameId":{frame_id},"functionName":"f"}}')


def test_a_page_function_reaches_only_its_own_page(quillmoss_renderer):
    gallery = quillmoss_renderer.create_browser("gallery", ["main", "ad"])
    other = quillmoss_renderer.create_browser("other")
    page, ad = gallery.main_frame, gallery.frame("ad")
    for frame in (page, ad, other.main_frame):
        frame.create_context()
    host, other_host = Host(gallery), Host(other)
    kept, other_kept = [], []
    host.bind(functions={"keep": kept.append}, bind_to_frames=True)
    other_host.bind(functions={"keep": other_kept.append})
    page.eval("window.events = [];"
              "keep(function onGalleryEvent(e) { events.push(e); })")
    other.main_frame.eval("keep(function onOther() {})")
    [on_event] = kept
    # The ad passes the main page's descriptor as its own string: it never
    # becomes a function, so the host's call with it reaches nobody.
    ad.eval(f"keep({on_event.descriptor!r})")
    assert not isinstance(kept[1], JsFunction)
    # Hand-made messages past the renderer's own wall meet the host's.
    main_id = page.id
    rows = [(_descriptor(1, ad.id), "main", "other-frame"),
            (_descriptor(1, main_id), "ad", "other-frame"),
            (_descriptor(0, main_id), "main", "bad-id"),
            (_descriptor(-3, main_id), "main", "bad-id")]
    for text, frame, reason in rows:
        host._receive(Message(gallery.id, frame, "V8FunctionHandler::Execute",
                              ["keep", [{"f": parse(text)}]]))
        assert kept[-1] == {"f": text}, reason
        assert host.refused_descriptors[-1] == RefusedDescriptor(
            gallery.frame(frame), text, reason)
    host._receive(Message(gallery.id, "main", "V8FunctionHandler::Execute",
                          ["keep", [parse(_descriptor(1, main_id))]]))
    assert isinstance(kept[-1], JsFunction)
    # Ids count across the browsers of the process: the other browser's
    # main frame cannot run the gallery's function (id 1).
    [refusal] = other.main_frame.execute_javascript_callback(
        on_event, "for the other window").refusals
    assert (refusal.reason, refusal.callback_id) == ("other-browser", 1)
    on_event("for the gallery")
    assert page.eval("events") == ["for the gallery"]


def test_what_is_closed_or_destroyed_takes_no_step(quillmoss_renderer,
                                                   quillmoss_page,
                                                   quillmoss_host):
    kept = []
    quillmoss_host.bind(functions={"keep": kept.append})
    quillmoss_page.eval("keep(function f() {})")
    quillmoss_host.close()
    quillmoss_host.close()  # again: nothing more
    second = Host(quillmoss_page.browser)  # the first has let go
    # A JsFunction given by the host's way too.
    assert second.execute_javascript_callback(kept[0]).refusals == []
    quillmoss_page.browser.destroy()
    with pytest.raises(SimulatorError, match="was destroyed"):
        quillmoss_page.browser.add_frame("late")
    page = quillmoss_renderer.create_browser("c").main_frame
    page.crash(restart=False)
    with pytest.raises(StepRefused, match="is gone: .* process ended"):
        page.eval("1")
    with pytest.raises(SimulatorError, match="process 4 has ended .crash"):
        quillmoss_renderer.step({"do": "eval", "browser": "c", "frame": "main",
                                 "code": "1"})
    with pytest.raises(SimulatorError, match="no frames left"):
        page.browser.main_frame
    quillmoss_renderer.close()
    with pytest.raises(SimulatorError, match="Renderer is closed"):
        quillmoss_renderer.create_browser("after")
    assert all(not process.alive for process in quillmoss_renderer.processes)
