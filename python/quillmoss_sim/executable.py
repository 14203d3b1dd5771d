"""Which quillmoss_subprocess a session runs.

In this order: the path a caller passes, ``$QUILLMOSS_SUBPROCESS``, pytest's
``--quillmoss-subprocess`` option, and the build of the Quillmoss checkout
that holds this package or the current directory. A path that is named but
holds no file is an error at once rather than a reason to try the next
source: a host developer who names an executable means that one.
"""

from __future__ import annotations

import os
import pathlib
from dataclasses import dataclass

from .errors import SimulatorError

ENVIRONMENT_VARIABLE = "QUILLMOSS_SUBPROCESS"
PYTEST_OPTION = "--quillmoss-subprocess"
CHECKOUT_BUILD = pathlib.PurePosixPath("build", "quillmoss_subprocess")

# Set by the pytest plugin for the length of a pytest run; a module variable
# so that a Renderer made anywhere in a test, not only by a fixture, sees it.
_pytest_option: pathlib.Path | None = None
# Where pytest was started, for the length of a pytest run: a relative
# $QUILLMOSS_SUBPROCESS is taken from there, as the option is, and not from
# whatever directory a test has moved into.
_pytest_start: pathlib.Path | None = None


class ExecutableNotFound(SimulatorError):
    """No quillmoss_subprocess could be found, or a named one is missing."""


@dataclass(frozen=True)
class Located:
    """An executable and where it was found."""

    path: pathlib.Path
    source: str  # "argument", "QUILLMOSS_SUBPROCESS", "--quillmoss-subprocess", "checkout"


def use_pytest_option(path: str | os.PathLike[str] | None) -> None:
    """Makes ``--quillmoss-subprocess`` the third source (None unsets it)."""
    global _pytest_option
    _pytest_option = pathlib.Path(path) if path is not None else None


def use_pytest_start(directory: pathlib.Path | None) -> None:
    """Takes a relative ``$QUILLMOSS_SUBPROCESS`` from directory (None:
    from the current directory)."""
    global _pytest_start
    _pytest_start = directory


def pytest_start() -> pathlib.Path | None:
    return _pytest_start


def pytest_option() -> pathlib.Path | None:
    """The ``--quillmoss-subprocess`` path in use, if any."""
    return _pytest_option


def _named(path: pathlib.Path, source: str, named_by: str) -> Located:
    if not path.is_file():
        raise ExecutableNotFound(
            f"no simulator at {path} (named by {named_by}): build it with "
            "cmake --build BUILD_DIR --target quillmoss_subprocess or name "
            "another")
    return Located(path, source)


def _checkouts() -> list[pathlib.Path]:
    """Quillmoss checkouts that hold this package's source or the current
    directory, nearest first."""
    found: list[pathlib.Path] = []
    starts = [pathlib.Path(__file__).resolve().parent, pathlib.Path.cwd()]
    for start in starts:
        for folder in (start, *start.parents):
            if ((folder / "python" / "quillmoss_sim").is_dir()
                    and (folder / "cef_standin").is_dir()):
                if folder not in found:
                    found.append(folder)
                break
    return found


def locate_executable(
        executable: str | os.PathLike[str] | None = None) -> Located:
    """The executable to run and its source; raises ExecutableNotFound."""
    if executable is not None and str(executable):
        return _named(pathlib.Path(executable), "argument",
                      "the executable argument")
    configured = os.environ.get(ENVIRONMENT_VARIABLE)
    if configured:
        path = pathlib.Path(configured)
        if _pytest_start is not None:
            path = _pytest_start / path  # an absolute path stays itself
        return _named(path, ENVIRONMENT_VARIABLE,
                      f"${ENVIRONMENT_VARIABLE}")
    if _pytest_option is not None:
        return _named(_pytest_option, PYTEST_OPTION, PYTEST_OPTION)
    checkouts = _checkouts()
    for checkout in checkouts:
        candidate = checkout / CHECKOUT_BUILD
        if candidate.is_file():
            return Located(candidate, "checkout")
    looked = (", looked for " + ", ".join(str(c / CHECKOUT_BUILD)
                                          for c in checkouts)
              if checkouts else ", and no Quillmoss checkout holds the "
              "current directory")
    raise ExecutableNotFound(
        "no quillmoss_subprocess to run: pass executable=PATH, set "
        f"${ENVIRONMENT_VARIABLE}, run pytest with {PYTEST_OPTION}=PATH, or "
        f"build this checkout's {CHECKOUT_BUILD}{looked}")


def find_executable(
        executable: str | os.PathLike[str] | None = None) -> pathlib.Path:
    """The executable to run; raises ExecutableNotFound."""
    return locate_executable(executable).path
