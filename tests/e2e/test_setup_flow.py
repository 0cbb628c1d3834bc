"""The questions before copying, answered on standard input of `kova run`:
the language list, the welcome question, licence and read-me pages, the
directory prompt with its refusals and confirmations, the reinstall
question, the refusals of an excluded system and of a missing master
product. Each run is checked by the boxes it showed, in order, and by what
it left in the sandbox."""
import subprocess
import textwrap

import pytest

from kovarun import Sandbox
from kovatest import kova_path, stub_path

MANIFEST = """
[product]
name = "{name}"
version = "{version}"
install-dir = "{install_dir}"
flags = [{flags}]
{extra}

[[language]]
name = "English"

[[language]]
name = "Deutsch"
[language.messages]
0 = "<product> Installation"
1 = "Willkommen bei <product>."
48 = "Weiter"
49 = "Abbrechen"

[[license]]
text = "Licence of <product>."

[[readme]]
text = "   "

[[readme]]
text = "Read me, <product>."

[[file]]
source = "hello.txt"
name = "Hello.txt"
"""


def build(folder, name="Flow", version="1.10", install_dir="%ProgramsDir%\\\\Flow",
          flags='"choose-directory"', extra=""):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "hello.txt").write_text("hello\n")
    (folder / "kova.toml").write_text(textwrap.dedent(MANIFEST.format(
        name=name, version=version, install_dir=install_dir, flags=flags, extra=extra)))
    setup = folder / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(folder / "kova.toml"), "-o", str(setup),
                    "--stub", str(stub_path("win32"))], check=True, capture_output=True)
    return setup


def answering(lines):
    """An answer function that gives the lines in order, then defaults."""
    queue = list(lines)
    return lambda box: queue.pop(0) if queue else ""


@pytest.fixture
def setup(tmp_path):
    return build(tmp_path / "src")


def test_language_pages_and_directory_checks(setup, tmp_path):
    sandbox = Sandbox(tmp_path / "root")
    answers = ["2",                 # Deutsch
               "y",                 # welcome
               "a",                 # licence accepted
               "",                  # read-me: the default button
               "C:\\",              # a drive root
               "C:\\Flow?",         # an invalid character
               "D:",                # not absolute
               "Q:\\Flow",          # no such drive
               "C:\\Program Files\\",  # the program-files folder
               "C:\\Apps\\Flow",
               "n",                 # not there after all
               "",                  # the same folder again
               "y",
               "n"]                 # no log to see
    run = sandbox.run(setup, answer=answering(answers))
    captions = [b.caption for b in run.boxes]
    assert captions[:4] == ["Choose Your Language", "Kovabuild v8.2", "Licence Agreement", "Read Me"], run.output
    # The buttons of the language list speak the language highlighted last;
    # after the choice every text is German.
    assert "Willkommen bei Flow." in run.boxes[1].text
    texts = [b.text for b in run.boxes[4:]]
    assert [t.splitlines()[0] for t in texts[1:12:2]] == [
        "Flow cannot be installed in the root folder of a drive. Choose a folder below it.",
        "This is not a valid folder name. Enter a complete path, such as C:\\Programs\\Flow:",
        "This is not a valid folder name. Enter a complete path, such as C:\\Programs\\Flow:",
        "Drive Q: does not exist. Choose a folder on another drive.",
        "Flow cannot be installed directly in c:\\Program Files. Choose a folder below it.",
        "The folder C:\\Apps\\Flow does not exist.",
    ], run.output
    assert "(c) Abbrechen" in run.output
    assert sandbox.host_path("C:\\Apps\\Flow\\Hello.txt").read_text() == "hello\n"


@pytest.mark.parametrize("refusal", [
    ["c"],                 # the language list cancelled
    ["", "n"],             # the welcome question
    ["", "y", "r"],        # the licence refused
    ["", "y", "a", "", "c"],  # the directory prompt cancelled
])
def test_a_refusal_installs_nothing(setup, tmp_path, refusal):
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, answer=answering(refusal))
    assert "Installing" not in run.output, run.output
    assert not sandbox.host_path("C:\\Program Files\\Flow").exists()
    assert not sandbox.host_path("C:\\Apps").exists()


def test_end_of_input_cancels_rather_than_waiting(setup, tmp_path):
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, timeout=60)  # standard input is empty
    assert [b.caption for b in run.boxes] == ["Choose Your Language"], run.output
    assert not sandbox.host_path("C:\\Program Files\\Flow").exists()


@pytest.mark.parametrize("earlier, first_line", [
    ("1.2", "An older version of Flow is installed in this folder:"),
    ("1.10", "This version of Flow is already installed in this folder:"),
    ("1.10a", "A newer version of Flow is installed in this folder:"),
    ("", "Flow is already installed in this folder:"),
])
def test_reinstall_question_names_the_version_order(tmp_path, earlier, first_line):
    setup = build(tmp_path / "src", flags='"choose-directory", "uninstall-support"')
    sandbox = Sandbox(tmp_path / "root")
    key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Flow"
    sandbox.host_path("C:\\Old\\Flow").mkdir(parents=True)
    sandbox.reg_set(key, "InstallLocation", "C:\\Old\\Flow")
    sandbox.reg_set(key, "DisplayVersion", earlier)
    run = sandbox.run(setup, answer=answering(["1", "y", "a", "", "y", "n"]))
    question = run.boxes[4]
    assert question.caption == "Flow Is Already Installed", run.output
    lines = question.text.splitlines()
    assert lines[0] == first_line and lines[1] == "C:\\Old\\Flow", run.output
    # Reinstalling goes to the same folder without the directory prompt.
    assert "Installation Folder" not in run.output
    assert (sandbox.host_path("C:\\Old\\Flow") / "Hello.txt").exists()


def test_excluded_system_and_missing_master_are_refused(tmp_path):
    setup = build(tmp_path / "old", extra='excluded-systems = ["win95"]')
    sandbox = Sandbox(tmp_path / "root")
    run = subprocess.run([str(kova_path()), "run", "--root", str(tmp_path / "root"), "--os", "95", str(setup)],
                         input="1\n", capture_output=True, text=True, timeout=60)
    assert "\n[Error]\nFlow cannot be installed on Windows 95.\n" in run.stderr, run.stderr
    assert "Installing" not in run.stderr
    # On another system the same installer goes on.
    ok = sandbox.run(setup, ["/a"])
    assert sandbox.host_path("C:\\Program Files\\Flow\\Hello.txt").exists(), ok.output

    extra = build(tmp_path / "extra", name="Flow Extras", install_dir="<master>",
                  extra='master-product = "Flow Base"')
    run = sandbox.run(extra, answer=answering(["1"]))
    assert [b.caption for b in run.boxes][-1] == "Error", run.output
    assert "Flow Base" in run.boxes[-1].text and "Installing" not in run.output
    sandbox.host_path("C:\\Base").mkdir(parents=True)
    key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Flow Base"
    sandbox.reg_set(key, "UninstallString", "C:\\Base\\uninstall.exe")
    sandbox.reg_set(key, "InstallLocation", "C:\\Base")
    run = sandbox.run(extra, ["/a"])
    assert sandbox.host_path("C:\\Base\\Hello.txt").exists(), run.output


def test_os_option_is_checked(tmp_path, setup):
    run = subprocess.run([str(kova_path()), "run", "--os", "amiga", str(setup)],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 2
    assert "unknown Windows version 'amiga'" in run.stderr


def test_blank_product_name_is_refused_before_anything_is_made(setup, tmp_path):
    """A blank name would register the product as the Uninstall key itself."""
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, ['/n:" "', "/a"])
    assert run.exit_code == 1, run.output
    assert "Product name required" in run.output
    assert not sandbox.host_path("C:\\Program Files\\Flow").exists()
