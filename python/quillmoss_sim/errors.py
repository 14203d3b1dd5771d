"""The package's errors that more than one module raises or inspects."""

from __future__ import annotations

from typing import TYPE_CHECKING

if TYPE_CHECKING:
    from .renderer import Frame


class SimulatorError(Exception):
    """Something went wrong between Python and the simulator."""


class HostCallError(Exception):
    """A host callable raised while answering a page's call, or the page
    called something this host never handed out. The message names the
    page's call; the callable's own exception is the cause.

    When more calls of the same step failed, they all ran and this is the
    first; ``others`` holds the rest, in the order the page made them, and
    each has a note on this one.
    """

    def __init__(self, call: str, frame: Frame, problem: str) -> None:
        super().__init__(f"{call}, called by the page in frame "
                         f"{frame.name!r} of browser {frame.browser.id}, "
                         f"{problem}")
        self.call = call
        self.frame = frame
        self.others: list[BaseException] = []
