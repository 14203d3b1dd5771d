"""The pytest plugin: installing the package registers it (entry point
``pytest11``).

Fixtures ``quillmoss_renderer``, ``quillmoss_browser``, ``quillmoss_page``
and ``quillmoss_host``; the options ``--quillmoss-subprocess=PATH`` (third in
the executable's look-up order), ``--quillmoss-single-process`` (no site
isolation) and ``--quillmoss-record=DIR`` (the session of every failing
test's renderer processes as scenario files). A failing test's report shows
the log of every renderer process it started.

Each test gets fresh renderer processes. Starting one is most of a short
test's time (some 20 ms), but a shared one could not be made as clean: the
renderer never reuses a callback id within its process, so ids would depend
on the tests before.
"""

from __future__ import annotations

import pathlib
import re
from typing import Iterator

import pytest

from . import __version__, executable
from . import renderer as renderer_module
from .host import Host
from .renderer import Browser, Frame, Renderer, RendererProcess


def pytest_addoption(parser: pytest.Parser) -> None:
    group = parser.getgroup("quillmoss", "Quillmoss renderer")
    group.addoption(
        executable.PYTEST_OPTION, metavar="PATH", default=None,
        help="the quillmoss_subprocess to test against, unless "
             f"${executable.ENVIRONMENT_VARIABLE} names one")
    group.addoption(
        "--quillmoss-single-process", action="store_true", default=False,
        help="one renderer process for every site, as a host that starts "
             "CEF with --disable-site-isolation-trials")
    group.addoption(
        "--quillmoss-record", metavar="DIR", default=None,
        help="write the renderer session of every failing test to DIR as a "
             "scenario file the simulator replays")


_OUTER_OPTION = pytest.StashKey[pathlib.Path | None]()
_OUTER_START = pytest.StashKey[pathlib.Path | None]()


def pytest_configure(config: pytest.Config) -> None:
    # Restored at unconfigure: a pytest run inside a test (pytester) must not
    # take the outer run's option away.
    config.stash[_OUTER_OPTION] = executable.pytest_option()
    config.stash[_OUTER_START] = executable.pytest_start()
    executable.use_pytest_start(config.invocation_params.dir)
    option = config.getoption("quillmoss_subprocess")
    if option:
        executable.use_pytest_option(config.invocation_params.dir / option)
    config.pluginmanager.register(_Watch(config), "quillmoss-watch")


def pytest_unconfigure(config: pytest.Config) -> None:
    if _OUTER_OPTION in config.stash:
        executable.use_pytest_option(config.stash[_OUTER_OPTION])
        executable.use_pytest_start(config.stash[_OUTER_START])


_FIXTURES = ("quillmoss_renderer", "quillmoss_browser", "quillmoss_page",
             "quillmoss_host")


def pytest_collection_modifyitems(config: pytest.Config,
                                  items: list[pytest.Item]) -> None:
    # Without an executable every test that uses the fixtures would fail
    # alike; the run stops once, with the error that says where to look.
    if not any(name in _FIXTURES for item in items
               for name in getattr(item, "fixturenames", ())):
        return
    try:
        executable.locate_executable()
    except executable.ExecutableNotFound as error:
        raise pytest.UsageError(str(error)) from None


def pytest_report_header(config: pytest.Config) -> str:
    package = pathlib.Path(__file__).resolve().parent
    try:
        located = executable.locate_executable()
        where = f"{located.path} (from {located.source})"
        if (located.source == executable.ENVIRONMENT_VARIABLE
                and config.getoption("quillmoss_subprocess")):
            where += (f"; {executable.PYTEST_OPTION} is overridden by "
                      f"${executable.ENVIRONMENT_VARIABLE}")
    except executable.ExecutableNotFound as error:
        where = f"none ({error})"
    return f"quillmoss_sim {__version__} from {package}; renderer: {where}"


class _Watch:
    """Notes every renderer process a test starts, fixture or not, and adds its log
    (and with --quillmoss-record its scenario) to the test's failure report.

    A plugin object of plain hooks: they see the test by its node id from
    before its setup to after its teardown.
    """

    def __init__(self, config: pytest.Config) -> None:
        folder = config.getoption("quillmoss_record")
        self.record_to = (config.invocation_params.dir / folder
                          if folder else None)
        self.started: dict[str, list[RendererProcess]] = {}
        self.recorded: dict[str, list[tuple[pathlib.Path, str]]] = {}

    def pytest_runtest_logstart(self, nodeid: str) -> None:
        started: list[RendererProcess] = []
        self.started[nodeid] = started
        renderer_module.add_start_hook(started.append)

    def pytest_runtest_logfinish(self, nodeid: str) -> None:
        started = self.started.pop(nodeid, [])
        self.recorded.pop(nodeid, None)
        renderer_module.remove_start_hook(started.append)

    def pytest_runtest_logreport(self, report: pytest.TestReport) -> None:
        started = self.started.get(report.nodeid, [])
        if not report.failed or not started:
            return
        for number, renderer in enumerate(started, 1):
            title = "quillmoss renderer log"
            if len(started) > 1:
                title += f" ({number} of {len(started)})"
            report.sections.append((f"{title} [{report.when}]",
                                    _log_of(renderer)))
        if self.record_to is None:
            return
        if report.nodeid not in self.recorded:
            self.recorded[report.nodeid] = _record(
                report.nodeid, started, self.record_to)
        report.sections.append((
            "quillmoss scenario",
            "\n".join(f"replay: {program} --type=renderer --scenario={path}"
                      for program, path in self.recorded[report.nodeid])))


def _log_of(renderer: RendererProcess) -> str:
    text = renderer.stderr.rstrip("\n") or "(nothing logged)"
    console = [f"console.{line.method} in frame {line.frame!r}: {line.message}"
               for line in renderer.console]
    if console:
        text += "\npage console:\n" + "\n".join(console)
    return text


def _record(nodeid: str, started: list[RendererProcess],
            folder: pathlib.Path) -> list[tuple[pathlib.Path, str]]:
    """(executable, scenario file) of each renderer; a file that cannot be
    written is named with the reason instead of ending the pytest run."""
    stem = re.sub(r"[^\w.-]+", "_", nodeid).strip("_")
    recorded = []
    for number, renderer in enumerate(started, 1):
        suffix = f"-{number}" if len(started) > 1 else ""
        path = folder / f"{stem}{suffix}.json"
        try:
            folder.mkdir(parents=True, exist_ok=True)
            renderer.save_scenario(
                path, comment=f"Recorded from {nodeid}, which failed.")
            recorded.append((renderer.executable, str(path)))
        except OSError as error:
            recorded.append((renderer.executable,
                             f"{path} (not written: {error})"))
    return recorded


@pytest.fixture
def quillmoss_renderer(request: pytest.FixtureRequest) -> Iterator[Renderer]:
    """A fresh session for this test: its first renderer process at once,
    one more for each other site its frames name (none with
    ``--quillmoss-single-process``).

    At the end the session is closed; a renderer that crashed unasked
    meanwhile fails the test's teardown.
    """
    renderer = Renderer(site_isolation=not request.config.getoption(
        "quillmoss_single_process"))
    try:
        yield renderer
    finally:
        code = renderer.close()
    if code not in (0, 1) and not renderer.died:
        pytest.fail(f"the renderer ended with exit code {code}; its log is "
                    "in the report", pytrace=False)


@pytest.fixture
def quillmoss_browser(quillmoss_renderer: Renderer) -> Browser:
    """A browser "b1" with one frame, its main frame "main"."""
    return quillmoss_renderer.create_browser("b1")


@pytest.fixture
def quillmoss_page(quillmoss_browser: Browser) -> Frame:
    """The browser's main frame, with a V8 context: a page ready for
    script."""
    page = quillmoss_browser.main_frame
    page.create_context()
    return page


@pytest.fixture
def quillmoss_host(quillmoss_browser: Browser) -> Iterator[Host]:
    """The host of the browser: bind Python callables with ``bind``."""
    host = Host(quillmoss_browser)
    yield host
    host.close()
