"""Session fixtures of the end-to-end tests: one Xvfb and one Wine prefix with
a persistent wineserver for the whole run. Everything a run makes stays in
this clone's build/ folder (temporary folders, prefixes, logs), and the
display is one Xvfb finds free, so that two clones can run the suite on one
machine at the same time."""
import re
import shutil

import pytest

from installs import WineHost
from kovatest import BUILD, Display, Wine, box_reader_path, stub_path


@pytest.hookimpl(tryfirst=True)
def pytest_configure(config):
    # pytest's default temporary folders live in one folder per user, where
    # each run prunes the oldest: possibly those of another clone's run still
    # in progress.
    if config.option.basetemp is None:
        (BUILD / "e2e").mkdir(parents=True, exist_ok=True)
        config.option.basetemp = str(BUILD / "e2e" / "tmp")


@pytest.fixture(scope="session")
def display():
    d = Display().start()
    yield d
    d.stop()


@pytest.fixture(scope="session")
def wine(display):
    for product in (stub_path(), box_reader_path()):
        if not product.exists():
            pytest.fail(f"{product} is missing: build the win64 preset first")
    w = Wine(display).start()
    yield w
    w.stop()


@pytest.fixture
def wine_target(wine, request):
    """An installation folder under Wine of the test's own, C:\\KOVAE2E\\ and
    the test's name, empty before the test and removed after it."""
    host = WineHost(wine, BUILD / "e2e" / "logs")
    folder = "C:\\KOVAE2E\\" + re.sub(r"[^A-Za-z0-9]+", "_", request.node.name)[:80]
    shutil.rmtree(host.host_path(folder), ignore_errors=True)
    yield folder
    shutil.rmtree(host.host_path(folder), ignore_errors=True)
