"""The same answers given to the questions before copying under Wine (by the
box reader, in the dialogs) and to kova run (line by line on standard
input) bring the same message boxes with the same texts, in the same order,
and the same installed result; and under Wine, over a real earlier
installation, the reinstall question names the version order."""
import subprocess

import pytest

from installs import WineHost
from kovarun import Sandbox
from kovatest import BUILD, kova_path, stub_path
from test_setup_dialogs import DIRECTORY, LANGUAGE, LICENSE, README, build
from test_setup_dialogs import run as run_under_wine

# Caption of each dialog on the terminal, and the first line of the
# directory prompt (its caption is that of the directory questions too).
DIALOG_CAPTIONS = {LANGUAGE, LICENSE, README}
DIRECTORY_PROMPT = "Folder for Dialog Test:"


def message_boxes(boxes):
    return [(b.caption, b.text.replace("\r\n", "\n").strip()) for b in boxes
            if b.caption not in DIALOG_CAPTIONS and not b.text.startswith(DIRECTORY_PROMPT)]


def test_terminal_answers_match_the_dialogs(wine, tmp_path, wine_target):
    setup = build(tmp_path)
    choose = lambda path: ["set 1015 " + path, "press id 1001"]  # noqa: E731
    steps = [(LANGUAGE, ["select 1017 1", "press id 1001"]), ("Kovabuild v8.2", "Yes"),
             (LICENSE, ["press id 1001"]), (LICENSE, ["press id 1001"]), (README, ["press id 1001"]),
             (DIRECTORY, choose("C:\\")), ("Problem", "OK"),
             (DIRECTORY, choose("D:")), ("Problem", "OK"),
             (DIRECTORY, choose("Q:\\App")), ("Problem", "OK"),
             (DIRECTORY, choose(wine_target)), (DIRECTORY, "Yes"),
             ("Installation Complete", "No")]
    result, _ = run_under_wine(wine, setup, steps)

    sandbox = Sandbox(tmp_path / "root")
    answers = ["2", "y", "a", "a", "a", "C:\\", "D:", "Q:\\App", wine_target, "y", "n"]
    terminal = sandbox.run(setup, answer=lambda box, queue=list(answers): queue.pop(0) if queue else "")

    assert message_boxes(terminal.boxes) == message_boxes(result.boxes), terminal.output
    assert message_boxes(result.boxes)[0] == ("Kovabuild v8.2", "Dialog Test installieren?")
    host = WineHost(wine, BUILD / "e2e" / "logs")
    assert host.host_path(wine_target + "\\Installed.txt").read_text() == "installed"
    assert sandbox.host_path(wine_target + "\\Installed.txt").read_text() == "installed"


REINSTALL_MANIFEST = """
[product]
name = "Reinstall Test"
version = "{version}"
flags = ["uninstall-support"]

[messages]
2 = "Installed already"
3 = "Some version is in:"
4 = "The same version is in:"
5 = "An older version is in:"
6 = "A newer version is in:"
7 = "Again?"

[[file]]
source = "a.txt"
name = "Installed.txt"
"""


@pytest.mark.parametrize("earlier, current, first_line", [
    ("1.2", "1.10", "An older version is in:"),
    ("1.10", "1.10", "The same version is in:"),
    ("1.10a", "1.10", "A newer version is in:"),
])
def test_reinstall_question_under_wine(wine, tmp_path, wine_target, earlier, current, first_line):
    """A real earlier installation (its Uninstall key written by the
    installer), then the same product again: the reinstall question names
    the version order, and Yes installs into the earlier folder."""
    def build_version(name):
        version = current if name == "current" else name
        folder = tmp_path / f"v-{name}"
        folder.mkdir()
        (folder / "a.txt").write_text(name)
        (folder / "kova.toml").write_text(REINSTALL_MANIFEST.format(version=version))
        setup = folder / "setup.exe"
        subprocess.run([str(kova_path()), "build", str(folder / "kova.toml"), "-o", str(setup), "--stub",
                        str(stub_path()), "-q"], check=True)
        return setup

    host = WineHost(wine, BUILD / "e2e" / "logs")
    wine.run(build_version(earlier), ["/a", f"/d:{wine_target}"])
    assert host.host_path(wine_target + "\\Installed.txt").read_text() == earlier
    setup = build_version("current")
    # Yes to everything but the installation log, which would stay open in
    # Notepad over the screen of the tests that follow.
    result = wine.run(setup, [], answer=lambda box: "No" if "log" in box.text.lower() else "Yes")
    question = next(b for b in result.boxes if b.caption == "Installed already")
    lines = question.text.split("\r\n")
    assert lines[0] == first_line and lines[1].lower() == wine_target.lower() and lines[-1] == "Again?", question.text
    assert host.host_path(wine_target + "\\Installed.txt").read_text() == "current"
