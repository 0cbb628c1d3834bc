"""The stub's command line under Wine: usage faults end in a FATAL ERROR box
with the exact usage text, and the process always exits with code 1."""
import pytest

from kovatest import copy_stub
from test_archive_checks import GUARD

USAGE = ("\n\nUsage:\n{name} [/a] [/d:<dir>] [/n:<name>] [/u:<name>]\n\n/a\tAutomatic mode\n"
         "/d:\"dir\"\tOverride installation directory\n/n:\"name\"\tOverride product name\n"
         "/u:\"name\"\tUninstall product by name")


@pytest.mark.parametrize("args, fault", [
    (["/x"], "Illegal command line atom:\nx"),
    (["-AB"], "Illegal command line atom:\nAB"),
    (["plain"], "Unexpected command line parameter:\nplain"),
    (["/u"], "Product name required"),
    (["/uMyApp"], "Product name required"),
    (["/a", "/d:C:\\X", "stray"], "Unexpected command line parameter:\nstray"),
])
def test_usage_fault_shows_the_usage_box(wine, tmp_path, args, fault):
    stub = copy_stub(tmp_path, "setup.exe")
    run = wine.run(stub, args)
    assert run.exit_code == 1
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", fault + USAGE.format(name="setup.exe"))], \
        run.log


def test_usage_box_names_the_program_as_started(wine, tmp_path):
    """The first token of the command line names another file: the usage
    text still names the program's own file."""
    stub = copy_stub(tmp_path, "setup.exe")
    run = wine.run(stub, command_line='"C:\\elsewhere\\other name.exe" /x')
    assert [(b.caption, b.text) for b in run.boxes] == \
        [("FATAL ERROR", "Illegal command line atom:\nx" + USAGE.format(name="setup.exe"))], run.log


def test_twentieth_token_is_ignored(wine, tmp_path):
    """Only nineteen tokens are read: an illegal twentieth makes no usage
    box, so the bare stub goes on to be the guard."""
    stub = copy_stub(tmp_path)
    run = wine.run(stub, ["/a"] * 19 + ["/illegal"])
    assert run.exit_code == 1
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", GUARD)], run.log
