"""Renderer processes as Chromium 81 runs them: one per site (site
isolation), or one for everything; cross-site iframes, cross-site
navigation, and a renderer that dies."""

import warnings

import pytest

from quillmoss_sim import Host, Message, Renderer

AD = {"name": "ad", "site": "ads.example"}


# Which frames get the host's bindings (bind_to_frames=True), per process
# model: the frames, what "typeof note" gives in each, the processes.
BOUND = [
    ("same site", True, ["main", "inner"], ["function", "function"], 1),
    ("cross-site iframe", True, ["main", AD], ["function", "undefined"], 2),
    ("cross-site iframe, one process", False, ["main", AD],
     ["function", "function"], 1),
    ("same-site frame below a cross-site one", True,
     ["main", AD, {"name": "deep", "parent": "ad", "site": "app.example"}],
     ["function", "undefined", "function"], 2),
]


@pytest.mark.parametrize("isolation, frames, seen, processes",
                         [row[1:] for row in BOUND],
                         ids=[row[0] for row in BOUND])
def test_which_frames_get_the_bindings(isolation, frames, seen, processes):
    with Renderer(site_isolation=isolation) as renderer:
        browser = renderer.create_browser("b1", frames)
        Host(browser).bind(functions={"note": print}, bind_to_frames=True)
        names = [f if isinstance(f, str) else f["name"] for f in frames]
        for name in names:
            browser.frame(name).create_context()
        assert [browser.frame(name).eval("typeof note")
                for name in names] == seen
        assert len(renderer.processes) == processes


def test_cross_site_navigation_counts_callback_ids_again(quillmoss_browser):
    page, kept, ran = quillmoss_browser.main_frame, [], []
    host = Host(quillmoss_browser)
    host.bind(functions={"keep": kept.append, "ran": ran.append})
    page.create_context()
    page.eval("keep(function old() { ran('old'); })")
    page.navigate(site="other.example")  # the Host binds the new process
    page.eval("keep(function fresh(text) { ran('fresh ' + text); })")
    old, fresh = kept
    assert (old.callback_id, fresh.callback_id) == (1, 1)
    assert old.client_id != fresh.client_id == page.process.client_id
    with pytest.warns(Warning):
        assert [r.reason for r in old("x").refusals] == ["page-gone"]
    # By id alone the host reaches the new page's function.
    host.execute_javascript_callback(old.callback_id, "for old")
    assert ran == ["fresh for old"]


def test_a_renderer_that_dies_and_restarts(quillmoss_renderer):
    browser = quillmoss_renderer.create_browser("b1", ["main", AD])
    page, ad = browser.main_frame, browser.frame("ad")
    host, events, kept = Host(browser), [], []
    host.on_context_released = lambda frame: events.append(frame.name)
    host.bind(functions={"keep": kept.append})
    page.create_context()
    ad.create_context()
    page.eval("keep(function f() {})")
    first = page.process
    page.crash()
    assert events == ["main"] and kept[0].released  # the ad lives on
    assert not first.alive and page.process is not first
    assert page.eval("typeof keep") == "function"
    assert ad.eval("1") == 1
    assert quillmoss_renderer.close() == 0  # a crash asked for is no failure


def test_bound_callables_may_learn_their_caller(quillmoss_renderer):
    browser = quillmoss_renderer.create_browser("b1", ["main", "side"])
    heard = []

    def note(text, *, caller):
        heard.append((text, caller.frame.name, caller.client_id))

    Host(browser).bind(functions={"note": note, "plain": heard.append},
                       bind_to_frames=True)
    for name in ("main", "side"):
        browser.frame(name).create_context()
        browser.frame(name).eval(f"note('{name}'); plain(1)")
    assert heard == [("main", "main", 4), 1, ("side", "side", 4), 1]


@pytest.mark.parametrize("faults, released", [((), ["ad"]), (("2880",), [])])
def test_cef_tracker_2880_keeps_a_cross_site_release_from_the_host(faults,
                                                                released):
    with Renderer(cef_faults=faults) as renderer:
        browser = renderer.create_browser("b1", ["main", AD])
        browser.frame("ad").create_context()
        renderer.take_messages()
        browser.frame("ad").remove()
        assert [m.frame for m in renderer.take_messages()] == released


@pytest.mark.parametrize("faults, delivered", [((), 1), (("2849",), 0)])
def test_cef_tracker_2849_drops_messages_to_a_cross_site_iframe(faults,
                                                             delivered):
    with Renderer(cef_faults=faults) as renderer:
        ad = renderer.create_browser("b1", ["main", AD]).frame("ad")
        step = ad.send("ExecuteJavascriptCallback", 1)
        assert len(step.refusals) == delivered  # not-main-frame, if it came


def test_frames_move_between_processes_as_a_test_says():
    with Renderer() as renderer:
        browser = renderer.create_browser("b1", ["main", "side"])
        side = browser.frame("side")
        side.create_context()
        side.navigate(site="ads.example")
        added = browser.add_frame("extra", site="ads.example")
        assert side.process is added.process is not browser.main_frame.process
        side.remove()
        added.navigate(site="app.example")  # home again: its process goes
        assert browser.processes == [browser.main_frame.process]
        assert renderer.take_messages() == [
            Message(1, "side", "OnContextCreated", []),
            Message(1, "side", "OnContextReleased", []),
            Message(1, "side", "OnContextCreated", []),
            Message(1, "side", "OnContextReleased", []),
            Message(1, "extra", "OnContextCreated", [])]
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            assert renderer.close() == 0
