"""The same answers given to the questions before copying under Wine (by the
box reader, in the dialogs) and to kova run (line by line on standard
input) bring the same message boxes with the same texts, in the same order,
and the same installed result."""
from installs import WineHost
from kovarun import Sandbox
from kovatest import BUILD
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
