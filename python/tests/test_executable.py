"""Which executable a session runs: argument, $QUILLMOSS_SUBPROCESS, pytest's
option, the checkout's build, in that order."""

import pytest

from quillmoss_sim import ExecutableNotFound, executable, locate_executable


@pytest.fixture
def sources(tmp_path, monkeypatch):
    """Makes each source available on demand; none is set at first. The
    package's own location is moved out of any checkout, so that only the
    current directory can lead to one."""
    monkeypatch.delenv("QUILLMOSS_SUBPROCESS", raising=False)
    monkeypatch.setattr(executable, "_pytest_option", None)
    monkeypatch.setattr(executable, "_pytest_start", None)
    monkeypatch.setattr(executable, "__file__",
                        str(tmp_path / "site-packages" / "executable.py"))
    checkout = tmp_path / "checkout"
    for folder in ("python/quillmoss_sim", "cef_standin", "build", "docs"):
        (checkout / folder).mkdir(parents=True)
    monkeypatch.chdir(checkout / "docs")

    def make(source):
        path = tmp_path / source / "quillmoss_subprocess"
        if source == "checkout":
            path = checkout / "build" / "quillmoss_subprocess"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.touch()
        if source == "environment":
            monkeypatch.setenv("QUILLMOSS_SUBPROCESS", str(path))
        if source == "option":
            monkeypatch.setattr(executable, "_pytest_option", path)
        return path

    return make


@pytest.mark.parametrize("available, chosen, source", [
    (["argument", "environment", "option", "checkout"], "argument", "argument"),
    (["environment", "option", "checkout"], "environment", "QUILLMOSS_SUBPROCESS"),
    (["option", "checkout"], "option", "--quillmoss-subprocess"),
    (["checkout"], "checkout", "checkout"),
])
def test_the_first_source_given_wins(sources, available, chosen, source):
    paths = {name: sources(name) for name in available}
    located = locate_executable(paths.get("argument"))
    assert (located.path, located.source) == (paths[chosen], source)


def test_without_any_source_the_error_names_all_four(sources, tmp_path,
                                                      monkeypatch):
    monkeypatch.chdir(tmp_path)  # outside the checkout
    with pytest.raises(ExecutableNotFound) as caught:
        locate_executable()
    message = str(caught.value)
    for way in ("executable=PATH", "$QUILLMOSS_SUBPROCESS",
                "--quillmoss-subprocess=PATH", "build/quillmoss_subprocess",
                "no Quillmoss checkout holds the current directory"):
        assert way in message


def test_a_checkout_without_a_build_is_named(sources, tmp_path):
    with pytest.raises(ExecutableNotFound, match="looked for .*checkout/build"):
        locate_executable()


@pytest.mark.parametrize("source, named_by", [
    ("environment", r"\$QUILLMOSS_SUBPROCESS"),
    ("option", "--quillmoss-subprocess"),
])
def test_a_named_executable_that_is_missing_is_not_passed_over(
        sources, monkeypatch, tmp_path, source, named_by):
    sources("checkout")
    sources(source).unlink()
    with pytest.raises(ExecutableNotFound, match=f"no simulator at .*{named_by}"):
        locate_executable()


def test_a_relative_variable_is_taken_from_where_pytest_started(sources,
                                                               tmp_path,
                                                               monkeypatch):
    path = sources("environment")  # the fixture has moved into a checkout
    monkeypatch.setenv("QUILLMOSS_SUBPROCESS", "environment/quillmoss_subprocess")
    monkeypatch.setattr(executable, "_pytest_start", tmp_path)
    assert locate_executable().path == path
