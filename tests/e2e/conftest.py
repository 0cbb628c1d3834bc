"""Session fixtures of the end-to-end tests: one Xvfb and one Wine prefix with
a persistent wineserver for the whole run."""
import pytest

from kovatest import Display, Wine, stub_path


@pytest.fixture(scope="session")
def display():
    d = Display().start()
    yield d
    d.stop()


@pytest.fixture(scope="session")
def wine(display):
    if not stub_path().exists():
        pytest.fail(f"{stub_path()} is missing: build the win64 preset first")
    w = Wine(display).start()
    yield w
    w.stop()
